// turbexctl end to end: the built binary, run as a process, against a
// simulated ECU behind the socket bridge in this process, for both ECU
// generations. Each test checks the exit code and output and what reached
// the simulated ECU.
#include "CtlHarness.h"
#include "cli/MiniJson.h"

#include "engine/CEngineParameterFile.h"
#include "platform/ProfileFile.h"
#include "records/CDeviceECUTracker.h"
#include "sim/RealTimeDriver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace {

struct Generation {
    const char* name;
    sim::SimEcuConfig config;
};

// Names the parameter in test names (gtest would print its bytes).
[[maybe_unused]] void PrintTo(const Generation& g, std::ostream* os) {
    *os << g.name;
}

std::string GenerationName(const ::testing::TestParamInfo<Generation>& info) {
    return info.param.name;
}

std::vector<Generation> BothGenerations() {
    return {{"item", ItemConfig()}, {"block", BlockConfig(3)}};
}

std::string TempDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/turbexctl_system_XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return dir;
}

std::string TempFile(const std::string& name) {
    return TempDir() + "/" + std::to_string(getpid()) + "_" + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Every parameter of the simulated ECU by text id, and the three without one.
struct EcuValues {
    std::map<int, double> byId;
    int temperatureUnit = 0, pumpMode = 0, telemetryProtocol = 0;
};

EcuValues ValuesOf(SimEcuHarness& h) {
    EcuValues v;
    h.Locked([&] {
        const sim::EcuParameters& p = h.system.ecu.Store().Parameters();
        for (int id = 1; id <= 79; ++id) {
            double x = 0;
            if (GetParameterByTextId(p, id, x)) {
                v.byId[id] = x;
            }
        }
        v.temperatureUnit = p.temperatureUnit;
        v.pumpMode = p.pumpMode;
        v.telemetryProtocol = p.telemetryProtocol;
    });
    return v;
}

// The text ids whose values differ between a and b.
std::set<int> Changed(const EcuValues& a, const EcuValues& b) {
    std::set<int> ids;
    for (const auto& [id, x] : a.byId) {
        if (std::fabs(b.byId.at(id) - x) > 1e-6) {
            ids.insert(id);
        }
    }
    return ids;
}

std::optional<MiniJson> Json(const CtlResult& r) {
    auto doc = MiniJson::Parse(r.out);
    EXPECT_TRUE(doc.has_value()) << "not one JSON document:\n" << r.out;
    return doc;
}

class Turbexctl : public ::testing::TestWithParam<Generation> {
protected:
    void SetUp() override { ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set"; }
};

} // namespace

TEST_P(Turbexctl, StatusJsonEqualsTheSimulatedEngine) {
    sim::SimEcuConfig config = GetParam().config;
    config.switchOn = true;
    config.throttle = 35;
    config.autoStart = true;
    SimEcuHarness h(config);
    // Run the engine up before anyone looks, then hold it still so that the
    // values cannot change between the read and the comparison.
    for (int i = 0; i < 6000 && h.system.ecu.Model().State() != 5; ++i) {
        h.system.Step(20);
    }
    ASSERT_EQ(h.system.ecu.Model().State(), 5) << "the simulated engine did not reach running";
    ASSERT_TRUE(h.Start());

    const CtlResult r = RunCtl(h.Args({"status", "--json"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = Json(r);
    ASSERT_TRUE(doc);
    sim::LiveValues e;
    h.Locked([&] { e = h.system.ecu.LastEncoded(); });

    EXPECT_EQ(doc->at("link.type")->text, "socket");
    EXPECT_EQ(doc->at("unit.version")->text, "APP:V1.02.03");
    EXPECT_EQ(doc->at("ecu.generation")->text, GetParam().name);
    EXPECT_EQ(doc->at("state.text")->text, "Running");
    EXPECT_EQ(doc->at("state.error_text")->text, "Error: No");
    auto num = [&](const char* key) {
        const MiniJson* v = doc->at(std::string("live.") + key);
        EXPECT_NE(v, nullptr) << key;
        return v == nullptr ? -99999.0
                            : (v->kind == MiniJson::Kind::Bool ? (v->b ? 1.0 : 0.0) : v->number);
    };
    struct Field {
        const char* key;
        double want;
        double tolerance;
    };
    const Field fields[] = {
        {"cpu_load", double(e.cpuLoad), 0},
        {"engine_state", double(e.engineState), 0},
        {"error_code", double(e.errorCode), 0},
        {"throttle_lock", double(e.throttleLock), 0},
        {"low_voltage", double(e.lowVoltage), 0},
        {"overload", double(e.overload), 0},
        {"pump_limit", double(e.pumpLimit), 0},
        {"engine_rpm", double(e.rpm), 0},
        {"egt", double(e.egt), 0},
        {"pump_voltage_centivolts", double(e.pumpVoltageHundredths), 0},
        {"rc_voltage", e.rcVoltage, 1e-4},
        {"battery_voltage", e.batteryVoltage, 1e-4},
        {"current", e.current, 1e-4},
        {"rc_throttle_input", double(e.rcThrottleUs), 0},
        {"rc_switch_input", double(e.rcSwitchUs), 0},
        {"cpu_temperature", double(e.cpuTemperature), 0},
        {"air_pressure", double(e.airPressurePa), 0},
        {"altitude", double(e.altitudeM), 0},
        {"record_storage", double(e.recordStorage), 0},
        {"alternator_present", double(e.alternatorPresent), 0},
        {"alternator_voltage", e.alternatorVoltage, 1e-4},
        {"ignition_pump_state", double(e.ignitionPumpState), 0},
        {"ignition_pump_rpm", double(e.ignitionPumpRpm), 0},
        {"ignition_pump_temperature", double(e.ignitionPumpTemperature), 0},
        {"fuel_temperature", double(e.fuelTemperature), 0},
        {"fuel_pressure", e.fuelPressure, 1e-4},
        {"combustion_pressure", e.combustionPressure, 1e-4},
        {"tcu_fitted", double(e.tcuFitted), 0},
        {"tcu_answering", double(e.tcuAnswering), 0},
        {"tcu_voltage", double(e.tcuVoltage), 0},
        {"tcu_temperature", double(e.tcuTemperature), 0},
        {"starter_fitted", double(e.starterFitted), 0},
        {"starter_answering", double(e.starterAnswering), 0},
        {"starter_state", double(e.starterState), 0},
        {"starter_rpm", double(e.starterRpm), 0},
        {"starter_temperature", double(e.starterTemperature), 0},
        {"main_pump_ecu_kind", double(e.mainPumpEcuKind), 0},
        {"main_pump_tcu_kind", double(e.mainPumpTcuKind), 0},
        {"main_pump_state", double(e.mainPumpState), 0},
        {"main_pump_rpm", double(e.mainPumpRpm), 0},
        {"main_pump_temperature", double(e.mainPumpTemperature), 0},
        {"rpm_control_state", double(e.rpmControlState), 0},
        {"record_format", double(e.recordFormat), 0},
        {"record_rate_code", double(e.recordRateCode), 0},
        {"sensor_thrust", e.thrustKg, 1e-4},
    };
    for (const Field& f : fields) {
        EXPECT_NEAR(num(f.key), f.want, f.tolerance) << f.key;
    }
    const MiniJson* tcu = doc->at("live.tcu_version");
    ASSERT_NE(tcu, nullptr);
    ASSERT_EQ(tcu->items.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(tcu->items[i].number, e.tcuVersion[i]);
    }
    EXPECT_GT(num("engine_rpm"), 0); // a running engine, not a table of zeros

    // The human form in Chinese names the same state.
    const CtlResult zh = RunCtl(h.Args({"status", "--lang", "zh"}));
    ASSERT_EQ(zh.exitCode, 0) << zh.err;
    EXPECT_NE(zh.out.find("运行 (ECU state 5)"), std::string::npos) << zh.out;
}

TEST_P(Turbexctl, SetChangesExactlyTheNamedParameters) {
    SimEcuHarness h(GetParam().config);
    ASSERT_TRUE(h.Start());
    const EcuValues before = ValuesOf(h);
    sim::EcuParameterStore::Page page1, page2;
    h.Locked([&] {
        page1 = h.system.ecu.Store().EncodePage1();
        page2 = h.system.ecu.Store().EncodePage2();
        h.system.ecu.ClearLog();
    });

    const CtlResult r = RunCtl(h.Args({"set", "max-egt=950", "4=1.5", "pump-mode=2", "--json"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const EcuValues after = ValuesOf(h);
    EXPECT_EQ(Changed(before, after), (std::set<int>{4, 13}));
    EXPECT_DOUBLE_EQ(after.byId.at(13), 950);
    EXPECT_DOUBLE_EQ(after.byId.at(4), 1.5);
    EXPECT_EQ(after.pumpMode, 2);
    EXPECT_EQ(after.temperatureUnit, before.temperatureUnit);
    EXPECT_EQ(after.telemetryProtocol, before.telemetryProtocol);

    // What reached the ECU's register 2 (and 3).
    h.Locked([&] {
        const auto& store = h.system.ecu.Store();
        const auto writes2 = h.system.ecu.Log().To(2);
        if (std::string(GetParam().name) == "item") {
            std::map<int, std::vector<uint8_t>> items;
            for (const auto& item : store.ReceivedItems()) {
                EXPECT_TRUE(item.applied) << int(item.id);
                items[item.id] = item.value;
            }
            EXPECT_EQ(items,
                      (std::map<int, std::vector<uint8_t>>{{49, {95}}, {43, {15}}, {33, {2}}}));
            ASSERT_EQ(writes2.size(), 1u); // one frame holds all three
        } else {
            // One image of each page, differing from the ECU's only in the
            // bytes of the named parameters.
            ASSERT_EQ(writes2.size(), 1u);
            const auto writes3 = h.system.ecu.Log().To(3);
            ASSERT_EQ(writes3.size(), 1u);
            std::set<size_t> diff1, diff2;
            for (size_t i = 0; i < 32; ++i) {
                if (writes2[0].bytes.at(i) != page1[i]) {
                    diff1.insert(i);
                }
                if (writes3[0].bytes.at(i) != page2[i]) {
                    diff2.insert(i);
                }
            }
            EXPECT_EQ(diff1, (std::set<size_t>{5, 6})); // lost-signal delay, max EGT
            EXPECT_EQ(diff2, (std::set<size_t>{6}));    // pump mode bits
        }
    });

    // The read-back shows the named parameters only.
    const auto doc = Json(r);
    ASSERT_TRUE(doc);
    const MiniJson* params = doc->at("parameters");
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->items.size(), 2u);
    EXPECT_EQ(params->items[0].at("text")->text, "1.5");
    EXPECT_EQ(params->items[1].at("text")->text, "950");
    EXPECT_EQ(doc->at("pump_mode")->number, 2);
}

TEST_P(Turbexctl, ParamsSaveThenLoadOnAFreshEcuReproducesEveryParameter) {
    SimEcuHarness a(GetParam().config);
    a.Locked([&] {
        sim::EcuParameters& p = a.system.ecu.Store().Parameters();
        ASSERT_TRUE(SetParameterByTextId(p, 8, 6)); // baud-rate entry 7
        ASSERT_TRUE(SetParameterByTextId(p, 9, 2)); // stop-bits entry 3
        ASSERT_TRUE(SetParameterByTextId(p, 13, 980));
        ASSERT_TRUE(SetParameterByTextId(p, 4, 1.5));
        ASSERT_TRUE(SetParameterByTextId(p, 20, 6000));
        ASSERT_TRUE(SetParameterByTextId(p, 53, 140000));
        ASSERT_TRUE(SetParameterByTextId(p, 57, 7));
        ASSERT_TRUE(SetParameterByTextId(p, 77, 0));
        ASSERT_TRUE(SetParameterByTextId(p, 73, 1));
        p.temperatureUnit = 1;
        p.pumpMode = 2;
        p.telemetryProtocol = 4;
        a.system.ecu.ApplyParametersToModel();
    });
    ASSERT_TRUE(a.Start());
    const std::string path = TempFile(std::string(GetParam().name) + "_engine_cfg.txt");
    const CtlResult saved = RunCtl(a.Args({"params", "save", path}));
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_EQ(saved.out, "saved 71 keys to " + path + "\n");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "遥控器--回传波特率", "", path), "7");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "遥控器--回传停止位", "", path), "3");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "温度单位", "", path), "1");

    SimEcuHarness b(GetParam().config);
    ASSERT_TRUE(b.Start());
    const EcuValues fresh = ValuesOf(b);
    EXPECT_NE(fresh.byId.at(8), 6);
    const CtlResult loaded = RunCtl(b.Args({"params", "load", path, "--json"}));
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    ASSERT_TRUE(Json(loaded));

    const EcuValues want = ValuesOf(a);
    const EcuValues got = ValuesOf(b);
    int compared = 0;
    b.Locked([&] {
        const auto& store = b.system.ecu.Store();
        for (const auto& row : CEngineParameterFile::Rows()) {
            if (!store.Supported(row.textId) || row.textId == 76) {
                continue; // not in this ECU; 76 is never offered
            }
            EXPECT_NEAR(got.byId.at(row.textId), want.byId.at(row.textId), 1e-6)
                << row.key << " (text id " << row.textId << ")";
            ++compared;
        }
    });
    EXPECT_GT(compared, 40);
    EXPECT_EQ(got.byId.at(8), 6);
    EXPECT_EQ(got.byId.at(9), 2);
    EXPECT_EQ(got.temperatureUnit, 1);
    EXPECT_EQ(got.pumpMode, 2);
    EXPECT_EQ(got.telemetryProtocol, 4);
}

