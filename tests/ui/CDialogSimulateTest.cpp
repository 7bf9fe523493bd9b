// The radio simulator page on the real ECU protocol object against the
// simulated ECU over the socket link: the receiver mode it learns, the
// records it shows, the frames the ECU receives on registers 11 and 10. The
// page's timers are stepped by calling their handler; Refresh and
// RefreshGroundSupport are called as the main window calls them on 301/305
// and 306.

#include "ui/panels/CDialogSimulate.h"
#include "EcuPanelRig.h"
#include "ui/CComboBoxInt.h"

#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Page = sim::EcuRadioSimulator::Page;

struct SimPage {
    explicit SimPage(EcuPanelRig& r)
        : rig(r)
        , page(&r.ecu()) {
        page.show();
    }
    std::string Text(int32_t id) const { return page.GetDlgItemText(id).toStdString(); }
    void Click(int32_t id) { page.Control<QPushButton>(id)->click(); }
    CComboBoxInt* List() const { return page.Control<CComboBoxInt>(CDialogSimulate::kBusType); }
    // The list's text as the accessibility interface reads it.
    std::string ListText() const {
        return QAccessible::queryAccessibleInterface(List())
            ->text(QAccessible::Value)
            .toStdString();
    }
    // Refreshes once the ECU object stored a register-11 reply read after
    // whatever the test changed (as the main window does on 305).
    void RefreshFresh() {
        ASSERT_TRUE(rig.WaitNotifications(CDeviceECU::kSimulatorChannels, 2));
        page.Refresh();
    }
    // From inert to showing the ECU's mode: the first refresh asks for
    // register 11, the next one after a reply takes the mode, the one after
    // that builds the page for it. The receiver timer is the test's to step.
    void Activate() {
        page.Refresh();
        RefreshFresh();
        ASSERT_TRUE(page.IsActive());
        page.KillTimer(CDialogSimulate::kReceiverTimer);
        RefreshFresh();
    }
    // Refreshes until cond holds, as each stored reply would.
    bool RefreshUntil(const std::function<bool()>& cond) {
        return QTest::qWaitFor(
            [&] {
                page.Refresh();
                return cond();
            },
            5000);
    }
    void Tick(uint32_t timer, int n = 1) {
        for (int i = 0; i < n; ++i) {
            page.OnTimer(timer);
        }
    }
    EcuPanelRig& rig;
    CDialogSimulate page;
};

Page Record(uint8_t mode, uint8_t kind, std::initializer_list<std::pair<size_t, uint8_t>> data) {
    Page p{};
    p[0] = mode;
    p[1] = kind;
    for (const auto& [i, v] : data) {
        p[2 + i] = v;
    }
    return p;
}

int ReadsOf11(EcuPanelRig& rig) {
    int n = 0;
    rig.Do([&] { n = static_cast<int>(rig.system.ecu.ReadCount(11)); });
    return n;
}

} // namespace

TEST(CDialogSimulate, InertUntilTheEcuReportsAReceiverMode) {
    EcuPanelRig rig(EcuConfig(true, 0));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    EXPECT_FALSE(p.page.IsActive());
    EXPECT_EQ(p.List()->currentIndex(), -1);
    EXPECT_EQ(p.ListText(), "无效");
    EXPECT_EQ(ReadsOf11(rig), 0); // nobody asked yet
    p.page.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadsOf11(rig) >= 1; }, 5000));
    // Mode 0: the ECU ends the reading, and the page stays inert and silent.
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    p.page.Refresh();
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    EXPECT_EQ(ReadsOf11(rig), 1);
    EXPECT_FALSE(p.page.IsActive());
    EXPECT_FALSE(p.page.HasTimer(CDialogSimulate::kReceiverTimer));
    for (int32_t id : {CDialogSimulate::kThrottle, CDialogSimulate::kJetiRight}) {
        EXPECT_FALSE(p.page.IsControlEnabled(id)) << id;
    }
    p.Tick(CDialogSimulate::kReceiverTimer, 3);
    EXPECT_TRUE(rig.Writes(11).empty());

    // Shown again, the page asks again; now the ECU listens to a JETI bus.
    rig.Do([&] { rig.system.ecu.Radio().SetMode(3); });
    p.page.hide();
    p.page.show();
    p.page.Refresh();
    p.RefreshFresh();
    EXPECT_TRUE(p.page.IsActive());
    EXPECT_TRUE(p.page.HasTimer(CDialogSimulate::kReceiverTimer));
    EXPECT_EQ(p.ListText(), "JetI(ExBUS)");
    EXPECT_EQ(p.page.SendMode(), 3);

    // The ECU's mode drops to 0: back to inert, "无效", no more frames.
    p.page.KillTimer(CDialogSimulate::kReceiverTimer);
    p.page.Refresh();
    EXPECT_EQ(p.Text(CDialogSimulate::kType), "0");
    rig.Do([&] { rig.system.ecu.Radio().SetMode(0); });
    ASSERT_TRUE(rig.WaitFreshTelemetry()); // the reply after the change is stored
    p.page.Refresh();
    EXPECT_FALSE(p.page.IsActive());
    EXPECT_EQ(p.List()->currentIndex(), -1);
    EXPECT_EQ(p.ListText(), "无效");
    EXPECT_FALSE(p.page.HasTimer(CDialogSimulate::kReceiverTimer));
    EXPECT_FALSE(p.page.IsControlEnabled(CDialogSimulate::kJetiRight));
}

