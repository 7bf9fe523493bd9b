#include "ui/dialogs/CDialogTestECU.h"

#include "ecu/CDeviceECU.h"
#include "ui/CComboBoxInt.h"
#include "ui/DialogTemplate.h"
#include "ui/IUiServices.h"
#include "ui/dialogs/CColorEdit.h"

#include <QCheckBox>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// The labels of the rows, in screen order, as the template gives them.
const char* const kRowLabels[CDialogTestECU::kRowCount] = {
    "动力电压:",
    "遥控电压:",
    "油门输入:",
    "开关输入:",
    "气        压:",
    "ECU温度:",
    "油泵温度:",
    "油泵转速:",
    "引擎电压:",
    "数据空间:",
};

constexpr int32_t kReferenceTemperatures[] = {0, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
constexpr int32_t kDefaultReference = 24; // ℃
const char* const kPumpTestVoltages[] = {
    "0.6", "0.8", "1.0", "1.2", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0", "4.5", "5.0"};

// Commands of the sequence and the buttons.
constexpr uint8_t kPrepareSequence = 127;
constexpr uint8_t kMainPump = 11;
constexpr uint8_t kGeneratorOutput = 17;
// Text ids the pump run sets: the telemetry baud-rate index and the start-up
// pump voltage, which the ECU's pump test runs at.
constexpr int kBaudRateText = 8;
constexpr int32_t kBaudRateIndex = 2;
constexpr int kPumpVoltageText = 22;

constexpr int32_t kSettleTicks = 10;  // state -1: 0.5 s
constexpr int32_t kPumpRunTicks = 20; // state 1: 1 s
constexpr int32_t kStableTicks = 10;  // state 2: at least 0.5 s between samples
constexpr int32_t kStateTwoStart = 30;
constexpr int32_t kCalibratedTicks = 10; // state 3

// Layout of template 145, in dialog units.
constexpr int16_t kRowTop = 7;
constexpr int16_t kRowPitch = 15;
constexpr int16_t kRightColumn = 124;
constexpr int16_t kRightWidth = 100;

const QString kStartCaption = QStringLiteral("开始自动测试"); // the template's caption
const QString kStopCaption = QStringLiteral("停止测试");

} // namespace

CDialogTestECU::CDialogTestECU(CDeviceECU& ecu, QWidget* parent)
    : CDialogBase(parent)
    , m_ecu(ecu) {
    setWindowTitle(QStringLiteral("测试 ECU"));
    CreateControls();
    for (int32_t t : kReferenceTemperatures) {
        m_reference->AddString(QString::number(t) + QStringLiteral("℃"), t);
    }
    (void)m_reference->SelectData(kDefaultReference);
    for (QCheckBox* check : m_checks) {
        check->setChecked(true);
    }
    m_pumpVoltage->setCurrentIndex(0);
    Refresh();
    SetTimer(kSequenceTimer, kTickMs);
}

void CDialogTestECU::CreateControls() {
    using Kind = DialogItem::Kind;
    std::vector<DialogItem> items;
    for (int32_t row = 0; row < kRowCount; ++row) {
        const auto y = static_cast<int16_t>(kRowTop + row * kRowPitch);
        items.push_back({kFirstLabel + row,
                         Kind::Label,
                         7,
                         static_cast<int16_t>(y + 2),
                         46,
                         9,
                         kRowLabels[row]});
        items.push_back({kFirstResult + row, Kind::Alarm, 55, y, 50, 12, ""});
        items.push_back(
            {kFirstCheck + row, Kind::Check, 108, static_cast<int16_t>(y + 1), 10, 10, ""});
    }
    constexpr int16_t x = kRightColumn;
    constexpr int16_t w = kRightWidth;
    const DialogItem right[] = {
        {kReferenceLabel, Kind::Label, x, kRowTop + 2, 46, 9, "参考温度:"},
        {kReference, Kind::Combo, x + 48, kRowTop, w - 48, 13, ""},
        {kPumpVoltageLabel, Kind::Label, x, kRowTop + 19, 46, 9, "油泵电压:"},
        {kPumpVoltage, Kind::Combo, x + 48, kRowTop + 17, w - 48, 13, ""},
        {kRecordReference, Kind::Check, x, kRowTop + 36, w, 10, "记录油泵参考转速"},
        {kAutoCalibrate, Kind::Check, x, kRowTop + 50, w, 10, "自动校准温度"},
        {kStartStop, Kind::Button, x, kRowTop + 66, w, 16, "开始自动测试"},
        {kStatusLabel, Kind::Label, x, kRowTop + 89, 26, 9, "状态:"},
        {kStatus, Kind::Value, x + 28, kRowTop + 87, w - 28, 12, ""},
        {kManualCalibrate, Kind::Button, x, kRowTop + 106, w, 14, "手动校准"},
        {kGeneratorTest, Kind::Button, x, kRowTop + 123, w, 14, "测试发电输出"},
    };
    items.insert(items.end(), std::begin(right), std::end(right));
    CreateDialogItems(*this, items);

    for (int32_t row = 0; row < kRowCount; ++row) {
        const auto i = static_cast<size_t>(row);
        m_results[i] = Control<CColorEdit>(kFirstResult + row);
        m_checks[i] = Control<QCheckBox>(kFirstCheck + row);
        // The check box has no caption of its own; it is named after its row.
        m_checks[i]->setAccessibleName(QString::fromUtf8(kRowLabels[row]));
        connect(m_checks[i], &QCheckBox::clicked, this, &CDialogTestECU::Refresh);
    }
    m_reference = Control<CComboBoxInt>(kReference);
    m_pumpVoltage = Control<CComboBoxInt>(kPumpVoltage);
    for (const char* voltage : kPumpTestVoltages) {
        m_pumpVoltage->AddString(QString::fromUtf8(voltage));
    }
    m_recordReference = Control<QCheckBox>(kRecordReference);
    connect(m_recordReference, &QCheckBox::clicked, this, &CDialogTestECU::Refresh);
    m_autoCalibrate = Control<QCheckBox>(kAutoCalibrate);
    connect(Control<QPushButton>(kStartStop),
            &QPushButton::clicked,
            this,
            &CDialogTestECU::OnStartStop);
    connect(Control<QPushButton>(kManualCalibrate),
            &QPushButton::clicked,
            this,
            &CDialogTestECU::OnManualCalibrate);
    connect(Control<QPushButton>(kGeneratorTest),
            &QPushButton::clicked,
            this,
            &CDialogTestECU::OnGeneratorTest);
    setFixedSize(
        DluRect(0, 0, kRightColumn + kRightWidth + 7, kRowTop + 10 * kRowPitch + 4).size());
}

CColorEdit* CDialogTestECU::Result(int32_t row) const {
    return row >= 0 && row < kRowCount ? m_results[static_cast<size_t>(row)] : nullptr;
}

QCheckBox* CDialogTestECU::Check(int32_t row) const {
    return row >= 0 && row < kRowCount ? m_checks[static_cast<size_t>(row)] : nullptr;
}

void CDialogTestECU::Show() {
    show();
    raise();
    activateWindow();
}

bool CDialogTestECU::Connected() const {
    return m_ecu.connected();
}

int32_t CDialogTestECU::ReferenceTemperature() const {
    return m_reference->GetSelectedData(kDefaultReference);
}

// --- refresh -------------------------------------------------------------------

void CDialogTestECU::ShowRow(int32_t row, const QString& text, bool alarm) {
    m_results[static_cast<size_t>(row)]->SetTextAndAlarm(text, alarm ? 1 : 0);
}

int32_t CDialogTestECU::CheckRow(int32_t row, int64_t value, int64_t low, int64_t high) {
    if (!m_checks[static_cast<size_t>(row)]->isChecked()) {
        ShowRow(row, QString(), false);
        return 0;
    }
    const bool outside = value < low || value > high;
    ShowRow(row, QString::number(value), outside);
    return outside ? 1 : 0;
}

int32_t CDialogTestECU::PumpTemperatureRow(const CEcuLiveState& live, int32_t reference) {
    if (!m_checks[kRowPumpTemperature]->isChecked()) {
        ShowRow(kRowPumpTemperature, QString(), false);
        return 0;
    }
    // The ECU pump kind: 2 a faulty pump, 0 a brushed one without a
    // temperature reading.
    if (live.main_pump_ecu_kind == 2) {
        ShowRow(kRowPumpTemperature, QStringLiteral("故障"), true);
        return 1;
    }
    if (live.main_pump_ecu_kind == 0) {
        ShowRow(kRowPumpTemperature, QStringLiteral("有刷电机"), false);
        return 0;
    }
    return CheckRow(kRowPumpTemperature, live.main_pump_temperature, reference - 2, reference + 2);
}

int32_t CDialogTestECU::EngineVoltageRow(const CEcuLiveState& live) {
    if (!m_checks[kRowEngineVoltage]->isChecked()) {
        ShowRow(kRowEngineVoltage, QString(), false);
        return 0;
    }
    if (!live.tcu_fitted) {
        ShowRow(kRowEngineVoltage, QStringLiteral("不支持"), false);
        return 0;
    }
    if (!live.tcu_answering) {
        ShowRow(kRowEngineVoltage, QStringLiteral("未连接"), true);
        return 1;
    }
    if (live.starter_fitted && !live.starter_answering) {
        ShowRow(kRowEngineVoltage, QStringLiteral("启动电机故障"), true);
        return 1;
    }
    // The TCU reports its voltage in 10 mV units.
    return CheckRow(kRowEngineVoltage, int64_t{live.tcu_voltage} * 10, 11000, 13000);
}

void CDialogTestECU::Refresh() {
    if (!Connected()) {
        for (int32_t row = 0; row < kRowCount; ++row) {
            const bool checked = m_checks[static_cast<size_t>(row)]->isChecked();
            ShowRow(row, checked ? QStringLiteral("????") : QString(), checked);
        }
        m_failed = 0;
        return;
    }
    const CEcuLiveState live = m_ecu.liveState();
    const int32_t reference = ReferenceTemperature();
    m_highestPumpRpm =
        std::max(m_highestPumpRpm, static_cast<uint32_t>(std::max(0, live.main_pump_rpm)));
    if (m_recordReference->isChecked()) {
        m_referencePumpRpm = m_highestPumpRpm;
    }
    const auto milli = [](float volts) {
        return static_cast<int64_t>(std::lround(volts * 1000.0));
    };
    const int64_t rpmReference = m_referencePumpRpm;

    int32_t failed = 0;
    failed |= CheckRow(kRowPowerVoltage, milli(live.battery_voltage), 11000, 13000);
    failed |= CheckRow(kRowReceiverVoltage, milli(live.rc_voltage), 4950, 5050);
    failed |= CheckRow(kRowThrottleInput, live.rc_throttle_input, 800, 2400);
    failed |= CheckRow(kRowSwitchInput, live.rc_switch_input, 800, 2400);
    failed |= CheckRow(kRowAirPressure, live.air_pressure, 98000, 102000);
    failed |= CheckRow(kRowDataSpace, live.record_storage, 4096, 32768);
    failed |= CheckRow(kRowEcuTemperature, live.egt, reference - 2, reference + 2);
    failed |=
        CheckRow(kRowPumpRpm, m_highestPumpRpm, rpmReference * 9 / 10, rpmReference * 11 / 10);
    failed |= PumpTemperatureRow(live, reference);
    failed |= EngineVoltageRow(live);
    m_failed = failed;
}

void CDialogTestECU::Reset() {
    BackToStart();
    Refresh();
}

// --- buttons -------------------------------------------------------------------

void CDialogTestECU::OnStartStop() {
    if (m_running != 0) {
        SetDlgItemText(kStartStop, kStartCaption);
        m_running = 0;
    } else {
        SetDlgItemText(kStartStop, kStopCaption);
        m_running = 1;
    }
    m_state = -2;
}

void CDialogTestECU::OnManualCalibrate() {
    (void)m_ecu.calibrateTemperatureOnly(static_cast<uint8_t>(ReferenceTemperature()));
}

void CDialogTestECU::OnGeneratorTest() {
    (void)m_ecu.sendCommand(kGeneratorOutput, 0);
}

// --- the sequence ----------------------------------------------------------------

void CDialogTestECU::OnTimer(uint32_t id) {
    if (id == kSequenceTimer) {
        Step();
    } else if (id == kBeepTimer) {
        KillTimer(kBeepTimer);
        UiServices().Beep(1000, 100);
    }
}

void CDialogTestECU::BackToStart() {
    m_state = -2;
    m_counter = 0;
    SetDlgItemText(kStatus, QString());
    // The next ECU on the bench is measured afresh: it must not pass on the
    // pump RPM of the one before. The recorded reference RPM stays.
    m_highestPumpRpm = 0;
}

void CDialogTestECU::Step() {
    const bool connected = Connected();
    if (m_state > -2 && !connected) {
        BackToStart();
        return;
    }
    const CEcuLiveState live = m_ecu.liveState();
    const bool idle = live.engine_state == 0;
    switch (m_state) {
    case -2:
        if (connected) {
            m_state = -1;
            m_counter = 0;
        }
        break;
    case -1:
        if (++m_counter >= kSettleTicks) {
            m_state = 0;
        }
        break;
    case 0:
        if (m_running != 0 && idle) {
            StartPumpRun(live);
        }
        break;
    case 1:
        if (--m_counter > 0) {
            (void)m_ecu.sendCommand(kMainPump, 0);
        } else {
            m_state = m_autoCalibrate->isChecked() ? 2 : 4;
            m_counter = kStateTwoStart;
        }
        break;
    case 2:
        if (!idle) {
            m_counter = std::max(m_counter, kStableTicks);
            break;
        }
        if (m_counter > 0) {
            --m_counter;
        }
        if (m_counter == 0) {
            if (std::abs(live.egt - m_savedEgt) <= 1 &&
                std::abs(live.main_pump_temperature - m_savedPumpTemperature) <= 1) {
                m_state = 3;
                m_counter = 0;
                (void)m_ecu.calibrateTemperatureOnly(static_cast<uint8_t>(ReferenceTemperature()));
            } else {
                m_savedEgt = live.egt;
                m_savedPumpTemperature = live.main_pump_temperature;
                m_counter = kStableTicks;
            }
        }
        break;
    case 3:
        if (++m_counter >= kCalibratedTicks) {
            Finish();
        }
        break;
    default: // 4: finished until the button is pressed
        break;
    }
}

void CDialogTestECU::StartPumpRun(const CEcuLiveState& live) {
    m_state = 1;
    m_counter = kPumpRunTicks;
    m_savedEgt = live.egt;
    m_savedPumpTemperature = live.main_pump_temperature;
    const std::string voltage = m_pumpVoltage->currentText().toStdString();
    (void)m_ecu.sendCommand(kPrepareSequence, 0);
    (void)m_ecu.sendCommand(kPrepareSequence, 0);
    (void)m_ecu.setFromText(kBaudRateText, std::to_string(kBaudRateIndex), kBaudRateIndex);
    (void)m_ecu.setFromText(kPumpVoltageText, voltage, 0);
    for (int i = 0; i < 3; ++i) {
        (void)m_ecu.commit();
    }
}

void CDialogTestECU::Finish() {
    m_state = 4;
    SetDlgItemText(kStatus, QStringLiteral("校准完成"));
    if (m_failed != 0) {
        // The high tone marks a failed check; the low one follows after a
        // pause, from a timer, so the window is never blocked.
        UiServices().Beep(2000, 100);
        SetTimer(kBeepTimer, 200);
    } else {
        UiServices().Beep(1000, 100);
    }
}