TEST_P(Turbexctl, AFileWithMissingKeysLoadsTheDefaults) {
    const std::string path = TempFile(std::string(GetParam().name) + "_partial.txt");
    WriteFile(path, "[ENGINE]\r\n保护--最高温度=950\r\n");
    SimEcuHarness h(GetParam().config);
    ASSERT_TRUE(h.Start());
    const CtlResult r = RunCtl(h.Args({"params", "load", path}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const EcuValues v = ValuesOf(h);
    EXPECT_EQ(v.byId.at(13), 950);
    EXPECT_EQ(v.byId.at(8), 0); // default "0"
    EXPECT_EQ(v.byId.at(9), 2); // default "3": the third entry
    EXPECT_DOUBLE_EQ(v.byId.at(4), 2.5);
    EXPECT_EQ(v.byId.at(20), 5000);
    EXPECT_EQ(v.byId.at(21), 3000);
    EXPECT_DOUBLE_EQ(v.byId.at(45), 6.0);
    EXPECT_EQ(v.byId.at(54), 1);
    EXPECT_EQ(v.byId.at(77), 1);
    EXPECT_EQ(v.byId.at(73), 0);
    EXPECT_EQ(v.temperatureUnit, 0);
    EXPECT_EQ(v.pumpMode, 0);
    EXPECT_EQ(v.telemetryProtocol, 0);
}

TEST_P(Turbexctl, CommandsReachTheEcu) {
    SimEcuHarness h(GetParam().config);
    ASSERT_TRUE(h.Start());
    h.Locked([&] { h.system.ecu.ClearLog(); });
    const CtlResult valve = RunCtl(h.Args({"command", "test-extension-valve", "2"}));
    ASSERT_EQ(valve.exitCode, 0) << valve.err;
    EXPECT_EQ(valve.out, "sent test-extension-valve\n");
    const CtlResult glow = RunCtl(h.Args({"command", "test-glowplug"}));
    ASSERT_EQ(glow.exitCode, 0) << glow.err;
    const CtlResult cal = RunCtl(h.Args({"command", "calibrate-temperature", "20"}));
    ASSERT_EQ(cal.exitCode, 0) << cal.err;
    h.Locked([&] {
        std::vector<std::vector<uint8_t>> commands;
        for (const auto& c : h.system.ecu.Log().To(1)) {
            commands.push_back(c.bytes);
        }
        EXPECT_EQ(commands,
                  (std::vector<std::vector<uint8_t>>{{0x02, 13, 1, 0, 0, 0, 0, 0, 0, 0},
                                                     {0x02, 8, 0, 0}}));
        EXPECT_EQ(h.system.ecu.Store().CalibrationCount(), 1);
        EXPECT_EQ(h.system.ecu.Store().LastCalibrationAmbient(), 20);
    });
}

TEST_P(Turbexctl, LogDownloadWritesTheSimulatedLog) {
    const bool item = std::string(GetParam().name) == "item";
    const uint8_t format = item ? 2 : 1;
    const uint8_t rateCode = item ? 1 : 2;
    SimEcuHarness h(GetParam().config, format, rateCode);
    h.system.Prefill(301);
    h.system.Step(20); // the telemetry reports the stored log from the next step on
    ASSERT_TRUE(h.Start());
    const std::string path = TempFile(std::string(GetParam().name) + "_engine_log.csv");
    const CtlResult r = RunCtl(h.Args({"log", "download", "-o", path}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, ""); // no progress on a pipe

    // The file as it must be, built from what the ECU stored.
    const auto records = h.system.runLog.Records();
    ASSERT_EQ(records.size(), 301u);
    const std::string want = sim::SimRunLog::EngineLogCsv(records, 2u << rateCode);
    const std::string got = ReadFile(path);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the CSV differs from the simulated log";

    const CtlResult info = RunCtl(h.Args({"log", "info", path, "--json"}));
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto doc = Json(info);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->at("records")->number, 301);
    EXPECT_EQ(doc->at("version")->number, 4);
}

// Runs fn on its own thread once cond holds (checked under the bus lock),
// while the test thread runs turbexctl.
class WhenSim {
public:
    template <typename Cond, typename Fn>
    WhenSim(SimEcuHarness& h, Cond cond, Fn fn)
        : m_thread([&h, cond, fn, this] {
            while (!m_stop.load()) {
                bool now = false;
                h.Locked([&] { now = cond(); });
                if (now) {
                    fn();
                    m_done = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }) {}
    ~WhenSim() {
        m_stop = true;
        m_thread.join();
    }
    [[nodiscard]] bool Done() const { return m_done.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// A bridge that stops answering halfway through a 3000-record log: the
// replies it swallowed carried records, so the log is read again, and the
// file is the whole log.
TEST(TurbexctlLogDownload, ABridgeThatStopsAnsweringMidwayLosesNoRecord) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h(ItemConfig(), 2, 1);
    h.system.Prefill(3000, 17);
    h.system.Step(20);
    ASSERT_TRUE(h.Start());
    const std::string path = TempFile("silent_bridge.csv");
    CtlResult r;
    {
        WhenSim silence(
            h,
            [&] { return h.system.ecu.ReadCount(13) >= 300; },
            [&] { h.bridge.faults.silent = 25; });
        r = RunCtl(h.Args({"log", "download", "-o", path, "--json"}));
        EXPECT_TRUE(silence.Done());
    }
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = Json(r);
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->at("complete")->b);
    EXPECT_EQ(doc->at("ended_by")->text, "empty-reads");
    EXPECT_EQ(doc->at("records")->number, 3000);
    EXPECT_GT(doc->at("failed_reads")->number, 0);
    EXPECT_GE(doc->at("passes")->number, 2);
    const std::string want = sim::SimRunLog::EngineLogCsv(h.system.runLog.Records(), 4);
    EXPECT_TRUE(ReadFile(path) == want) << "the CSV differs from the simulated log";
}

// The engine starts while the ECU's run log is not answering: the download
// ends early, the records that came are saved, and turbexctl says the log is
// incomplete instead of passing it off as the whole one.
TEST(TurbexctlLogDownload, AnEngineStartMakesItIncompleteWithExitCodeFour) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h(ItemConfig(), 2, 1);
    h.system.Prefill(3000, 19);
    h.system.Step(20);
    h.Locked([&] { h.system.runLog.StopAnswering(200, 0, 20000); });
    ASSERT_TRUE(h.Start());
    const std::string path = TempFile("engine_start.csv");
    CtlResult r;
    {
        WhenSim start(
            h,
            [&] { return h.system.runLog.UnansweredReads() > 20; },
            [&] {
                h.Locked([&] {
                    h.system.ecu.Model().SetSwitch(true);
                    (void)h.system.ecu.Model().RequestStart();
                });
                uint8_t state = 0;
                for (int i = 0; i < 500 && state < 2; ++i) {
                    h.system.Step(20);
                    h.Locked([&] { state = h.system.ecu.Model().State(); });
                }
            });
        r = RunCtl(h.Args({"log", "download", "-o", path, "--json"}));
        EXPECT_TRUE(start.Done());
    }
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("the engine started during the download"), std::string::npos) << r.err;
    const auto doc = Json(r);
    ASSERT_TRUE(doc);
    EXPECT_FALSE(doc->at("complete")->b);
    EXPECT_EQ(doc->at("ended_by")->text, "engine-start");
    EXPECT_GT(doc->at("failed_reads")->number, 20);
    EXPECT_GT(doc->at("records")->number, 0);
    EXPECT_LT(doc->at("records")->number, 3000);
    CDeviceECUTracker saved;
    ASSERT_EQ(saved.load(path), 1); // what arrived was kept
    CMLockGuard lock(saved.getLock());
    EXPECT_EQ(saved.GetCount(), static_cast<int32_t>(doc->at("records")->number));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations,
                         Turbexctl,
                         ::testing::ValuesIn(BothGenerations()),
                         GenerationName);

// --- the rest does not depend on the generation --------------------------------

class TurbexctlFlash : public ::testing::TestWithParam<bool> {};

std::string ProtocolName(const ::testing::TestParamInfo<bool>& p) {
    return p.param ? "block" : "classic";
}

TEST_P(TurbexctlFlash, A256KiBImageReachesTheUnitByteForByte) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h;
    h.system.unit.bootLoader.config.blockProtocol = GetParam();
    h.system.unit.bootLoader.config.eraseDurationMs = 20;
    ASSERT_TRUE(h.Start());
    std::string image(256 * 1024, '\0');
    std::mt19937 random(GetParam() ? 1 : 2);
    for (char& c : image) {
        c = static_cast<char>(random());
    }
    const std::string path = TempFile(GetParam() ? "block.bin" : "classic.bin");
    WriteFile(path, image);

    const CtlResult r = RunCtl(h.Args({"flash", path}), 240000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "firmware updated: 262144 bytes from " + path + "\n");
    h.Locked([&] {
        const auto& written = h.system.unit.bootLoader.Image();
        EXPECT_EQ(written.size(), image.size());
        const std::vector<uint8_t> sent(image.begin(), image.end());
        const auto mismatch =
            std::mismatch(written.begin(), written.end(), sent.begin(), sent.end());
        EXPECT_TRUE(mismatch.first == written.end() && mismatch.second == sent.end())
            << "the unit holds other bytes from offset " << (mismatch.first - written.begin());
        EXPECT_EQ(h.system.unit.bootLoader.Erases(), 1);
        EXPECT_FALSE(h.system.unit.status.identity.bootLoader); // its application runs again
    });
}

INSTANTIATE_TEST_SUITE_P(BothBootProtocols,
                         TurbexctlFlash,
                         ::testing::Values(true, false),
                         ProtocolName);

TEST(TurbexctlNoUnit, EveryUnitCommandExitsWithThreeAfterTheTimeout) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    const uint16_t port = DeadLoopbackPort();
    ASSERT_NE(port, 0);
    const std::string image = TempFile("nounit.bin");
    WriteFile(image, "x");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"status"},
                                                 {"params", "--json"},
                                                 {"flash", image},
                                                 {"command", "learn-start"}}) {
        std::vector<std::string> all = args;
        all.insert(all.end(), {"--port", std::to_string(port), "--timeout", "1"});
        const CtlResult r = RunCtl(all, 30000);
        SCOPED_TRACE(args.front());
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("no unit online within 1 s"), std::string::npos) << r.err;
        EXPECT_GE(r.elapsedMs, 900); // it waited for the unit
    }
}

