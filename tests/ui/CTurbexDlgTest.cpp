#include "MainWindowRig.h"
#include "foundation/CTextTable.h"
#include "ui/CComboBoxInt.h"
#include "ui/dialogs/CDialogPassword.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <QTabBar>

#include <algorithm>
#include <thread>

namespace {

constexpr uint16_t kPrc = 0x0804;
constexpr uint16_t kHongKong = 0x0C04;
constexpr uint16_t kTaiwan = 0x0404;
constexpr uint16_t kUs = 0x0409;
constexpr uint16_t kGermany = 0x0407;

// Value controls of the status panel (all but the learned throttle points).
const int32_t kStatusValues[] = {1004, 1023, 1024, 1026, 1030, 1031, 1032, 1033, 1035,
                                 1037, 1038, 1039, 1040, 1041, 1043, 1044, 1045, 1046,
                                 1047, 1048, 1049, 1050, 1051, 1052, 1053, 1054, 1055,
                                 1056, 1057, 1058, 1059, 1060, 1061, 1069, 1070};
const int32_t kThrottleReadouts[] = {1025, 1029, 1036};

std::string TableText(int32_t number, int32_t language) {
    return CTextTable::GetText(number, language);
}

void Click(CTurbexDlg& w, int32_t id) {
    auto* button = w.Control<QPushButton>(id);
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isEnabled()) << id;
    button->click();
}

// An engine as the item generation reports it: everything fitted.
EcuLiveView ItemGenerationEngine() {
    EcuLiveView v;
    v.display_state = 11;
    v.display_error = 0;
    v.displayed_egt = 612;
    v.cpu_load = 23;
    v.engine_state = 5;
    v.cpu_temperature = 41;
    v.rc_voltage = 5.1f;
    v.battery_voltage = 11.8f;
    v.current = 2.345f;
    v.air_pressure = 95400;
    v.altitude = 512;
    v.record_storage = 1024;
    v.engine_rpm = 98000;
    v.egt = 600;
    v.pump_voltage_centivolts = 345;
    v.pump_voltage = 3.45f;
    v.sensor_thrust = 4.25f;
    v.rc_throttle_input = 1500;
    v.rc_switch_input = 1100;
    v.alternator_present = true;
    v.alternator_voltage = 13.9f;
    v.ignition_pump_state = 4;
    v.ignition_pump_rpm = 12300;
    v.ignition_pump_temperature = 38;
    v.main_pump_ecu_kind = 1; // BLDC main pump
    v.main_pump_tcu_kind = 0;
    v.main_pump_state = 2;
    v.main_pump_rpm = 22500;
    v.main_pump_temperature = 44;
    v.fuel_temperature = 19;
    v.fuel_pressure = 0.25f;
    v.combustion_pressure = 0.082f;
    v.tcu_fitted = v.tcu_answering = true;
    v.tcu_version = {1, 4, 17};
    v.tcu_voltage = 120;
    v.tcu_temperature = 35;
    v.starter_fitted = v.starter_answering = true;
    v.starter_state = 2;
    v.starter_rpm = 30000;
    v.starter_temperature = 40;
    return v;
}

// An engine as the block generation reports it: no CPU temperature, no pump
// feedback, nothing optional fitted.
EcuLiveView BlockGenerationEngine() {
    EcuLiveView v;
    v.display_state = 0;
    v.cpu_load = 12;
    v.cpu_temperature = -60;
    v.rc_voltage = 5.0f;
    v.battery_voltage = 7.4f;
    v.current = -0.012f;
    v.air_pressure = 100000;
    v.altitude = -3;
    v.rc_throttle_input = 1010;
    v.rc_switch_input = 2000;
    return v;
}

// --- language at start and switching ----------------------------------------

TEST(CTurbexDlg, LanguageFollowsTheSystemLanguageAtStart) {
    const struct {
        uint16_t langId;
        int32_t language;
        const char* button;
    } cases[] = {
        {kPrc, 0, "English"},
        {kHongKong, 0, "English"},
        {kTaiwan, 1, "中文"},
        {kUs, 1, "中文"},
        {kGermany, 1, "中文"},
    };
    const uint16_t port = SimRig::DeadPort();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.langId);
        // Start from the other language: the choice is made afresh.
        CTextTable::Process().SetLanguage(1 - c.language);
        MainWindowRig rig(port, c.langId);
        EXPECT_EQ(CTextTable::Process().GetLanguage(), c.language);
        EXPECT_EQ(rig.Text(CTurbexDlg::kLanguage), c.button);
        EXPECT_EQ(rig.w().windowTitle().toStdString(), "Turbex V1.1.73");
        EXPECT_EQ(rig.Text(1021), TableText(46, c.language));
        EXPECT_EQ(rig.w().Tab()->GetItemText(0).toStdString(), TableText(54, c.language));
    }
}

