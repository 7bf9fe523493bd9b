// The main window on the real ECU protocol object against the simulated ECU
// over the socket link: what the status panel shows, what the learning menu
// makes the simulated ECU receive, and the tool's own pages behind the
// engineering unlock.

#include "EcuWindowRig.h"
#include "Fakes.h"
#include "ui/CTabCtrl.h"
#include "ui/dialogs/CColorEdit.h"
#include "ui/dialogs/CDialogPassword.h"
#include "ui/dialogs/CDialogTest.h"
#include "ui/dialogs/CDialogTestECU.h"
#include "ui/dialogs/CDialogTestTCU.h"
#include "ui/dialogs/CDialogUpdateFw.h"
#include "ui/panels/CDialogKvrw.h"
#include "ui/panels/CDialogSimulate.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

sim::SimEcuConfig Config(bool block, int8_t radioMode = 0) {
    sim::SimEcuConfig c;
    c.format.generation = block ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    c.format.blockFormat = 3;
    c.radioMode = radioMode;
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

TEST(MainWindowWithTheToolsDialogs, OpensTheTestDialogsAndFeedsThem) {
    ScriptedUiServices services;
    EcuWindowRig rig(Config(false), /*withPages=*/true);
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

TEST(MainWindowOnTheSimulatedEcu, UnlockAddsTheEngineeringAndSimulatorPagesFedByTheWindow) {
    ScriptedUiServices services;
    services.modal = [](QDialog& d) {
        auto& password = static_cast<CDialogPassword&>(d);
        password.Edit()->setText("KVRW");
        password.Control<QPushButton>(CDialogPassword::kIdOk)->click();
        return d.result();
    };
    EcuWindowRig rig(Config(true, 3), /*withPages=*/true, {}, 0x0804); // opens in Chinese
    rig.window->show();
    CTabCtrl* tab = rig.window->Tab();
    ASSERT_EQ(tab->GetItemCount(), 4);
    rig.window->Control<QPushButton>(CTurbexDlg::kKvrw)->click();
    ASSERT_EQ(tab->GetItemCount(), 6);
    EXPECT_EQ(tab->GetItemText(4).toStdString(), "工程模式");
    EXPECT_EQ(tab->GetItemText(5).toStdString(), "遥控器模拟器");
    ASSERT_NE(dynamic_cast<CDialogKvrw*>(rig.window->Panel(CTurbexDlg::kPanelKvrw)), nullptr);
    auto* simulator = dynamic_cast<CDialogSimulate*>(rig.window->Panel(CTurbexDlg::kPanelSimulate));
    ASSERT_NE(simulator, nullptr);

    // The window's notifications bring the ECU's JetiBox lines to the page.
    tab->Bar()->setCurrentIndex(5);
    EXPECT_TRUE(simulator->isVisible());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return simulator->GetDlgItemText(CDialogSimulate::kJetiLine2).startsWith("EGT "); },
        10000));
    EXPECT_TRUE(simulator->IsActive());
    // Its receiver timer runs: the simulated ECU receives JETI frames.
    rig.system.bus.WithLock([&] { rig.system.ecu.ClearLog(); });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            bool got = false;
            rig.system.bus.WithLock([&] { got = !rig.system.ecu.Log().To(11).empty(); });
            return got;
        },
        5000));
    rig.system.bus.WithLock([&] {
        EXPECT_EQ(rig.system.ecu.Log().To(11).front().bytes, (std::vector<uint8_t>{3, 0}));
    });

    // A language switch re-titles both new tabs and keeps the page shown.
    rig.window->Control<QPushButton>(CTurbexDlg::kLanguage)->click();
    EXPECT_EQ(tab->GetItemText(4).toStdString(), "KVRW");
    EXPECT_EQ(tab->GetItemText(5).toStdString(), "Simulator");
    EXPECT_TRUE(simulator->isVisible());
    rig.window->Control<QPushButton>(CTurbexDlg::kLanguage)->click();
    EXPECT_EQ(tab->GetItemText(4).toStdString(), "工程模式");
    EXPECT_EQ(tab->GetItemText(5).toStdString(), "遥控器模拟器");
}