// The mode is signed: -1 means no receiver, also when it follows at once on
// the reply that woke the page up.
TEST(CDialogSimulate, ANegativeModeRightAfterWakingUpMakesThePageInert) {
    EcuPanelRig rig(EcuConfig(true, 0));
    ASSERT_TRUE(rig.WaitReady());
    rig.Do([&] { rig.system.ecu.Radio().ServeRecord(Record(3, 3, {})); });
    SimPage p(rig);
    p.page.Refresh(); // asks for register 11
    p.RefreshFresh();
    ASSERT_TRUE(p.page.IsActive());
    rig.Do([&] { rig.system.ecu.Radio().ServeRecord(Record(0xFF, 0, {})); });
    p.RefreshFresh(); // -1 keeps the ECU object reading
    EXPECT_FALSE(p.page.IsActive());
    EXPECT_FALSE(p.page.HasTimer(CDialogSimulate::kReceiverTimer));
    EXPECT_EQ(p.ListText(), "无效");
    rig.ClearLog();
    p.Tick(CDialogSimulate::kReceiverTimer, 2);
    EXPECT_TRUE(rig.Writes(11).empty());
}

TEST(CDialogSimulate, ShowsFutabaAndJetiRecordsAsTheEcuSendsThem) {
    EcuPanelRig rig(EcuConfig(true, 2));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    p.Activate();
    EXPECT_EQ(p.List()->currentText().toStdString(), "Futaba(SBUS2)");
    EXPECT_TRUE(p.page.IsControlEnabled(CDialogSimulate::kThrottle));
    EXPECT_FALSE(p.page.IsControlEnabled(CDialogSimulate::kJetiLeft));
    // A record the simulated ECU built from its engine.
    p.RefreshFresh();
    int32_t rpm = 0;
    int32_t temperature = 0;
    rig.Do([&] {
        rpm = rig.system.ecu.Radio().LastRecordRpm();
        temperature = rig.system.ecu.Radio().LastRecordTemperature();
    });
    EXPECT_EQ(p.Text(CDialogSimulate::kType), "Futaba");
    EXPECT_EQ(p.Text(CDialogSimulate::kRpm), std::to_string(rpm));
    EXPECT_EQ(p.Text(CDialogSimulate::kTemperature), std::to_string(temperature));

    Page jetiLine = Record(3, 1, {});
    std::memcpy(jetiLine.data() + 2, "\xB2\xE2\xCA\xD4 LINE 1\0xxxx", 16); // GBK "测试"
    const struct {
        const char* name;
        Page record;
        int32_t field;
        const char* shown;
    } cases[] = {
        {"Futaba RPM slot not 0x83",
         Record(2, 1, {{0, 0x84}, {1, 0x10}, {3, 0x43}, {4, 0x78}, {5, 0x80}}),
         CDialogSimulate::kRpm,
         "??"},
        {"Futaba temperature kept without the RPM slot",
         Record(2, 1, {{0, 0x84}, {1, 0x10}, {3, 0x43}, {4, 0x78}, {5, 0x80}}),
         CDialogSimulate::kTemperature,
         "20"},
        {"Futaba temperature slot not 0x43",
         Record(2, 1, {{0, 0x83}, {1, 0x10}, {3, 0x44}, {4, 0x78}}),
         CDialogSimulate::kTemperature,
         "??"},
        {"Futaba RPM x 5",
         Record(2, 1, {{0, 0x83}, {1, 0x10}, {2, 0x01}}),
         CDialogSimulate::kRpm,
         "1360"},
        {"Futaba record of another kind",
         Record(2, 2, {{0, 0x83}, {1, 0x10}}),
         CDialogSimulate::kRpm,
         "??"},
        {"JETI type", Record(3, 3, {}), CDialogSimulate::kType, "JETI"},
        {"JETI RPM 0x100000",
         Record(3, 3, {{11, 0x00}, {12, 0x00}, {13, 0x10}}),
         CDialogSimulate::kRpm,
         "-1048576"},
        {"JETI RPM 0xFFFFF",
         Record(3, 3, {{11, 0xFF}, {12, 0xFF}, {13, 0x0F}}),
         CDialogSimulate::kRpm,
         "1048575"},
        {"JETI temperature below zero",
         Record(3, 3, {{15, 0xF6}, {16, 0x1F}}),
         CDialogSimulate::kTemperature,
         "-10"},
        {"JetiBox line 1 in the ECU's code page",
         jetiLine,
         CDialogSimulate::kJetiLine1,
         "测试 LINE 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.Do([&] { rig.system.ecu.Radio().ServeRecord(c.record); });
        // Each case shows a text the one before did not.
        EXPECT_TRUE(p.RefreshUntil([&] { return p.Text(c.field) == c.shown; })) << p.Text(c.field);
    }
}

TEST(CDialogSimulate, JetiBoxKeysAreSentOnceAndTheLinesFollow) {
    EcuPanelRig rig(EcuConfig(true, 3));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    p.Activate();
    EXPECT_TRUE(p.page.IsControlEnabled(CDialogSimulate::kJetiRight));
    EXPECT_FALSE(p.page.IsControlEnabled(CDialogSimulate::kThrottle));
    // The ECU sends its lines and its telemetry in turn.
    EXPECT_TRUE(p.RefreshUntil([&] {
        return p.Text(CDialogSimulate::kJetiLine1) != "0" &&
               p.Text(CDialogSimulate::kJetiLine2) != "0" &&
               p.Text(CDialogSimulate::kTemperature) != "0";
    }));
    EXPECT_EQ(p.Text(CDialogSimulate::kJetiLine1), "RPM 0           ");
    EXPECT_EQ(p.Text(CDialogSimulate::kJetiLine2), "EGT 22C         ");
    EXPECT_EQ(p.Text(CDialogSimulate::kTemperature), "22");

    rig.ClearLog();
    p.Click(CDialogSimulate::kJetiRight);
    p.Click(CDialogSimulate::kJetiRight); // twice within one frame
    p.Tick(CDialogSimulate::kReceiverTimer, 2);
    EXPECT_EQ(rig.Writes(11), (std::vector<Bytes>{{3, 0xE0}, {3, 0}}));
    // The JetiBox turned one page.
    EXPECT_TRUE(
        p.RefreshUntil([&] { return p.Text(CDialogSimulate::kJetiLine1).rfind("BAT ", 0) == 0; }));

    const std::pair<int32_t, uint8_t> keys[] = {{CDialogSimulate::kJetiLeft, 0x70},
                                                {CDialogSimulate::kJetiUp, 0xD0},
                                                {CDialogSimulate::kJetiDown, 0xB0}};
    for (const auto& [button, code] : keys) {
        rig.ClearLog();
        p.Click(button);
        p.Tick(CDialogSimulate::kReceiverTimer);
        EXPECT_EQ(rig.Writes(11), std::vector<Bytes>{Bytes({3, code})}) << button;
    }
}

TEST(CDialogSimulate, TheSelectedBusIsSentWhileTheDisplayFollowsTheEcu) {
    EcuPanelRig rig(EcuConfig(true, 3));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    p.Activate();
    p.page.Control<QSlider>(CDialogSimulate::kThrottle)->setValue(30);
    p.page.Control<QSlider>(CDialogSimulate::kSwitch)->setValue(70);
    EXPECT_EQ(p.Text(CDialogSimulate::kThrottleValue), "30");

    rig.ClearLog();
    p.List()->setCurrentIndex(1); // "Futaba(SBUS2)", as the user picks it
    EXPECT_EQ(p.page.SendMode(), 2);
    p.Click(CDialogSimulate::kJetiRight); // not part of a Futaba frame
    p.Tick(CDialogSimulate::kReceiverTimer, 2);
    p.List()->setCurrentIndex(0); // "关闭"
    p.Tick(CDialogSimulate::kReceiverTimer);
    EXPECT_EQ(rig.Writes(11), (std::vector<Bytes>{{2, 30, 70}, {2, 30, 70}, {1}}));

    p.RefreshFresh();
    EXPECT_EQ(p.Text(CDialogSimulate::kType), "JETI");
    EXPECT_FALSE(p.page.IsControlEnabled(CDialogSimulate::kThrottle));
    EXPECT_TRUE(p.page.IsControlEnabled(CDialogSimulate::kJetiRight));
}

TEST(CDialogSimulate, NothingIsSentToAnItemGenerationEcu) {
    EcuPanelRig rig(EcuConfig(false, 3));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    p.Activate();
    rig.ClearLog();
    p.Click(CDialogSimulate::kJetiRight);
    p.Tick(CDialogSimulate::kReceiverTimer, 3);
    p.List()->setCurrentIndex(1);
    p.Tick(CDialogSimulate::kReceiverTimer, 3);
    EXPECT_TRUE(rig.Writes(11).empty());
    // What the ECU sends back is still shown.
    p.RefreshFresh();
    EXPECT_EQ(p.Text(CDialogSimulate::kType), "JETI");
}

TEST(CDialogSimulate, GroundSupportLinesAndKeysWhileEnabled) {
    EcuPanelRig rig(EcuConfig(false, 0));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    auto* enable = p.page.Control<QCheckBox>(CDialogSimulate::kGsuEnable);
    EXPECT_FALSE(p.page.HasTimer(CDialogSimulate::kGroundSupportTimer)); // not enabled

    enable->setChecked(true);
    EXPECT_TRUE(p.page.HasTimer(CDialogSimulate::kGroundSupportTimer));
    p.page.KillTimer(CDialogSimulate::kGroundSupportTimer);
    ASSERT_TRUE(rig.WaitNotifications(CDeviceECU::kSimulatorState, 2));
    p.page.RefreshGroundSupport();
    EXPECT_EQ(p.Text(CDialogSimulate::kGsuLine1), "RPM 0           ");
    EXPECT_EQ(p.Text(CDialogSimulate::kGsuLine2), "EGT 22C         ");

    rig.ClearLog();
    p.Click(CDialogSimulate::kGsuPlus);
    p.Tick(CDialogSimulate::kGroundSupportTimer, 2);
    p.Click(CDialogSimulate::kGsuDown);
    p.Click(CDialogSimulate::kGsuUp); // the last key pressed counts
    p.Tick(CDialogSimulate::kGroundSupportTimer);
    p.Click(CDialogSimulate::kGsuMinus);
    p.Tick(CDialogSimulate::kGroundSupportTimer);
    EXPECT_EQ(rig.Writes(10), (std::vector<Bytes>{{4}, {0}, {2}, {3}}));
    ASSERT_TRUE(rig.WaitNotifications(CDeviceECU::kSimulatorState, 2));
    p.page.RefreshGroundSupport();
    EXPECT_EQ(p.Text(CDialogSimulate::kGsuLine1), "STATE 0 ERR 0   "); // "上" went back a page

    // Cleared: empty lines, no more reads of register 10, a late reply shows nothing.
    enable->setChecked(false);
    EXPECT_FALSE(p.page.HasTimer(CDialogSimulate::kGroundSupportTimer));
    EXPECT_EQ(p.Text(CDialogSimulate::kGsuLine1), "");
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    int reads = 0;
    rig.Do([&] { reads = static_cast<int>(rig.system.ecu.ReadCount(10)); });
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    int later = 0;
    rig.Do([&] { later = static_cast<int>(rig.system.ecu.ReadCount(10)); });
    EXPECT_EQ(later, reads);
    p.page.RefreshGroundSupport();
    EXPECT_EQ(p.Text(CDialogSimulate::kGsuLine2), "");
}

TEST(CDialogSimulate, ResetReturnsToInertAndAsksAgain) {
    EcuPanelRig rig(EcuConfig(true, 3));
    ASSERT_TRUE(rig.WaitReady());
    SimPage p(rig);
    p.Activate();
    p.RefreshFresh();
    EXPECT_EQ(p.Text(CDialogSimulate::kType), "JETI");
    // The ECU stops the reading (mode 0), and the page is reset as on a
    // reconnection.
    rig.Do([&] { rig.system.ecu.Radio().SetMode(0); });
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    p.page.Reset();
    EXPECT_FALSE(p.page.IsActive());
    EXPECT_FALSE(p.page.HasTimer(CDialogSimulate::kReceiverTimer));
    EXPECT_EQ(p.Text(CDialogSimulate::kType), "");
    EXPECT_EQ(p.List()->currentIndex(), -1);
    rig.Do([&] { rig.system.ecu.Radio().SetMode(3); });
    const int before = ReadsOf11(rig);
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    EXPECT_EQ(ReadsOf11(rig), before); // nobody reads register 11 now
    p.page.Refresh();                  // the first refresh after a reset asks again
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadsOf11(rig) > before; }, 5000));
    p.RefreshFresh();
    EXPECT_TRUE(p.page.IsActive());
}