TEST(CTurbexDlg, LanguageSwitchRecaptionsAll49ControlsAndTheTabs) {
    ScriptedUiServices services;
    services.modal = [](QDialog& d) {
        auto& password = static_cast<CDialogPassword&>(d);
        password.Edit()->setText("kvrw");
        password.Control<QPushButton>(CDialogPassword::kIdOk)->click();
        return d.result();
    };
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    Click(rig.w(), CTurbexDlg::kKvrw); // the engineering and simulator tabs are re-titled too
    ASSERT_EQ(rig.w().Tab()->GetItemCount(), 6);
    EXPECT_EQ(rig.w().Tab()->GetItemText(4).toStdString(), "工程模式"); // in either language
    EXPECT_EQ(rig.w().Tab()->GetItemText(5).toStdString(), "Simulator");

    const auto& list = CTurbexDlg::CaptionList();
    ASSERT_EQ(list.size(), 49u);
    const auto expectCaptions = [&](int32_t language) {
        for (const auto& pair : list) {
            EXPECT_EQ(rig.Text(pair.controlId), TableText(pair.textNumber, language))
                << pair.controlId;
        }
        EXPECT_EQ(rig.Text(CTurbexDlg::kLanguage), language == 1 ? "中文" : "English");
        const int32_t tabTitles[] = {54, 56, 55, 57, 58, 59};
        for (int32_t i = 0; i < 6; ++i) {
            EXPECT_EQ(rig.w().Tab()->GetItemText(i).toStdString(),
                      TableText(tabTitles[i], language))
                << i;
        }
    };
    Click(rig.w(), CTurbexDlg::kLanguage);
    expectCaptions(0);
    EXPECT_EQ(rig.w().Tab()->GetItemText(1).toStdString(), "历史记录");
    Click(rig.w(), CTurbexDlg::kLanguage);
    expectCaptions(1);
    EXPECT_EQ(rig.w().Tab()->GetItemText(1).toStdString(),
              "Historic records "); // trailing blank kept
    EXPECT_EQ(rig.w().Tab()->GetItemText(4).toStdString(), "KVRW");
    // '&' is shown, not taken as a mnemonic marker.
    EXPECT_EQ(rig.w().Tab()->Bar()->tabText(2).toStdString(), "RPM vs EGT&&Thrust&&Pump");
    EXPECT_EQ(CTextTable::Process().GetLanguage(), 1);
}

TEST(CTurbexDlg, LanguageSwitchTellsPagesAndShowsTheSelectedPage) {
    MainWindowRig rig(SimRig::DeadPort(), kPrc);
    rig.w().Tab()->Bar()->setCurrentIndex(2); // as the user selects it
    Click(rig.w(), CTurbexDlg::kLanguage);
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelTrack)->Has("recaption"));
    for (int32_t slot = 0; slot < CTurbexDlg::kPanelCount; ++slot) {
        EXPECT_EQ(!rig.w().Panel(slot)->isHidden(), slot == 2) << slot;
    }
}

// --- nothing connected -------------------------------------------------------

TEST(CTurbexDlg, NothingConnectedShowsRedLampsEmptyValuesAndDisabledButtons) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    EXPECT_EQ(rig.Lamp(CTurbexDlg::kUsbLamp), kRedLamp);
    EXPECT_EQ(rig.Lamp(CTurbexDlg::kDeviceLamp), kRedLamp);
    for (int32_t id : kStatusValues) {
        EXPECT_EQ(rig.Text(id), "") << id;
    }
    for (int32_t id : kThrottleReadouts) {
        EXPECT_EQ(rig.Text(id), "") << id;
    }
    for (int32_t id : {1021, 1028, 1042, 1027}) {
        EXPECT_FALSE(rig.w().IsControlEnabled(id)) << id;
    }
    for (int32_t id : {1027, 1062, 1068, 1065, 1034}) {
        EXPECT_FALSE(rig.w().IsControlShown(id)) << id;
    }
    for (int32_t id : {1021, 1028, 1042, 1063, 1064, 1067}) {
        EXPECT_TRUE(rig.w().IsControlShown(id)) << id;
    }
    // Four tabs, the first selected, its page the only one shown.
    EXPECT_EQ(rig.w().Tab()->GetItemCount(), 4);
    EXPECT_EQ(rig.w().Tab()->GetCurSel(), 0);
    for (int32_t slot = 0; slot < CTurbexDlg::kPanelCount; ++slot) {
        EXPECT_EQ(!rig.w().Panel(slot)->isHidden(), slot == 0) << slot;
    }
    // A notification that arrives while nothing is connected shows nothing.
    rig.ecu->live = ItemGenerationEngine();
    rig.Notify(301);
    QTest::qWait(20);
    EXPECT_EQ(rig.Text(1023), "");
    EXPECT_EQ(rig.ecu->attached, 1);
}