TEST(TurbexctlUnits, ABootLoaderShowsItsIdentityAndRefusesEcuCommands) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h;
    h.system.unit.status.identity.bootLoader = true;
    ASSERT_TRUE(h.Start());
    const CtlResult status = RunCtl(h.Args({"status", "--json"}));
    ASSERT_EQ(status.exitCode, 0) << status.err;
    const auto doc = MiniJson::Parse(status.out);
    ASSERT_TRUE(doc.has_value()) << status.out;
    EXPECT_EQ(doc->at("unit.version")->text, "BOOT:V1.02");
    EXPECT_EQ(doc->at("ecu")->kind, MiniJson::Kind::Null);
    const CtlResult params = RunCtl(h.Args({"params"}));
    EXPECT_EQ(params.exitCode, 4);
    EXPECT_NE(params.err.find("boot-loader mode"), std::string::npos) << params.err;
}

TEST(TurbexctlUnits, UnsupportedParametersRefuseTheWholeSet) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h(BlockConfig(3));
    ASSERT_TRUE(h.Start());
    h.Locked([&] { h.system.ecu.ClearLog(); });
    const EcuValues before = ValuesOf(h);
    // Text id 33 exists in the item generation only.
    const CtlResult r = RunCtl(h.Args({"set", "max-egt=950", "fuel-ramp-rpm1=20000"}));
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("fuel-ramp-rpm1 (text id 33) is not supported"), std::string::npos)
        << r.err;
    EXPECT_TRUE(Changed(before, ValuesOf(h)).empty());
    h.Locked([&] { EXPECT_TRUE(h.system.ecu.Log().To(2).empty()); });
}

