#include "MiniJson.h"
#include "engine/EcuImages.h"

#include "cli/CliHelp.h"
#include "cli/EcuCommands.h"
#include "cli/LogInfo.h"
#include "cli/ParameterReport.h"
#include "cli/Progress.h"
#include "cli/StatusReport.h"
#include "records/CDeviceECUTracker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace {

cli::StatusSnapshot RunningEcu() {
    cli::StatusSnapshot s;
    s.linkType = 1;
    s.linkUp = true;
    s.online = true;
    s.unitType = 2;
    s.mode = 1;
    s.hardwareId = 0x123;
    s.version1 = 1, s.version2 = 2, s.version3 = 3;
    s.ecu = true;
    s.generation = EcuGeneration::Block;
    s.formatVersion = 3;
    s.engineName = "T-100";
    s.egtCorrection = 5;
    s.throttleMax = 1900;
    s.live.engine_state = 5; // running
    s.live.engine_rpm = 120000;
    s.live.egt = 640;
    s.live.battery_voltage = 12.3f;
    s.live.ignition_pump_state = 4;
    s.live.starter_fitted = true;
    s.live.starter_answering = false;
    s.live.overload = true; // shown as error 17
    return s;
}

} // namespace

TEST(StatusReport, VersionTextFollowsTheMode) {
    cli::StatusSnapshot s;
    EXPECT_EQ(cli::VersionText(s), ""); // no unit yet
    s.unitType = 2;
    s.version1 = 1, s.version2 = 2, s.version3 = 3;
    EXPECT_EQ(cli::VersionText(s), "APP:V1.02.03");
    s.bootLoader = true;
    s.version1 = 2, s.version2 = 7;
    EXPECT_EQ(cli::VersionText(s), "BOOT:V2.07");
    EXPECT_EQ(cli::LinkTypeName(1), "socket");
    EXPECT_EQ(cli::LinkTypeName(0), "HID");
    EXPECT_EQ(cli::LinkTypeName(2), "serial");
    EXPECT_EQ(cli::LinkTypeName(10), "none");
}

TEST(StatusReport, StateAndUnitTextsInBothLanguages) {
    const cli::StatusSnapshot s = RunningEcu();
    EXPECT_EQ(cli::StateText(s.live, 1), "Running");
    EXPECT_EQ(cli::StateText(s.live, 0), "运行");
    EXPECT_EQ(cli::ErrorText(s.live, 1), "Error: Current overload");
    EXPECT_EQ(cli::ErrorText(s.live, 0), "错误: 电流过载");
    EXPECT_EQ(cli::IgnitionPumpStateText(0, 1), "Unsupport");
    EXPECT_EQ(cli::IgnitionPumpStateText(1, 1), "Offline");
    EXPECT_EQ(cli::IgnitionPumpStateText(4, 1), "Run");
    EXPECT_EQ(cli::IgnitionPumpStateText(9, 1), "9");
    EXPECT_EQ(cli::RunStateText(3, 0), "刹车");
}

TEST(StatusReport, JsonHoldsIdentityStateAndEveryLiveField) {
    const cli::StatusSnapshot s = RunningEcu();
    const auto doc = MiniJson::Parse(cli::FormatStatusJson(s, 1, true));
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->at("link.type")->text, "socket");
    EXPECT_EQ(doc->at("unit.version")->text, "APP:V1.02.03");
    EXPECT_EQ(doc->at("unit.hardware_id")->number, 0x123);
    EXPECT_EQ(doc->at("ecu.generation")->text, "block");
    EXPECT_EQ(doc->at("ecu.format_version")->number, 3);
    EXPECT_EQ(doc->at("ecu.throttle_points.max")->number, 1900);
    EXPECT_EQ(doc->at("state.text")->text, "Running");
    EXPECT_EQ(doc->at("state.display_error")->number, 17);
    EXPECT_EQ(doc->at("state.displayed_egt")->number, 645);
    EXPECT_EQ(doc->at("state.starter_text")->text, "Fault");
    EXPECT_EQ(doc->at("live.engine_rpm")->number, 120000);
    EXPECT_FLOAT_EQ(static_cast<float>(doc->at("live.battery_voltage")->number), 12.3f);
    EXPECT_EQ(doc->at("live.cpu_temperature")->number, -60);
    EXPECT_EQ(doc->at("live.tcu_version")->items.size(), 3u);
    EXPECT_EQ(doc->at("live")->members.size(), 61u);

    // In Chinese only the texts change.
    const auto zh = MiniJson::Parse(cli::FormatStatusJson(s, 0, false));
    ASSERT_TRUE(zh.has_value());
    EXPECT_EQ(zh->at("state.text")->text, "运行");
    EXPECT_EQ(zh->at("live.engine_rpm")->number, 120000);

    cli::StatusSnapshot offline;
    const auto off = MiniJson::Parse(cli::FormatStatusJson(offline, 1, false));
    ASSERT_TRUE(off.has_value());
    EXPECT_EQ(off->at("online")->b, false);
    EXPECT_EQ(off->at("unit")->kind, MiniJson::Kind::Null);
    EXPECT_EQ(off->at("ecu")->kind, MiniJson::Kind::Null);
}