TEST(CTurbexDlg, PagesWithoutAFactoryAreEmptyPages) {
    MainWindowRig rig(SimRig::DeadPort(), kUs, /*withPages=*/false);
    for (int32_t slot = 0; slot < CTurbexDlg::kPanelCount; ++slot) {
        ASSERT_NE(rig.w().Panel(slot), nullptr);
        EXPECT_EQ(rig.Page(slot), nullptr);
        EXPECT_EQ(rig.w().Panel(slot)->parentWidget(), rig.w().Tab());
    }
    // Buttons whose dialogs do not exist yet do nothing (and do not crash).
    rig.w().OnSetParam();
    rig.w().OnTestEngine();
    rig.w().OnUpdate();
    EXPECT_EQ(rig.ecu->rereads, 1);
}

// --- against the simulated unit ---------------------------------------------

TEST(CTurbexDlg, OnlineShowsVersionAndEnablesTheButtons) {
    SimRig sim;
    sim.unit.status.identity.major = 3;
    sim.unit.status.identity.minor = 10;
    sim.unit.status.identity.patch = 5;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    EXPECT_EQ(rig.Lamp(CTurbexDlg::kUsbLamp), kGreenLamp);
    EXPECT_EQ(rig.Text(CTurbexDlg::kVersion), "APP:V3.10.05");
    EXPECT_EQ(rig.Text(CTurbexDlg::kLinkRate), "1"); // the socket link reports 1
    for (int32_t id : {1021, 1028, 1042, 1027}) {
        EXPECT_TRUE(rig.w().IsControlEnabled(id)) << id;
    }
    EXPECT_FALSE(rig.w().IsControlShown(1027)); // enabled, but still hidden
}

TEST(CTurbexDlg, BootLoaderModeShowsBootVersionAndEnablesOnlyUpdate) {
    SimRig sim;
    sim.unit.status.identity.bootLoader = true;
    sim.unit.status.identity.bootVersion1 = 2;
    sim.unit.status.identity.bootVersion2 = 1;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    EXPECT_EQ(rig.Text(CTurbexDlg::kVersion), "BOOT:V2.01");
    EXPECT_TRUE(rig.w().IsControlEnabled(1027));
    for (int32_t id : {1021, 1028, 1042}) {
        EXPECT_FALSE(rig.w().IsControlEnabled(id)) << id;
    }
    // No live values in boot-loader mode.
    rig.ecu->live = ItemGenerationEngine();
    rig.Notify(301);
    QTest::qWait(20);
    EXPECT_EQ(rig.Text(1023), "");
    EXPECT_EQ(rig.Text(1044), "");
}

TEST(CTurbexDlg, StatusPanelShowsTheItemGenerationEngine) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    rig.ecu->live = ItemGenerationEngine();
    // Notifications arrive on the protocol object's thread.
    std::thread poll([&] { rig.Notify(301); });
    poll.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Text(1023) == "23"; }));
    const std::pair<int32_t, const char*> expected[] = {
        {1044, "Running"},  {1051, "41"},     {1030, "5.1"},        {1031, "11.8"},
        {1033, "2.35"},     {1038, "95.400"}, {1057, "512"},        {1069, "1024"},
        {1024, "Normally"}, {1037, "Run"},    {1039, "30000"},      {1040, "40"},
        {1049, "13.9"},     {1035, ""},       {1047, "BLDC Motor"}, {1026, "Unsupport"},
        {1041, "Run"},      {1043, "22500"},  {1046, "44"},         {1045, "TCU:1.4.17"},
        {1054, "120"},      {1056, "35"},     {1052, "Run"},        {1053, "12300"},
        {1058, "38"},       {1032, "1500"},   {1055, "1100"},       {1059, "19"},
        {1060, "0.250"},    {1061, "0.082"},  {1070, "1"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(rig.Text(id), text) << id;
    }
    // The same values in Chinese.
    Click(rig.w(), CTurbexDlg::kLanguage);
    EXPECT_EQ(rig.Text(1044), "运行");
    EXPECT_EQ(rig.Text(1024), TableText(90, 0));
    EXPECT_EQ(rig.Text(1023), "23");
}

