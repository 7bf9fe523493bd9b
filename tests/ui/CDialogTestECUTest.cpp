// The ECU test dialog against the simulated ECU: the result rows and their
// pass bands, and the automatic sequence stepped tick by tick, asserting what
// the simulated ECU received in order.

#include "ui/dialogs/CDialogTestECU.h"
#include "EcuDialogRig.h"
#include "Fakes.h"
#include "ui/CComboBoxInt.h"
#include "ui/dialogs/CColorEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Row = CDialogTestECU::Row;

std::string Text(const CDialogTestECU& d, int32_t row) {
    return d.Result(row)->text().toStdString();
}
bool Red(const CDialogTestECU& d, int32_t row) {
    return d.Result(row)->GetAlarm() != 0;
}
void SetChecked(CDialogTestECU& d, int32_t row, bool on) {
    if (d.Check(row)->isChecked() != on) {
        d.Check(row)->click(); // a click refreshes, as the user's does
    }
}
void Tick(EcuDialogRig& rig, CDialogTestECU& d, uint32_t simMs = CDialogTestECU::kTickMs) {
    rig.Step(simMs);
    d.OnTimer(CDialogTestECU::kSequenceTimer);
}

// The dialog on the rig's ECU, its own timer stopped: the test steps it.
struct EcuTestDialog {
    explicit EcuTestDialog(EcuDialogRig& rig)
        : dialog(rig.ecu()) {
        dialog.KillTimer(CDialogTestECU::kSequenceTimer);
    }
    CDialogTestECU dialog;
};

} // namespace

TEST(CDialogTestECU, WithoutAnEcuEveryCheckedRowShowsQuestionMarksInRed) {
    CDeviceECU unattached;
    CDialogTestECU d(unattached);
    EXPECT_TRUE(d.HasTimer(CDialogTestECU::kSequenceTimer));
    for (int32_t row = 0; row < Row::kRowCount; ++row) {
        EXPECT_TRUE(d.Check(row)->isChecked()) << row;
        EXPECT_EQ(Text(d, row), "????") << row;
        EXPECT_TRUE(Red(d, row)) << row;
    }
    EXPECT_EQ(d.Failed(), 0);
    SetChecked(d, Row::kRowAirPressure, false);
    EXPECT_EQ(Text(d, Row::kRowAirPressure), "");
    EXPECT_FALSE(Red(d, Row::kRowAirPressure));
    EXPECT_EQ(Text(d, Row::kRowDataSpace), "????");
    // Each row's label names its result field; the check box carries the
    // row's name.
    for (int32_t row = 0; row < Row::kRowCount; ++row) {
        const auto* label = d.Control<QLabel>(CDialogTestECU::kFirstLabel + row);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->buddy(), d.Result(row)) << row;
        EXPECT_EQ(d.Check(row)->accessibleName(), label->text()) << row;
    }
    EXPECT_EQ(d.Control<QLabel>(CDialogTestECU::kPumpVoltageLabel)->buddy(),
              d.GetDlgItem(CDialogTestECU::kPumpVoltage));
    // The lists as they start.
    EXPECT_EQ(d.Control<CComboBoxInt>(CDialogTestECU::kReference)->GetSelectedData(), 24);
    EXPECT_EQ(d.Control<CComboBoxInt>(CDialogTestECU::kReference)->GetCount(), 12);
    EXPECT_EQ(d.Control<QComboBox>(CDialogTestECU::kPumpVoltage)->currentText(),
              QStringLiteral("0.6"));
}

