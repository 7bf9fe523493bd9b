// The main window on the real ECU protocol object against the simulated ECU
// over the socket link: what the status panel shows and what the learning
// menu makes the simulated ECU receive.

#include "Fakes.h"
#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "app/DefaultFactories.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"
#include "ui/dialogs/CColorEdit.h"
#include "ui/dialogs/CDialogTest.h"
#include "ui/dialogs/CDialogTestECU.h"
#include "ui/dialogs/CDialogTestTCU.h"
#include "ui/dialogs/CDialogUpdateFw.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct EcuWindowRig {
    // withToolDialogs: the tool's own dialogs (DefaultFactories) on the ECU object.
    explicit EcuWindowRig(const sim::SimEcuConfig& config, bool withToolDialogs = false)
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
        if (withToolDialogs) {
            setup.factories = DefaultFactories(view->Ecu());
        }
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

TEST(MainWindowWithTheToolsDialogs, OpensTheTestDialogsAndFeedsThem) {
    ScriptedUiServices services;
    EcuWindowRig rig(Config(false), /*withToolDialogs=*/true);
    CTurbexDlg& w = *rig.window;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rig.ecu->isReady() != 0 && !rig.Text(1023).empty(); }, 10000));
    ASSERT_NE(w.findChild<CDialogUpdateFw*>(), nullptr); // made with the window
    EXPECT_EQ(w.findChild<CDialogTestECU*>(), nullptr);  // the others on first use

    // The service spot shows the UP, ECU and TCU buttons.
    const DialogUnits u = w.Units();
    const QPoint spot(u.ReferenceX(303), u.ReferenceY(19));
    QWidget* target = w.childAt(spot) != nullptr ? w.childAt(spot) : &w;
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(&w, spot));
    ASSERT_TRUE(w.IsControlShown(CTurbexDlg::kEcuTest));
    w.Control<QPushButton>(CTurbexDlg::kEcuTest)->click();
    auto* ecuTest = w.findChild<CDialogTestECU*>();
    ASSERT_NE(ecuTest, nullptr);
    EXPECT_TRUE(ecuTest->isVisible());
    // Refreshed with every telemetry set: the receiver voltage the unit reports.
    const auto receiver = [&] {
        return ecuTest->Result(CDialogTestECU::kRowReceiverVoltage)->text();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver() == QStringLiteral("5000"); }, 5000))
        << receiver().toStdString();
    w.Control<QPushButton>(CTurbexDlg::kEcuTest)->click();
    EXPECT_EQ(w.findChildren<CDialogTestECU*>().size(), 1); // shown again, not made again
    w.Control<QPushButton>(CTurbexDlg::kTcuTest)->click();
    ASSERT_NE(w.findChild<CDialogTestTCU*>(), nullptr);

    // "Test Engine": the actuator buttons reach the unit.
    w.Control<QPushButton>(CTurbexDlg::kTestEngine)->click();
    auto* test = w.findChild<CDialogTest*>();
    ASSERT_NE(test, nullptr);
    rig.system.bus.WithLock([&] { rig.system.ecu.ClearLog(); });
    test->Control<QPushButton>(CDialogTest::kStarter)->click();
    EXPECT_EQ(rig.Commands(), (std::vector<std::vector<uint8_t>>{{0x02, 12, 0, 0}}));
    // A language switch recaptions it.
    const QString before = test->GetDlgItemText(CDialogTest::kStarter);
    w.OnLanguage();
    EXPECT_NE(test->GetDlgItemText(CDialogTest::kStarter), before);
    w.OnLanguage();
    EXPECT_EQ(test->GetDlgItemText(CDialogTest::kStarter), before);

    // The unit goes away: the ECU test rows say so.
    rig.bridge.faults.acceptAndClose = -1;
    rig.bridge.DropConnection();
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver() == QStringLiteral("????"); }, 5000));
    EXPECT_NE(ecuTest->Result(CDialogTestECU::kRowReceiverVoltage)->GetAlarm(), 0);
}