TEST(CTurbexDlg, StatusPanelShowsTheBlockGenerationEngine) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    rig.ecu->live = BlockGenerationEngine();
    rig.Notify(301);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Text(1023) == "12"; }));
    const std::pair<int32_t, const char*> expected[] = {
        {1044, "Stop"},      {1051, "???"},       {1030, "5.0"},       {1031, "7.4"},
        {1033, "-0.01"},     {1038, "100.000"},   {1057, "-3"},        {1069, "0"},
        {1024, "Unsupport"}, {1037, ""},          {1039, ""},          {1040, ""},
        {1049, ""},          {1047, "DC Motor"},  {1026, "Unsupport"}, {1041, ""},
        {1043, ""},          {1046, ""},          {1045, "Unsupport"}, {1054, ""},
        {1056, ""},          {1052, "Unsupport"}, {1053, ""},          {1058, ""},
        {1032, "1010"},      {1055, "2000"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(rig.Text(id), text) << id;
    }
}

TEST(CTurbexDlg, UnplugTurnsBothLampsRedWithAllValuesCleared) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    rig.ecu->live = ItemGenerationEngine();
    rig.ecu->texts = {{1, "1900"}, {2, "1100"}, {3, "1250"}};
    rig.Notify(301);
    rig.Notify(302);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rig.Text(1025) == "1900" && rig.Text(1023) == "23"; }));
    EXPECT_EQ(rig.Text(1036), "1100");
    EXPECT_EQ(rig.Text(1029), "1250");
    rig.w().OnSetParam(); // the settings dialog exists and is open

    // The lamps show the device's state when each event is handled: a link
    // that briefly comes up again while the bridge goes away may delay the
    // USB lamp, so only the end state is certain.
    sim.bridge.Stop();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return rig.Lamp(CTurbexDlg::kUsbLamp) == kRedLamp &&
                   rig.Lamp(CTurbexDlg::kDeviceLamp) == kRedLamp;
        },
        10000));
    for (int32_t id : kStatusValues) {
        EXPECT_EQ(rig.Text(id), "") << id;
    }
    for (int32_t id : kThrottleReadouts) {
        EXPECT_EQ(rig.Text(id), "") << id;
    }
    for (int32_t id : {1021, 1028, 1042, 1027}) {
        EXPECT_FALSE(rig.w().IsControlEnabled(id)) << id;
    }
    EXPECT_TRUE(rig.Has("settings close"));
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelTrack)->Has("reset"));
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelSimulate)->Has("reset"));
    RecordingPanel* chart = rig.Page(CTurbexDlg::kPanelCurrentState);
    EXPECT_TRUE(chart->Has("reset"));
    ASSERT_FALSE(chart->samples.empty());
    EXPECT_EQ(chart->samples.back().rpm, 0u); // a disconnected engine feeds zeros
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelRpmTemp)->Has("rpmtemp 0 0 0 0.00"));
}

TEST(CTurbexDlg, LinkDownTurnsTheUsbLampRedBeforeTheOfflineCleanUp) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    CDeviceBase& device = rig.w().Device();
    ASSERT_EQ(device.OnLinkState(1, CDeviceLinkSocket::kLinkType), 1);
    (void)device.OnOnline(1);
    ASSERT_TRUE(rig.WaitOnline());
    EXPECT_EQ(rig.Lamp(CTurbexDlg::kUsbLamp), kGreenLamp);
    QColor usbAtCleanUp;
    RecordingPanel* chart = rig.Page(CTurbexDlg::kPanelCurrentState);
    ASSERT_NE(chart, nullptr);
    chart->onReset = [&] { usbAtCleanUp = rig.Lamp(CTurbexDlg::kUsbLamp); };
    // The dongle is pulled: event 0 (0), then event 1 (0).
    ASSERT_EQ(device.OnLinkState(0, CDeviceLinkSocket::kLinkType), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Lamp(CTurbexDlg::kDeviceLamp) == kRedLamp; }));
    EXPECT_EQ(usbAtCleanUp, kRedLamp);
    EXPECT_EQ(rig.Lamp(CTurbexDlg::kUsbLamp), kRedLamp);
}