TEST(CDialogTestECU, RowsCheckTheLiveStateAgainstTheirPassBands) {
    EcuDialogRig rig;
    ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
    EcuTestDialog t(rig);
    CDialogTestECU& d = t.dialog;
    const auto fresh = [&] {
        ASSERT_TRUE(rig.WaitFreshTelemetry());
        d.Refresh();
    };
    fresh();
    sim::LiveValues sent;
    rig.Do([&] { sent = rig.system.ecu.LastEncoded(); });
    const auto mv = [](double v) { return std::to_string(std::lround(v * 1000.0)); };
    struct Expect {
        int32_t row;
        std::string text;
        bool red;
    };
    // A healthy unit on the bench at 22 °C, reference 24 °C; no records
    // stored and no reference RPM recorded yet.
    const Expect healthy[] = {
        {Row::kRowPowerVoltage, mv(sent.batteryVoltage), false},
        {Row::kRowReceiverVoltage, mv(sent.rcVoltage), false},
        {Row::kRowThrottleInput, std::to_string(sent.rcThrottleUs), false},
        {Row::kRowSwitchInput, std::to_string(sent.rcSwitchUs), false},
        {Row::kRowAirPressure, std::to_string(sent.airPressurePa), false},
        {Row::kRowEcuTemperature, std::to_string(sent.egt), false},
        {Row::kRowPumpTemperature, std::to_string(sent.mainPumpTemperature), false},
        {Row::kRowPumpRpm, "0", false},
        {Row::kRowEngineVoltage, std::to_string(sent.tcuVoltage * 10), false},
        {Row::kRowDataSpace, "0", true},
    };
    for (const Expect& e : healthy) {
        EXPECT_EQ(Text(d, e.row), e.text) << e.row;
        EXPECT_EQ(Red(d, e.row), e.red) << e.row;
    }
    EXPECT_EQ(d.Failed(), 1);
    // Unchecking the failing row clears it at once and the failure with it.
    SetChecked(d, Row::kRowDataSpace, false);
    EXPECT_EQ(Text(d, Row::kRowDataSpace), "");
    EXPECT_FALSE(Red(d, Row::kRowDataSpace));
    EXPECT_EQ(d.Failed(), 0);

    // The special rows, with what is fitted changed on the unit; changes to
    // different rows are made together.
    struct Shown {
        int32_t row;
        std::string text;
        bool red;
    };
    struct Special {
        const char* name;
        std::function<void(sim::EngineModel&)> change;
        std::vector<Shown> rows;
    };
    const Special specials[] = {
        {"faulty pump, TCU silent",
         [](sim::EngineModel& m) {
             m.Hardware().mainPumpEcuKind = 2;
             m.SetFault(sim::EngineFault::TcuNotAnswering, true);
         },
         {{Row::kRowPumpTemperature, "故障", true}, {Row::kRowEngineVoltage, "未连接", true}}},
        {"brushed pump, no TCU, receiver supply low",
         [](sim::EngineModel& m) {
             m.Hardware().mainPumpEcuKind = 0;
             m.Hardware().tcuFitted = false;
             m.Hardware().rcVoltage = 4.8;
         },
         {{Row::kRowPumpTemperature, "有刷电机", false},
          {Row::kRowEngineVoltage, "不支持", false},
          {Row::kRowReceiverVoltage, "4800", true}}},
        {"starter silent",
         [](sim::EngineModel& m) { m.SetFault(sim::EngineFault::StarterNotAnswering, true); },
         {{Row::kRowEngineVoltage, "启动电机故障", true}}},
    };
    for (const Special& s : specials) {
        sim::EngineModel saved;
        rig.Do([&] {
            saved = rig.system.ecu.Model();
            s.change(rig.system.ecu.Model());
        });
        rig.Step(100);
        fresh();
        bool anyRed = false;
        for (const Shown& r : s.rows) {
            EXPECT_EQ(Text(d, r.row), r.text) << s.name;
            EXPECT_EQ(Red(d, r.row), r.red) << s.name;
            anyRed = anyRed || r.red;
        }
        EXPECT_EQ(d.Failed(), anyRed ? 1 : 0) << s.name;
        for (const Shown& r : s.rows) {
            SetChecked(d, r.row, false);
            EXPECT_EQ(Text(d, r.row), "") << s.name;
        }
        EXPECT_EQ(d.Failed(), 0) << s.name;
        for (const Shown& r : s.rows) {
            SetChecked(d, r.row, true);
        }
        rig.Do([&] { rig.system.ecu.Model() = saved; });
    }

    // The temperature rows follow the chosen reference: 22 °C and 25 °C are
    // outside 30 ± 2.
    rig.Step(100);
    fresh();
    ASSERT_EQ(d.Failed(), 0);
    ASSERT_TRUE(d.Control<CComboBoxInt>(CDialogTestECU::kReference)->SelectData(30));
    d.Refresh();
    EXPECT_TRUE(Red(d, Row::kRowEcuTemperature));
    EXPECT_TRUE(Red(d, Row::kRowPumpTemperature));
    EXPECT_FALSE(Red(d, Row::kRowAirPressure));
    EXPECT_EQ(d.Failed(), 1);
}

