// The actuator test dialog against the simulated ECU: what each button makes
// the ECU receive, the Enter-key walk, hiding and the captions.

#include "ui/dialogs/CDialogTest.h"
#include "EcuDialogRig.h"
#include "Fakes.h"
#include "foundation/CTextTable.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct LanguageGuard {
    int32_t saved = CTextTable::Process().GetLanguage();
    ~LanguageGuard() { CTextTable::Process().SetLanguage(saved); }
};

} // namespace

TEST(CDialogTest, EachButtonSendsItsActuatorTest) {
    EcuDialogRig rig;
    ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
    CDialogTest dialog(rig.ecu());
    const auto click = [&](int32_t id) { dialog.Control<QPushButton>(id)->click(); };

    struct Case {
        bool learnHall;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {false, {"11", "12", "9", "10", "8", "18", "19", "13L0", "13L1"}},
        {true, {"20", "12", "9", "10", "8", "18", "19", "13L0", "13L1"}},
    };
    for (const Case& c : cases) {
        dialog.Control<QCheckBox>(CDialogTest::kLearnHall)->setChecked(c.learnHall);
        rig.ClearLog();
        for (int32_t id : {CDialogTest::kMainPump,
                           CDialogTest::kStarter,
                           CDialogTest::kValveFuel,
                           CDialogTest::kValveIgnition,
                           CDialogTest::kGlowPlug,
                           CDialogTest::kOxygenValve,
                           CDialogTest::kIgnitionPump,
                           CDialogTest::kValveEx1,
                           CDialogTest::kValveEx2}) {
            click(id);
        }
        EXPECT_EQ(rig.Received(), c.expected) << "learn Hall " << c.learnHall;
    }
    // The extension valves' long form carries zeros after its first argument.
    rig.Do([&] {
        const auto writes = rig.system.ecu.Log().To(1);
        ASSERT_FALSE(writes.empty());
        EXPECT_EQ(writes.back().bytes, (std::vector<uint8_t>{2, 13, 1, 0, 0, 0, 0, 0, 0, 0}));
    });
    // The test reached the engine: it left its stopped state.
    rig.Do([&] { EXPECT_NE(rig.system.ecu.Model().State(), sim::EngineState::Stop); });
}

TEST(CDialogTest, EnterPressesTheFocusedButtonAndWalksOnToTheNext) {
    EcuDialogRig rig;
    ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
    CDialogTest dialog(rig.ecu());
    dialog.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    rig.ClearLog();
    dialog.GetDlgItem(CDialogTest::kStarter)->setFocus();
    std::vector<int32_t> focus;
    for (int i = 0; i < 5; ++i) {
        QWidget* focused = dialog.focusWidget();
        ASSERT_NE(focused, nullptr);
        QTest::keyClick(focused, Qt::Key_Return);
        for (int32_t id : {CDialogTest::kStarter,
                           CDialogTest::kValveFuel,
                           CDialogTest::kValveIgnition,
                           CDialogTest::kGlowPlug}) {
            if (dialog.focusWidget() == dialog.GetDlgItem(id)) {
                focus.push_back(id);
            }
        }
    }
    EXPECT_EQ(focus,
              (std::vector<int32_t>{CDialogTest::kValveFuel,
                                    CDialogTest::kValveIgnition,
                                    CDialogTest::kGlowPlug,
                                    CDialogTest::kStarter,
                                    CDialogTest::kValveFuel}));
    // Starter, main valve, ignition valve, glow plug, starter.
    EXPECT_EQ(rig.Received(), (std::vector<std::string>{"12", "9", "10", "8", "12"}));

    // Enter elsewhere presses that button and moves nothing.
    QWidget* oxygen = dialog.GetDlgItem(CDialogTest::kOxygenValve);
    oxygen->setFocus();
    QTest::keyClick(oxygen, Qt::Key_Return);
    EXPECT_EQ(dialog.focusWidget(), oxygen);
    EXPECT_EQ(rig.Received().back(), "18");
}

TEST(CDialogTest, ClosingHidesAndALanguageSwitchRecaptions) {
    LanguageGuard language;
    CTextTable::Process().SetLanguage(CTextTable::kChinese);
    CDeviceECU unattached; // buttons send nothing without a device
    CDialogTest dialog(unattached);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("测试引擎"));
    EXPECT_EQ(dialog.GetDlgItemText(CDialogTest::kMainPump), QStringLiteral("主油泵"));
    dialog.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.reject(); // the close button and Esc
    EXPECT_FALSE(dialog.isVisible());
    dialog.Show(); // the same dialog again
    EXPECT_TRUE(dialog.isVisible());

    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    dialog.Recaption();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Test Engine"));
    for (const CTextTable::ControlText& pair : CDialogTest::CaptionList()) {
        EXPECT_EQ(dialog.GetDlgItemText(pair.controlId).toStdString(),
                  CTextTable::GetText(pair.textNumber, CTextTable::kEnglish));
    }
    EXPECT_EQ(dialog.GetDlgItemText(CDialogTest::kValveIgnition), QStringLiteral("Valve-Ignition"));
    // The check box has no caption in the table: it stays as it is.
    EXPECT_EQ(dialog.GetDlgItemText(CDialogTest::kLearnHall), QStringLiteral("学习霍尔"));
}