TEST(CTurbexDlg, ReconnectAfterUnplugComesBackOnline) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    sim.bridge.DropConnection();
    // The link comes back by itself; the window follows the events.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.bridge.GetConnections() >= 2; }, 10000));
    ASSERT_TRUE(rig.WaitOnline());
    EXPECT_EQ(rig.Lamp(CTurbexDlg::kUsbLamp), kGreenLamp);
    EXPECT_EQ(rig.Text(CTurbexDlg::kVersion), "APP:V1.02.03");
}

// --- notifications -----------------------------------------------------------

TEST(CTurbexDlg, TelemetryFeedsThePages) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    rig.w().OnEcuTest(); // an ECU test dialog exists: it is refreshed too
    EcuLiveView live = ItemGenerationEngine();
    live.display_error = 8;
    rig.ecu->live = live;
    rig.Notify(301);
    RecordingPanel* chart = rig.Page(CTurbexDlg::kPanelCurrentState);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !chart->samples.empty(); }));
    EXPECT_EQ(chart->stateLine, "Running");
    EXPECT_EQ(chart->faultLine, "Error: EGT High");
    EXPECT_EQ(chart->faultColor, 0x0000FFu); // red: an error is shown
    EXPECT_FLOAT_EQ(chart->current, 2.345f);
    EXPECT_TRUE(chart->Has("alternator 1 13.9"));
    const CLiveSample& s = chart->samples.back();
    EXPECT_EQ(s.rpm, 98000u);
    EXPECT_EQ(s.egt, 612); // with the correction
    EXPECT_EQ(s.pump_voltage, 345);
    EXPECT_FLOAT_EQ(s.thrust, 4.25f);
    EXPECT_EQ(s.state, 5);
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelRpmTemp)->Has("rpmtemp 98000 612 345 4.25"));
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelPump)->Has("pump 2 22500 345"));
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelSimulate)->Has("refresh"));
    EXPECT_TRUE(rig.Has("test 145 refresh"));

    // No error: the fault line is not in the alarm colour. A pump without
    // speed feedback does not feed the pump page.
    live.display_error = 0;
    live.main_pump_ecu_kind = 0;
    live.main_pump_tcu_kind = 1;
    rig.ecu->live = live;
    const size_t pumpSamples = rig.Page(CTurbexDlg::kPanelPump)->log.size();
    rig.Notify(301);
    ASSERT_TRUE(QTest::qWaitFor([&] { return chart->samples.size() == 2; }));
    EXPECT_EQ(chart->faultLine, "Error: No");
    EXPECT_EQ(chart->faultColor, 0u);
    EXPECT_EQ(rig.Page(CTurbexDlg::kPanelPump)->log.size(), pumpSamples);
}

TEST(CTurbexDlg, ParametersSetReadoutsScalesAndRanges) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    rig.w().OnSetParam();
    rig.ecu->texts = {
        {1, "1950"}, {2, "1050"}, {3, "1200"}, {13, "850"}, {52, "35000"}, {53, "120000"}};
    rig.ecu->live.pump_voltage = 4.2f;
    rig.Notify(302);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Text(1025) == "1950"; }));
    EXPECT_EQ(rig.Text(1036), "1050");
    EXPECT_EQ(rig.Text(1029), "1200");
    EXPECT_TRUE(rig.Has("settings show values"));
    RecordingPanel* chart = rig.Page(CTurbexDlg::kPanelCurrentState);
    EXPECT_TRUE(chart->Has("egt scale 850"));
    EXPECT_TRUE(chart->Has("rpm scale 120000"));
    EXPECT_TRUE(chart->Has("pump scale 4200"));
    EXPECT_TRUE(rig.Page(CTurbexDlg::kPanelRpmTemp)->Has("range 35000 120000"));
}

