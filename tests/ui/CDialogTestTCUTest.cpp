// The TCU batch against the simulated ECU, stepped tick by tick: the order of
// the actuator tests the ECU received, the indicators, and the restart after
// the ECU or its TCU went away.

#include "ui/dialogs/CDialogTestTCU.h"
#include "EcuDialogRig.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Indicators = std::array<bool, 4>;
const Indicators kNone = {false, false, false, false};
const Indicators kStarter = {true, false, false, false};
const Indicators kIgnitionValve = {false, true, false, false};
const Indicators kMainValve = {false, false, true, false};
const Indicators kGlowPlug = {false, false, false, true};

struct TcuRig {
    TcuRig()
        : dialog(rig.ecu()) {
        dialog.KillTimer(CDialogTestTCU::kSequenceTimer); // the test steps it
    }
    void Tick(uint32_t simMs = CDialogTestTCU::kTickMs) {
        rig.Step(simMs);
        dialog.OnTimer(CDialogTestTCU::kSequenceTimer);
    }
    // From a stopped batch or state -2: the settling ticks, then the
    // starter's step (state 1).
    void StartUntilStarter() {
        for (int i = 0; i < 7 && dialog.State() != 1; ++i) {
            Tick();
        }
    }
    // One tick after fresh telemetry, the engine moved on by simMs first;
    // returns the indicators after it.
    Indicators TickFresh(uint32_t simMs) {
        rig.Step(simMs);
        EXPECT_TRUE(rig.WaitFreshTelemetry());
        dialog.OnTimer(CDialogTestTCU::kSequenceTimer);
        return dialog.Indicators();
    }
    EcuDialogRig rig;
    CDialogTestTCU dialog;
};

} // namespace