TEST(CDialogTestECU, AReferenceRpmOfZeroFailsARunningPumpUntilOneIsRecorded) {
    EcuDialogRig rig;
    ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
    EcuTestDialog t(rig);
    CDialogTestECU& d = t.dialog;
    ASSERT_EQ(rig.ecu().sendCommand(11, 0), 1); // the pump test
    rig.Step(1000);
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    d.Refresh();
    int32_t running = 0;
    rig.Do([&] { running = rig.system.ecu.LastEncoded().mainPumpRpm; });
    ASSERT_GT(running, 0);
    EXPECT_EQ(d.HighestPumpRpm(), static_cast<uint32_t>(running));
    EXPECT_EQ(Text(d, Row::kRowPumpRpm), std::to_string(running));
    EXPECT_TRUE(Red(d, Row::kRowPumpRpm)); // band 0..0
    EXPECT_EQ(d.ReferencePumpRpm(), 0u);

    d.Control<QCheckBox>(CDialogTestECU::kRecordReference)->click();
    EXPECT_EQ(d.ReferencePumpRpm(), static_cast<uint32_t>(running));
    EXPECT_FALSE(Red(d, Row::kRowPumpRpm));
    // Recorded once, the band stays when recording stops; the highest RPM is
    // kept after the pump has stopped.
    d.Control<QCheckBox>(CDialogTestECU::kRecordReference)->click();
    rig.Step(5000);
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    d.Refresh();
    EXPECT_EQ(Text(d, Row::kRowPumpRpm), std::to_string(running));
    EXPECT_FALSE(Red(d, Row::kRowPumpRpm));

    // Another unit on the bench: its pump is measured afresh against the
    // reference recorded on the first.
    rig.Disconnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.ecu().connected(); }, 5000));
    d.Reset(); // what the main window does when the ECU goes
    rig.Reconnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ecu().connected(); }, 10000));
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    d.Refresh();
    EXPECT_EQ(d.HighestPumpRpm(), 0u);
    EXPECT_EQ(d.ReferencePumpRpm(), static_cast<uint32_t>(running));
    EXPECT_EQ(Text(d, Row::kRowPumpRpm), "0");
    EXPECT_TRUE(Red(d, Row::kRowPumpRpm));
}

TEST(CDialogTestECU, ButtonsSendTheCalibrationAloneAndTheGeneratorTest) {
    for (bool block : {false, true}) {
        EcuDialogRig rig(EcuConfig(block));
        ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
        EcuTestDialog t(rig);
        CDialogTestECU& d = t.dialog;
        ASSERT_TRUE(d.Control<CComboBoxInt>(CDialogTestECU::kReference)->SelectData(18));
        rig.ClearLog();
        d.Control<QPushButton>(CDialogTestECU::kManualCalibrate)->click();
        d.Control<QPushButton>(CDialogTestECU::kGeneratorTest)->click();
        EXPECT_EQ(rig.Received(), (std::vector<std::string>{"calibrate 18", "17"}))
            << (block ? "block" : "item");
    }
}

// --- the automatic sequence ----------------------------------------------------

struct SequenceCase {
    const char* name;
    bool block;
    bool autoCalibrate;
    const char* pumpVoltage;
    int32_t reference; // °C
    std::vector<int32_t> unchecked;
    std::vector<std::pair<uint32_t, uint32_t>> beeps;
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

class CDialogTestECUSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(CDialogTestECUSequence, RunsThePumpThenCalibratesOnceTemperaturesSettle) {
    const SequenceCase& c = GetParam();
    ScriptedUiServices services;
    EcuDialogRig rig(EcuConfig(c.block));
    ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
    EcuTestDialog t(rig);
    CDialogTestECU& d = t.dialog;
    auto* voltages = d.Control<QComboBox>(CDialogTestECU::kPumpVoltage);
    voltages->setCurrentIndex(voltages->findText(QString::fromUtf8(c.pumpVoltage)));
    ASSERT_TRUE(d.Control<CComboBoxInt>(CDialogTestECU::kReference)->SelectData(c.reference));
    d.Control<QCheckBox>(CDialogTestECU::kAutoCalibrate)->setChecked(c.autoCalibrate);
    for (int32_t row : c.unchecked) {
        SetChecked(d, row, false);
    }
    rig.ClearLog();

    // Nothing starts before the button: the sequence waits in state 0.
    for (int i = 0; i < 15; ++i) {
        Tick(rig, d);
    }
    EXPECT_EQ(d.State(), 0);
    EXPECT_TRUE(rig.Received().empty());
    d.Control<QPushButton>(CDialogTestECU::kStartStop)->click();
    EXPECT_EQ(d.GetDlgItemText(CDialogTestECU::kStartStop), QStringLiteral("停止测试"));
    EXPECT_EQ(d.State(), -2);
    // -2, then ten ticks of -1, then state 0 finds the ECU idle.
    for (int i = 0; i < 11; ++i) {
        Tick(rig, d);
    }
    EXPECT_EQ(d.State(), 0);
    Tick(rig, d);
    ASSERT_EQ(d.State(), 1);
    uint64_t pumpStart = 0;
    rig.Do([&] { pumpStart = rig.system.ecu.Model().TimeMs(); });
    for (int i = 0; i < 20; ++i) {
        Tick(rig, d);
    }
    std::vector<std::string> expected = {"127", "127", "parameters"};
    expected.insert(expected.end(), 19, "11");