TEST(CTurbexDlg, EventTableForwardsTransferRecordAndSimulatorEvents) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    std::thread device([&] {
        rig.Notify(3, 0);
        rig.Notify(5, 40);
        rig.Notify(4, 1);
        rig.Notify(4, 0);
        rig.Notify(303);
        rig.Notify(304, 1);
        rig.Notify(304, 0);
        rig.Notify(305);
        rig.Notify(306);
        rig.Notify(6, 1);
        rig.Notify(307);
    });
    device.join();
    RecordingPanel* track = rig.Page(CTurbexDlg::kPanelTrack);
    RecordingPanel* simulator = rig.Page(CTurbexDlg::kPanelSimulate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return simulator->Has("ground support"); }));
    const std::vector<std::string> firmware(rig.dialogs.begin(), rig.dialogs.end());
    const std::vector<std::string> expected = {"firmware progress 0",
                                               "firmware progress 40",
                                               "firmware progress 0",
                                               "firmware finished ok",
                                               "firmware progress 0",
                                               "firmware finished failed"};
    EXPECT_EQ(firmware, expected);
    const std::vector<std::string> trackLog = {"records", "loading on", "loading off"};
    EXPECT_EQ(track->log, trackLog);
    const std::vector<std::string> simLog = {"refresh", "ground support"};
    EXPECT_EQ(simulator->log, simLog);
}

// --- buttons -------------------------------------------------------------------

TEST(CTurbexDlg, LearningMenuSendsTheLearningCommands) {
    ScriptedUiServices services;
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());

    const struct {
        int learning;
        int item;
        int command; // 0: nothing sent
    } cases[] = {
        {0, 0, 2},
        {0, 1, 0},
        {0, 2, 0},
        {0, 3, 0},
        {0, 4, 0},
        {0, -1, 0},
        {1, 0, 3},
        {1, 1, 6},
        {1, 2, 5},
        {1, 3, 4},
        {1, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "learning " << c.learning << " item " << c.item);
        rig.ecu->learning = c.learning;
        rig.ecu->commands.clear();
        services.menuChoice = c.item;
        Click(rig.w(), CTurbexDlg::kLearn);
        ASSERT_EQ(services.lastMenu.size(), 5u);
        EXPECT_EQ(services.lastMenu[0].text.toStdString(),
                  c.learning ? "Stop learn" : "Start learn");
        EXPECT_EQ(services.lastMenu[1].text.toStdString(), "Throttle.Max");
        EXPECT_EQ(services.lastMenu[2].text.toStdString(), "Throttle.Idle");
        EXPECT_EQ(services.lastMenu[3].text.toStdString(), "Throttle.Min");
        EXPECT_TRUE(services.lastMenu[4].separator);
        EXPECT_TRUE(services.lastMenu[0].enabled);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(services.lastMenu[static_cast<size_t>(i)].enabled, c.learning != 0) << i;
        }
        if (c.command == 0) {
            EXPECT_TRUE(rig.ecu->commands.empty());
        } else {
            ASSERT_EQ(rig.ecu->commands.size(), 1u);
            EXPECT_EQ(rig.ecu->commands[0], std::make_pair(c.command, 0));
        }
    }
}

TEST(CTurbexDlg, KvrwUnlocksTheEngineeringTabOnlyWithTheWordInAnyCase) {
    const struct {
        const char* typed;
        bool ok; // OK pressed (else cancel)
        bool unlocks;
    } cases[] = {
        {"kvrw", true, true},
        {"KVRW", true, true},
        {"KvRw", true, true},
        {"kvrw", false, false},
        {"kvr", true, false},
        {"kvrw ", true, false},
        {"", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.typed << "\" ok " << c.ok);
        ScriptedUiServices services;
        services.modal = [&](QDialog& d) {
            auto& password = static_cast<CDialogPassword&>(d);
            EXPECT_TRUE(password.GetPassword().isEmpty()); // a fresh prompt each time
            password.Edit()->setText(QString::fromUtf8(c.typed));
            password
                .Control<QPushButton>(c.ok ? CDialogPassword::kIdOk : CDialogPassword::kIdCancel)
                ->click();
            return d.result();
        };
        MainWindowRig rig(SimRig::DeadPort(), kUs);
        Click(rig.w(), CTurbexDlg::kKvrw);
        EXPECT_EQ(services.modals, 1);
        EXPECT_EQ(rig.w().Tab()->GetItemCount(), c.unlocks ? 6 : 4);
        EXPECT_EQ(rig.w().IsControlShown(CTurbexDlg::kKvrw), !c.unlocks);
        if (c.unlocks) {
            EXPECT_EQ(rig.w().Tab()->GetItemText(4).toStdString(), "工程模式");
            EXPECT_EQ(rig.w().Tab()->GetItemText(5).toStdString(), "Simulator");
            // Selecting the new tabs shows the engineering and simulator pages.
            rig.w().Tab()->Bar()->setCurrentIndex(5);
            EXPECT_FALSE(rig.w().Panel(CTurbexDlg::kPanelSimulate)->isHidden());
            EXPECT_TRUE(rig.w().Panel(CTurbexDlg::kPanelKvrw)->isHidden());
            rig.w().Tab()->Bar()->setCurrentIndex(4);
            EXPECT_FALSE(rig.w().Panel(CTurbexDlg::kPanelKvrw)->isHidden());
            EXPECT_TRUE(rig.w().Panel(CTurbexDlg::kPanelSimulate)->isHidden());
            EXPECT_TRUE(rig.w().Panel(CTurbexDlg::kPanelCurrentState)->isHidden());
            // A second press (the button is hidden, but its action may still
            // be reached) does nothing.
            rig.w().OnKvrw();
            EXPECT_EQ(services.modals, 1);
            EXPECT_EQ(rig.w().Tab()->GetItemCount(), 6);
        } else {
            // It may be tried again.
            Click(rig.w(), CTurbexDlg::kKvrw);
            EXPECT_EQ(services.modals, 2);
        }
    }
}