TEST(CDialogTestTCU, RunsStarterIgnitionValveMainValveAndGlowPlugInTurn) {
    TcuRig t;
    ASSERT_TRUE(t.rig.WaitOnlineWithTelemetry());
    EXPECT_EQ(t.dialog.State(), -2);
    t.Tick();
    EXPECT_EQ(t.dialog.State(), -2); // nothing while not running
    for (int32_t id : {CDialogTestTCU::kStarter,
                       CDialogTestTCU::kIgnitionValve,
                       CDialogTestTCU::kMainValve,
                       CDialogTestTCU::kGlowPlug}) {
        EXPECT_FALSE(t.dialog.GetDlgItem(id)->isEnabled()) << id; // only the batch sets them
    }
    t.rig.ClearLog();
    t.dialog.Control<QPushButton>(CDialogTestTCU::kStartStop)->click();
    EXPECT_EQ(t.dialog.GetDlgItemText(CDialogTestTCU::kStartStop), QStringLiteral("停止测试"));
    t.StartUntilStarter();
    ASSERT_EQ(t.dialog.State(), 1);
    EXPECT_EQ(t.dialog.Indicators(), kStarter);

    // Each step: the ECU shows the test (an odd state moves on), then the
    // test ends and the ECU is idle again (the next step starts).
    std::vector<std::pair<int32_t, Indicators>> seen;
    for (int i = 0; i < 20 && t.dialog.State() != 8; ++i) {
        const bool waitingForTheTest = t.dialog.State() % 2 == 1;
        const Indicators on = t.TickFresh(waitingForTheTest ? 50 : 3200);
        seen.emplace_back(t.dialog.State(), on);
    }
    ASSERT_EQ(t.dialog.State(), 8);
    const std::vector<std::pair<int32_t, Indicators>> expected = {
        {2, kStarter},
        {3, kIgnitionValve},
        {4, kIgnitionValve},
        {5, kMainValve},
        {6, kMainValve},
        {7, kGlowPlug},
        {8, kGlowPlug},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(t.TickFresh(3200), kNone); // finished once the glow plug is done
    EXPECT_EQ(t.dialog.State(), 8);

    // The starter voltage went to the ECU before its test; each test was
    // sent once, as the ECU showed it at the next telemetry.
    const std::vector<std::string> order = {"parameters", "127", "12", "10", "9", "8"};
    EXPECT_EQ(t.rig.Received(), order);
    t.rig.Do(
        [&] { EXPECT_DOUBLE_EQ(t.rig.system.ecu.Store().Parameters().starterRunVoltage, 3.0); });

    // Stop: the caption back, every indicator clear.
    t.dialog.Control<QPushButton>(CDialogTestTCU::kStartStop)->click();
    EXPECT_FALSE(t.dialog.IsRunning());
    EXPECT_EQ(t.dialog.State(), -2);
    EXPECT_EQ(t.dialog.GetDlgItemText(CDialogTestTCU::kStartStop), QStringLiteral("开始批量测试"));
}

struct Interruption {
    const char* name;
    std::function<void(TcuRig&)> lose;
    std::function<void(TcuRig&)> restore;
};

void PrintTo(const Interruption& c, std::ostream* os) {
    *os << c.name;
}

class CDialogTestTCUInterrupted : public ::testing::TestWithParam<Interruption> {};

TEST_P(CDialogTestTCUInterrupted, ClearsTheIndicatorsAndRestartsWithTheStarter) {
    const Interruption& c = GetParam();
    TcuRig t;
    ASSERT_TRUE(t.rig.WaitOnlineWithTelemetry());
    t.dialog.Control<QPushButton>(CDialogTestTCU::kStartStop)->click();
    t.StartUntilStarter();
    ASSERT_EQ(t.dialog.State(), 1);
    t.TickFresh(50);   // the starter test shows
    t.TickFresh(3200); // and ends: the ignition valve's step
    ASSERT_EQ(t.dialog.State(), 3);
    ASSERT_EQ(t.dialog.Indicators(), kIgnitionValve);

    c.lose(t);
    t.Tick();
    EXPECT_EQ(t.dialog.State(), -2);
    EXPECT_EQ(t.dialog.Indicators(), kNone);
    EXPECT_TRUE(t.dialog.IsRunning());
    t.Tick();
    EXPECT_EQ(t.dialog.State(), -2); // it waits

    c.restore(t);
    t.rig.Step(3200); // the valve test still running on the unit ends
    ASSERT_TRUE(t.rig.WaitFreshTelemetry());
    t.rig.ClearLog();
    t.StartUntilStarter();
    EXPECT_EQ(t.dialog.State(), 1);
    EXPECT_EQ(t.dialog.Indicators(), kStarter);
    // The starter voltage is on the ECU already; what matters is the order.
    std::vector<std::string> commands = t.rig.Received();
    std::erase(commands, std::string("parameters"));
    EXPECT_EQ(commands, (std::vector<std::string>{"127", "12"}));
}

void DropTheLink(TcuRig& tcu) {
    tcu.rig.Disconnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tcu.rig.ecu().connected(); }, 5000));
}
void RestoreTheLink(TcuRig& tcu) {
    tcu.rig.Reconnect();
    ASSERT_TRUE(tcu.rig.WaitOnlineWithTelemetry());
}
void SilenceTheTcu(TcuRig& tcu, bool silent) {
    tcu.rig.Do(
        [&] { tcu.rig.system.ecu.Model().SetFault(sim::EngineFault::TcuNotAnswering, silent); });
    tcu.rig.Step(10); // the model reports it from its next step
    ASSERT_TRUE(tcu.rig.WaitFreshTelemetry());
}

INSTANTIATE_TEST_SUITE_P(LosingTheEcuOrItsTcu,
                         CDialogTestTCUInterrupted,
                         ::testing::Values(Interruption{"connection", DropTheLink, RestoreTheLink},
                                           Interruption{
                                               "tcu_silent",
                                               [](TcuRig& tcu) { SilenceTheTcu(tcu, true); },
                                               [](TcuRig& tcu) { SilenceTheTcu(tcu, false); }}),
                         [](const auto& p) { return std::string(p.param.name); });