    if (!c.autoCalibrate) {
        EXPECT_EQ(d.State(), 4);
    } else {
        ASSERT_EQ(d.State(), 2);
        // Half a second of the engine between telemetry sets, ten ticks each.
        for (int round = 0; round < 40 && d.State() == 2; ++round) {
            rig.Step(500);
            ASSERT_TRUE(rig.WaitFreshTelemetry());
            d.Refresh();
            for (int i = 0; i < 10 && d.State() == 2; ++i) {
                Tick(rig, d, 0);
            }
        }
        ASSERT_EQ(d.State(), 3);
        for (int i = 0; i < 10; ++i) {
            Tick(rig, d);
        }
        EXPECT_EQ(d.State(), 4);
        expected.push_back("calibrate " + std::to_string(c.reference));
    }
    EXPECT_EQ(rig.Received(), expected);
    // The pump ran at the chosen voltage, set on the ECU before the run; the
    // calibration came only once the pump test had ended.
    rig.Do([&] {
        const sim::EcuParameters& p = rig.system.ecu.Store().Parameters();
        EXPECT_EQ(p.baudIndex, 2);
        EXPECT_NEAR(p.ignitionPumpVoltage, std::stod(c.pumpVoltage), 0.011);
        for (const sim::EcuCommand& e : rig.system.ecu.Log().To(2)) {
            if (EcuDialogRig::Describe(e).rfind("calibrate", 0) == 0) {
                EXPECT_GE(e.simTimeMs, pumpStart + 3000);
            }
        }
    });
    EXPECT_EQ(d.GetDlgItemText(CDialogTestECU::kStatus).toStdString(),
              c.autoCalibrate ? "校准完成" : "");
    // The second beep follows after a pause, from the dialog's own timer.
    QTest::qWait(300);
    EXPECT_EQ(services.beeps, c.beeps);
    // State 4 holds until the button is pressed again.
    Tick(rig, d);
    EXPECT_EQ(d.State(), 4);
    d.Control<QPushButton>(CDialogTestECU::kStartStop)->click();
    EXPECT_EQ(d.State(), -2);
    EXPECT_FALSE(d.IsRunning());
    EXPECT_EQ(d.GetDlgItemText(CDialogTestECU::kStartStop), QStringLiteral("开始自动测试"));
}

INSTANTIATE_TEST_SUITE_P(
    WithAndWithoutCalibration,
    CDialogTestECUSequence,
    ::testing::Values(
        SequenceCase{"item_no_calibration", false, false, "1.5", 24, {}, {}},
        // A warm pump and no records: the checks fail, the high tone first.
        SequenceCase{
            "item_calibration_failed", false, true, "4.0", 20, {}, {{2000, 100}, {1000, 100}}},
        SequenceCase{"block_calibration_passed",
                     true,
                     true,
                     "0.6",
                     24,
                     {Row::kRowPumpRpm, Row::kRowDataSpace},
                     {{1000, 100}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CDialogTestECU, ALostConnectionReturnsTheSequenceToTheStart) {
    EcuDialogRig rig;
    ASSERT_TRUE(rig.WaitOnlineWithTelemetry());
    EcuTestDialog t(rig);
    CDialogTestECU& d = t.dialog;
    d.Control<QPushButton>(CDialogTestECU::kStartStop)->click();
    for (int i = 0; i < 13; ++i) {
        Tick(rig, d);
    }
    ASSERT_EQ(d.State(), 1);
    rig.Disconnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.ecu().connected(); }, 5000));
    Tick(rig, d);
    EXPECT_EQ(d.State(), -2);
    EXPECT_TRUE(d.IsRunning()); // the flag survives
    d.Reset();                  // what the main window does when the ECU goes
    EXPECT_EQ(Text(d, Row::kRowPowerVoltage), "????");
    rig.Reconnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ecu().connected(); }, 10000));
    rig.Step(3000); // the pump test of the first run ends
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    rig.ClearLog();
    for (int i = 0; i < 12; ++i) {
        Tick(rig, d);
    }
    EXPECT_EQ(d.State(), 1); // started over
    const auto received = rig.Received();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], "127");
}