TEST(StatusReport, TextShowsWhatTheMainWindowShows) {
    cli::StatusSnapshot s = RunningEcu();
    const std::string text = cli::FormatStatusText(s, 1);
    EXPECT_NE(text.find("Version:               APP:V1.02.03\n"), std::string::npos) << text;
    EXPECT_NE(text.find("State:                 Running (ECU state 5)\n"), std::string::npos);
    EXPECT_NE(text.find("EGT:                   645 degC (reading 640, correction +5)\n"),
              std::string::npos);
    EXPECT_NE(text.find("Starter:               Fault\n"), std::string::npos);
    EXPECT_NE(text.find("CPU temperature:       ???\n"), std::string::npos);
    EXPECT_NE(text.find("Flags:                 overload\n"), std::string::npos);
    s.ecu = false;
    s.bootLoader = true;
    const std::string boot = cli::FormatStatusText(s, 1);
    EXPECT_NE(boot.find("(boot loader)"), std::string::npos);
    EXPECT_EQ(boot.find("State:"), std::string::npos); // no live state of a boot loader
}

TEST(StatusReport, PumpStarterAndTcuLinesFollowTheWindowsBoxes) {
    const struct {
        uint8_t ecuKind, tcuKind;
        bool tcuFitted, tcuAnswering;
        const char* mainPump;
        const char* tcu;
    } cases[] = {
        {0, 0, false, false, "ECU pump DC Motor, TCU pump Unsupport", "Unsupport"},
        {0,
         1,
         true,
         false,
         "ECU pump DC Motor, TCU pump DC Motor",
         "Offline, voltage 120, 33 degC"},
        {1,
         0,
         true,
         true,
         "ECU pump BLDC Motor, TCU pump Unsupport, Run, 2340 rpm, 41 degC",
         "TCU:1.2.3, voltage 120, 33 degC"},
        {0,
         2,
         false,
         true,
         "ECU pump DC Motor, TCU pump BLDC Motor, Run, 2340 rpm, 41 degC",
         "TCU:1.2.3, voltage 120, 33 degC"},
    };
    for (const auto& c : cases) {
        cli::StatusSnapshot s = RunningEcu();
        s.live.main_pump_ecu_kind = c.ecuKind;
        s.live.main_pump_tcu_kind = c.tcuKind;
        s.live.main_pump_state = 2;
        s.live.main_pump_rpm = 2340;
        s.live.main_pump_temperature = 41;
        s.live.tcu_fitted = c.tcuFitted;
        s.live.tcu_answering = c.tcuAnswering;
        s.live.tcu_version = {1, 2, 3};
        s.live.tcu_voltage = 120;
        s.live.tcu_temperature = 33;
        const std::string text = cli::FormatStatusText(s, 1);
        SCOPED_TRACE(text);
        EXPECT_NE(text.find(std::string("Main pump:             ") + c.mainPump + "\n"),
                  std::string::npos);
        EXPECT_NE(text.find(std::string("TCU:                   ") + c.tcu + "\n"),
                  std::string::npos);
        const auto doc = MiniJson::Parse(cli::FormatStatusJson(s, 1, false));
        ASSERT_TRUE(doc.has_value());
        const bool reported = c.ecuKind != 0 || c.tcuKind > 1;
        EXPECT_EQ(doc->at("state.main_pump_text")->text, reported ? "Run" : "");
        EXPECT_EQ(doc->at("live.main_pump_rpm")->number, 2340); // the field itself, always
    }
    // The ignition pump's values only from state 2 on, as in its box.
    cli::StatusSnapshot s = RunningEcu();
    s.live.ignition_pump_state = 1;
    s.live.ignition_pump_rpm = 900;
    EXPECT_NE(cli::FormatStatusText(s, 1).find("Ignition pump:         Offline\n"),
              std::string::npos);
    s.live.ignition_pump_state = 4;
    EXPECT_NE(cli::FormatStatusText(s, 1).find("Ignition pump:         Run, 900 rpm, 0 degC\n"),
              std::string::npos);
    // A working starter shows its values in Chinese too.
    s.live.starter_answering = true;
    s.live.starter_state = 1;
    EXPECT_NE(
        cli::FormatStatusText(s, 0).find("Starter:               正常, 启动, 0 rpm, 0 degC\n"),
        std::string::npos)
        << cli::FormatStatusText(s, 0);
}