TEST(CTurbexDlg, SetParamRereadsAndOpensSettings) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    Click(rig.w(), CTurbexDlg::kSetParam);
    Click(rig.w(), CTurbexDlg::kSetParam);
    EXPECT_EQ(rig.ecu->rereads, 2);
    EXPECT_EQ(std::count(rig.dialogs.begin(), rig.dialogs.end(), "settings open"), 2);
}

TEST(CTurbexDlg, TestDialogsAreCreatedOnFirstUseAndShownAgain) {
    SimRig sim;
    sim.Start();
    MainWindowRig rig(sim.bridge.GetPort(), kUs);
    ASSERT_TRUE(rig.WaitOnline());
    Click(rig.w(), CTurbexDlg::kTestEngine);
    Click(rig.w(), CTurbexDlg::kTestEngine);
    rig.w().OnEcuTest();
    rig.w().OnTcuTest();
    const std::vector<std::string> expected = {"create test 139",
                                               "test 139 show",
                                               "test 139 show",
                                               "create test 145",
                                               "test 145 show",
                                               "create test 146",
                                               "test 146 show"};
    EXPECT_EQ(rig.dialogs, expected);
    // Going offline resets all three; a language switch re-captions the
    // hardware test dialog.
    rig.dialogs.clear();
    Click(rig.w(), CTurbexDlg::kLanguage);
    EXPECT_TRUE(rig.Has("test 139 recaption"));
    sim.bridge.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Has("test 146 reset"); }, 10000));
    EXPECT_TRUE(rig.Has("test 139 reset"));
    EXPECT_TRUE(rig.Has("test 145 reset"));
}

TEST(CTurbexDlg, CalibrationComboAndButton) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    auto* combo = rig.w().Control<CComboBoxInt>(CTurbexDlg::kCalibrationCombo);
    ASSERT_NE(combo, nullptr);
    const int32_t values[] = {0, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
    ASSERT_EQ(combo->GetCount(), 12);
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(combo->GetItemData(i), values[i]);
        EXPECT_EQ(combo->itemText(i).toStdString(), std::to_string(values[i]) + "℃");
    }
    EXPECT_EQ(combo->currentText().toStdString(), "24℃");
    EXPECT_EQ(rig.Text(CTurbexDlg::kCalibrate), "校准温度");

    rig.ecu->ready = 0;
    rig.w().OnCalibrate();
    EXPECT_TRUE(rig.ecu->calibration.empty()); // skipped unless connected

    rig.ecu->ready = 1;
    combo->SetCurSel(11);
    rig.w().OnCalibrate();
    const std::vector<std::string> expected = {"prepare", "calibrate 30"};
    EXPECT_EQ(rig.ecu->calibration, expected);
}

// --- layout --------------------------------------------------------------------

QRect Geometry(CTurbexDlg& w, int32_t id) {
    return w.GetDlgItem(id)->geometry();
}

