// The main window on the real ECU protocol object against the simulated ECU
// over the socket link: what the status panel shows and what the learning
// menu makes the simulated ECU receive.

#include "EcuWindowRig.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

sim::SimEcuConfig Config(bool block) {
    sim::SimEcuConfig c;
    c.format.generation = block ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    c.format.blockFormat = 3;
    return c;
}

} // namespace

class MainWindowOnTheSimulatedEcu : public ::testing::TestWithParam<bool> {};

TEST_P(MainWindowOnTheSimulatedEcu, ShowsItsValuesAndSendsTheLearningCommands) {
    ScriptedUiServices services;
    EcuWindowRig rig(Config(GetParam()));
    const auto sent = [&] {
        sim::LiveValues v;
        rig.system.bus.WithLock([&] { v = rig.system.ecu.Model().Values(); });
        return v;
    };
    // CPU usage (1023) as the simulated ECU reports it, once telemetry arrived.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rig.ecu->isReady() != 0 && !rig.Text(1023).empty(); }, 10000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rig.Text(1023) == std::to_string(sent().cpuLoad); }, 5000))
        << rig.Text(1023) << " vs " << int(sent().cpuLoad);

    rig.system.bus.WithLock([&] { rig.system.ecu.ClearLog(); });
    // Start learning, learn maximum, idle and minimum, stop: commands 2, 6, 5, 4, 3.
    for (int item : {0, 1, 2, 3, 0}) {
        services.menuChoice = item;
        rig.window->Control<QPushButton>(CTurbexDlg::kLearn)->click();
    }
    const std::vector<std::vector<uint8_t>> expected = {
        {0x02, 2, 0, 0}, {0x02, 6, 0, 0}, {0x02, 5, 0, 0}, {0x02, 4, 0, 0}, {0x02, 3, 0, 0}};
    EXPECT_EQ(rig.Commands(), expected);
}

INSTANTIATE_TEST_SUITE_P(BothGenerations,
                         MainWindowOnTheSimulatedEcu,
                         ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "block" : "item"); });