TEST(StatusReport, WatchLinesAreOneLineEach) {
    const cli::StatusSnapshot s = RunningEcu();
    const std::string json = cli::FormatWatchJson(s, 1500, 1);
    EXPECT_EQ(json.find('\n'), std::string::npos);
    const auto doc = MiniJson::Parse(json);
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->at("elapsed_ms")->number, 1500);
    EXPECT_EQ(doc->at("live.egt")->number, 640);
    const std::string text = cli::FormatWatchText(s, 1500, 1);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_NE(text.find("Running | Error: Current overload | rpm 120000 | egt 645"),
              std::string::npos)
        << text;
}

TEST(ParameterReport, ListsEveryTextIdAndSelectsForTheReadBack) {
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p), 1);
    const cli::ParameterSnapshot snap = cli::TakeParameters(p);
    ASSERT_EQ(snap.entries.size(), 79u);
    EXPECT_EQ(snap.entries[12].textId, 13);
    EXPECT_EQ(snap.entries[12].name, "max-egt");
    EXPECT_EQ(snap.entries[12].key, "保护--最高温度");
    EXPECT_EQ(snap.entries[12].text, "900");
    EXPECT_TRUE(snap.entries[12].supported);
    EXPECT_FALSE(snap.entries[32].supported); // text id 33: item generation only
    EXPECT_EQ(snap.engineName, "Block Jet");

    const auto all =
        MiniJson::Parse(cli::FormatParametersJson(snap, cli::ParameterSelection{}, true));
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->at("generation")->text, "block");
    EXPECT_EQ(all->at("parameters")->items.size(), 79u);
    EXPECT_EQ(all->at("pump_mode")->number, 1);

    cli::ParameterSelection sel;
    sel.all = false;
    sel.ids = {13, 8};
    sel.extras = {"pump-mode"};
    const auto some = MiniJson::Parse(cli::FormatParametersJson(snap, sel, false));
    ASSERT_TRUE(some.has_value());
    ASSERT_EQ(some->at("parameters")->items.size(), 2u);
    EXPECT_EQ(some->at("parameters")->items[0].at("id")->number, 8);
    EXPECT_EQ(some->at("parameters")->items[1].at("text")->text, "900");
    EXPECT_NE(some->at("pump_mode"), nullptr);
    EXPECT_EQ(some->at("temperature_unit"), nullptr);

    const std::string text = cli::FormatParametersText(snap, sel);
    EXPECT_EQ(text,
              "  8  telemetry-baud                2                  2  yes\n"
              " 13  max-egt                       900              900  yes\n"
              "     pump-mode                     1\n");
}

namespace {

void AddRecord(CDeviceECUTracker& t, uint32_t counter, int32_t rpm, int32_t egt, int32_t thrust) {
    CDeviceECUTItem r;
    r.counter = counter;
    r.engine_rpm = rpm;
    r.temperature = egt;
    r.thrust = thrust;
    r.current = 55;
    (void)t.addCopy(r);
}

std::string TempPath(const char* name) {
    return std::string(::testing::TempDir()) + "/turbex_cli_" + std::to_string(getpid()) + "_" +
           name;
}

} // namespace