TEST(TurbexctlUnits, WatchPrintsOneJsonObjectPerUpdate) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h;
    ASSERT_TRUE(h.Start());
    const CtlResult r = RunCtl(h.Args({"watch", "--count", "3", "--json"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    double last = -1;
    while (std::getline(lines, line)) {
        const auto doc = MiniJson::Parse(line);
        ASSERT_TRUE(doc.has_value()) << line;
        EXPECT_GE(doc->at("elapsed_ms")->number, last);
        last = doc->at("elapsed_ms")->number;
        EXPECT_NE(doc->at("live.battery_voltage"), nullptr);
        ++n;
    }
    EXPECT_EQ(n, 3);
}

TEST(TurbexctlUnits, CtrlCEndsAWatchCleanly) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    SimEcuHarness h;
    ASSERT_TRUE(h.Start());
    const CtlResult r = RunCtl(h.Args({"watch"}), 30000, 1500);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Stop | Error: No"), std::string::npos) << r.out;
}

TEST(TurbexctlUnits, AbortBulkRecordsTheRunningEngineUntilCtrlC) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    sim::SimEcuConfig config;
    config.switchOn = true;
    config.throttle = 40;
    config.autoStart = true;
    SimEcuHarness h(config, 2, 3); // 16 records a second
    h.system.Prefill(500);
    for (int i = 0; i < 6000 && h.system.ecu.Model().State() != 5; ++i) {
        h.system.Step(20);
    }
    ASSERT_EQ(h.system.ecu.Model().State(), 5);
    const uint32_t lastStored = h.system.runLog.Records().back().counter;
    ASSERT_TRUE(h.Start());
    sim::RealTimeDriver driver([&](uint32_t ms) { h.system.Step(ms); });
    ASSERT_TRUE(driver.Start());

    // Without --abort-bulk a running engine is refused: it gives no stored log.
    const std::string path = TempFile("follow.csv");
    const CtlResult refused = RunCtl(h.Args({"log", "download", "-o", path}));
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_NE(refused.err.find("the engine is running"), std::string::npos) << refused.err;

    const CtlResult r =
        RunCtl(h.Args({"log", "download", "--abort-bulk", "-o", path, "--json"}), 60000, 4000);
    driver.Stop();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = MiniJson::Parse(r.out);
    ASSERT_TRUE(doc.has_value()) << r.out;
    EXPECT_EQ(doc->at("records_per_second")->number, 16);
    ASSERT_GT(doc->at("records")->number, 0);
    // Only records of this run: none of the stored history.
    CDeviceECUTracker tracker;
    ASSERT_EQ(tracker.load(path), 1);
    CMLockGuard lock(tracker.getLock());
    EXPECT_EQ(tracker.GetCount(), static_cast<int32_t>(doc->at("records")->number));
    for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next) {
        EXPECT_GT(static_cast<CDeviceECUTItem*>(n)->counter, lastStored);
    }
}