TEST(CTurbexDlg, LayoutSwitchEnlargesThePagesAndRestores) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    CTurbexDlg& w = rig.w();
    const DialogUnits units = w.Units();
    const QRect normalTab = Geometry(w, CTurbexDlg::kTab);
    EXPECT_EQ(normalTab.top(), units.ReferenceY(206));
    w.ShowControl(1027, true); // a service control that was asked for

    Click(w, CTurbexDlg::kLayout);
    EXPECT_TRUE(w.IsEnlarged());
    EXPECT_EQ(rig.Text(CTurbexDlg::kLayout), "MIN");
    const QRect bigTab = Geometry(w, CTurbexDlg::kTab);
    EXPECT_EQ(bigTab.top(), units.ReferenceY(10));
    EXPECT_EQ(bigTab.bottom(), normalTab.bottom());
    EXPECT_EQ(Geometry(w, CTurbexDlg::kLayout).top(), bigTab.top()); // moved with it
    for (int32_t id : w.ControlIds()) {
        if (id != CTurbexDlg::kTab && id != CTurbexDlg::kLayout) {
            EXPECT_FALSE(w.IsControlShown(id)) << id;
        }
    }
    // The page fills the bigger tab area.
    EXPECT_GT(w.Panel(0)->height(), normalTab.height() - w.Tab()->StripHeight());

    Click(w, CTurbexDlg::kLayout);
    EXPECT_FALSE(w.IsEnlarged());
    EXPECT_EQ(rig.Text(CTurbexDlg::kLayout), "MAX");
    EXPECT_EQ(Geometry(w, CTurbexDlg::kTab), normalTab);
    EXPECT_TRUE(w.IsControlShown(1021));
    EXPECT_TRUE(w.IsControlShown(1027));
    for (int32_t id : {1062, 1068, 1065, 1034}) {
        EXPECT_FALSE(w.IsControlShown(id)) << id; // hidden before, hidden after
    }
}

TEST(CTurbexDlg, ResizingKeepsTheTabDistancesAndTheMinimumSize) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    CTurbexDlg& w = rig.w();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QSize initial = w.InitialSize();
    EXPECT_EQ(w.minimumSize(), initial);
    EXPECT_EQ(initial, w.DluRect(0, 0, 603, 422).size());
    const QRect tab = Geometry(w, CTurbexDlg::kTab);
    const int right = w.width() - tab.right();
    const int bottom = w.height() - tab.bottom();
    const int buttonRight = w.width() - Geometry(w, CTurbexDlg::kLayout).right();

    w.resize(initial.width() + 200, initial.height() + 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.width() == initial.width() + 200; }));
    const QRect grown = Geometry(w, CTurbexDlg::kTab);
    EXPECT_EQ(w.width() - grown.right(), right);
    EXPECT_EQ(w.height() - grown.bottom(), bottom);
    EXPECT_EQ(grown.topLeft(), tab.topLeft());
    EXPECT_EQ(w.width() - Geometry(w, CTurbexDlg::kLayout).right(), buttonRight);
    const QRect page = w.Panel(0)->geometry();
    EXPECT_EQ(page.left(), 1);
    EXPECT_EQ(w.Tab()->width() - page.right() - 1, 3);
    EXPECT_EQ(w.Tab()->height() - page.bottom() - 1, 2);

    w.resize(initial.width() - 100, initial.height() - 100);
    QTest::qWait(20);
    EXPECT_EQ(w.size(), initial);
}

// A double-click where the user clicks: on whatever control is there,
// which passes it on to the window when it does not take it.
void DoubleClickAt(CTurbexDlg& w, QPoint p) {
    QWidget* target = w.childAt(p);
    if (target == nullptr) {
        target = &w;
    }
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(&w, p));
}

TEST(CTurbexDlg, DoubleClicksInTheServiceSpotsShowTheHiddenControls) {
    MainWindowRig rig(SimRig::DeadPort(), kUs);
    CTurbexDlg& w = rig.w();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const DialogUnits u = w.Units();

    DoubleClickAt(w, QPoint(u.ReferenceX(150), u.ReferenceY(20))); // not a spot
    for (int32_t id : {1027, 1062, 1068, 1065, 1034}) {
        EXPECT_FALSE(w.IsControlShown(id)) << id;
    }
    DoubleClickAt(w, QPoint(u.ReferenceX(303), u.ReferenceY(19)));
    for (int32_t id : {1027, 1062, 1068}) {
        EXPECT_TRUE(w.IsControlShown(id)) << id;
    }
    EXPECT_FALSE(w.IsControlShown(1065));
    DoubleClickAt(w, QPoint(u.ReferenceX(3), u.ReferenceY(3)));
    EXPECT_TRUE(w.IsControlShown(1065));
    EXPECT_TRUE(w.IsControlShown(1034));
}

} // namespace