TEST(LogInfo, SummaryOfRecordsRateAndColumns) {
    CDeviceECUTracker t;
    t.setRecordsPerSecond(4);
    AddRecord(t, 100, 30000, 500, 10);
    AddRecord(t, 140, 120000, 700, 450);
    AddRecord(t, 120, 90000, 650, 300);
    const cli::LogInfo info = cli::SummarizeLog(t, 4);
    EXPECT_EQ(info.count, 3);
    EXPECT_EQ(info.recordsPerSecond, 4);
    EXPECT_EQ(info.firstCounter, 100u);
    EXPECT_EQ(info.lastCounter, 140u);
    EXPECT_DOUBLE_EQ(info.durationS, 10.0);
    EXPECT_STREQ(cli::ColumnName(2), "engine_rpm");
    EXPECT_EQ(info.maxima[2], 120000);
    EXPECT_EQ(info.maxima[1], 700);
    EXPECT_EQ(info.maxima[16], 450);
    EXPECT_EQ(info.chartThrustMax, 455); // the tracker's own margin

    CDeviceECUTracker empty;
    const cli::LogInfo none = cli::SummarizeLog(empty, 4);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.maxima[2], 0);
    EXPECT_DOUBLE_EQ(none.durationS, 0.0);
}

TEST(LogInfo, ReadsSavedFilesAndRefusesOthers) {
    CDeviceECUTracker t;
    t.setRecordsPerSecond(8);
    AddRecord(t, 0, 1000, 20, 0);
    AddRecord(t, 80, 50000, 600, 200);
    const std::string path = TempPath("log.csv");
    {
        CMLockGuard lock(t.getLock());
        ASSERT_EQ(t.save(path), 1);
    }
    cli::LogInfo info;
    std::string error;
    ASSERT_EQ(cli::ReadLogInfo(path, info, error), 1) << error;
    EXPECT_EQ(info.version, 4);
    EXPECT_EQ(info.recordsPerSecond, 8);
    EXPECT_EQ(info.count, 2);
    EXPECT_DOUBLE_EQ(info.durationS, 10.0);
    const auto doc = MiniJson::Parse(cli::FormatLogInfoJson(path, info, true));
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->at("maxima.engine_rpm")->number, 50000);
    EXPECT_EQ(doc->at("records")->number, 2);
    EXPECT_NE(
        cli::FormatLogInfoText(path, info).find("Duration:            10.0 s (counter 0 to 80)\n"),
        std::string::npos);

    const std::string notALog = TempPath("notes.txt");
    FILE* f = std::fopen(notALog.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hello\r\n", f);
    std::fclose(f);
    EXPECT_EQ(cli::ReadLogInfo(notALog, info, error), 0);
    EXPECT_NE(error.find("not an engine log"), std::string::npos);
    EXPECT_EQ(cli::ReadLogInfo(TempPath("missing.csv"), info, error), 0);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    std::remove(path.c_str());
    std::remove(notALog.c_str());
}

TEST(Progress, BarClampsAndLineRedrawsOnlyWhenEnabled) {
    EXPECT_EQ(cli::ProgressBar(50, 10), "[#####     ]  50%");
    EXPECT_EQ(cli::ProgressBar(-5, 4), "[    ]   0%");
    EXPECT_EQ(cli::ProgressBar(128, 4), "[####] 100%"); // the last batch may report more
    std::ostringstream on;
    {
        cli::ProgressLine line(on, true);
        line.show("downloading: 100 records");
        line.show("done");
    }
    EXPECT_EQ(on.str(), "\rdownloading: 100 records\rdone                    \n");
    std::ostringstream off;
    {
        cli::ProgressLine line(off, false);
        line.show("downloading");
    }
    EXPECT_EQ(off.str(), "");
}

TEST(CliHelp, ToolAndEveryCommandHaveHelp) {
    const std::string tool = cli::ToolHelp();
    for (const char* c : {"status", "watch", "params", "set", "log", "flash", "command", "help"}) {
        EXPECT_NE(tool.find(std::string("  ") + c), std::string::npos) << c;
        const std::string help = cli::CommandHelp(c);
        EXPECT_EQ(help.rfind("Usage: turbexctl " + std::string(c), 0), 0u) << c;
    }
    EXPECT_NE(tool.find("  3    no unit online within the time-out\n"), std::string::npos);
    EXPECT_EQ(cli::CommandHelp("bogus"), "");
    const std::string commands = cli::CommandHelp("command");
    for (const auto& c : cli::EcuCommands()) {
        EXPECT_NE(commands.find(c.name), std::string::npos) << c.name;
    }
}
