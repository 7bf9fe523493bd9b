// The main window on the real ECU protocol object against the simulated ECU
// over the socket link: what the status panel shows and what the learning
// menu makes the simulated ECU receive.

#include "Fakes.h"
#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct EcuWindowRig {
    explicit EcuWindowRig(const sim::SimEcuConfig& config)
        : system(config) {
        EXPECT_TRUE(bridge.Start());
        CTurbexDlg::Setup setup;
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        setup.device = std::make_unique<CDeviceBase>(options);
        auto view = std::make_unique<CEcuViewECU>();
        ecu = view.get();
        setup.ecu = std::move(view);
        setup.systemLangId = 0x0409;
        window = std::make_unique<CTurbexDlg>(std::move(setup));
    }
    std::string Text(int32_t id) const { return window->GetDlgItemText(id).toStdString(); }
    std::vector<std::vector<uint8_t>> Commands() {
        std::vector<std::vector<uint8_t>> out;
        system.bus.WithLock([&] {
            for (const auto& e : system.ecu.Log().To(1)) {
                out.push_back(e.bytes);
            }
        });
        return out;
    }

    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    sim::HidDongleSet dongles;
    NoSerialPorts noSerial;
    CEcuViewECU* ecu = nullptr;
    std::unique_ptr<CTurbexDlg> window;
};

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
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ecu->isReady() != 0 && !rig.Text(1023).empty(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Text(1023) == std::to_string(sent().cpuLoad); }, 5000))
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

INSTANTIATE_TEST_SUITE_P(BothGenerations, MainWindowOnTheSimulatedEcu, ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "block" : "item"); });
