#include "ui/dialogs/CDialogTestTCU.h"

#include "ecu/CDeviceECU.h"
#include "ui/DialogTemplate.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

constexpr uint8_t kPrepareSequence = 127;
constexpr uint8_t kStarterCode = 12;
constexpr uint8_t kIgnitionValveCode = 10;
constexpr uint8_t kMainValveCode = 9;
constexpr uint8_t kGlowPlugCode = 8;
// The starter runs its test at this voltage (text id 17, starter run voltage).
constexpr int kStarterVoltageText = 17;
const char* const kStarterVoltage = "3.0";
constexpr int32_t kSettleTicks = 5; // state -1: 250 ms

const QString kStartCaption = QStringLiteral("开始批量测试");
const QString kStopCaption = QStringLiteral("停止测试");

using Kind = DialogItem::Kind;

// Template 146, in dialog units.
const DialogItem kTemplate[] = {
    {CDialogTestTCU::kStartStop, Kind::Button, 7, 7, 100, 16, "开始批量测试"},
    {CDialogTestTCU::kStarter, Kind::Check, 12, 30, 95, 10, "测试启动电机"},
    {CDialogTestTCU::kIgnitionValve, Kind::Check, 12, 44, 95, 10, "测试电磁阀 - 点火"},
    {CDialogTestTCU::kMainValve, Kind::Check, 12, 58, 95, 10, "测试电磁阀 - 主油路"},
    {CDialogTestTCU::kGlowPlug, Kind::Check, 12, 72, 95, 10, "测试热火头"},
};
// The indicators, in the order of the batch.
constexpr int32_t kIndicators[] = {CDialogTestTCU::kStarter,
                                   CDialogTestTCU::kIgnitionValve,
                                   CDialogTestTCU::kMainValve,
                                   CDialogTestTCU::kGlowPlug};

} // namespace

CDialogTestTCU::CDialogTestTCU(CDeviceECU& ecu, QWidget* parent)
    : CDialogBase(parent)
    , m_ecu(ecu) {
    setWindowTitle(QStringLiteral("测试 TCU"));
    CreateDialogItems(*this, kTemplate);
    connect(Control<QPushButton>(kStartStop),
            &QPushButton::clicked,
            this,
            &CDialogTestTCU::OnStartStop);
    for (int32_t id : kIndicators) {
        EnableControl(id, false); // only the batch sets them
    }
    setFixedSize(DluRect(0, 0, 114, 85).size());
    SetTimer(kSequenceTimer, kTickMs);
}

void CDialogTestTCU::Show() {
    show();
    raise();
    activateWindow();
}

std::array<bool, 4> CDialogTestTCU::Indicators() const {
    std::array<bool, 4> on{};
    for (size_t i = 0; i < on.size(); ++i) {
        on[i] = Control<QCheckBox>(kIndicators[i])->isChecked();
    }
    return on;
}

void CDialogTestTCU::SetIndicator(int32_t id, bool on) {
    Control<QCheckBox>(id)->setChecked(on);
}

void CDialogTestTCU::BackToStart() {
    m_state = -2;
    for (int32_t id : kIndicators) {
        SetIndicator(id, false);
    }
}

void CDialogTestTCU::Reset() {
    BackToStart();
}

void CDialogTestTCU::OnStartStop() {
    if (m_running != 0) {
        SetDlgItemText(kStartStop, kStartCaption);
        m_running = 0;
        BackToStart();
    } else {
        SetDlgItemText(kStartStop, kStopCaption);
        m_state = -2;
        m_running = 1;
    }
}

void CDialogTestTCU::OnTimer(uint32_t id) {
    if (id == kSequenceTimer && m_running != 0) {
        Step();
    }
}

void CDialogTestTCU::StartStarter() {
    m_state = 1;
    SetIndicator(kStarter, true);
    // Twice, as the batch always has. Each frame the commit writes is
    // followed by its own pause, which gives the ECU its time to take it.
    for (int i = 0; i < 2; ++i) {
        (void)m_ecu.setFromText(kStarterVoltageText, kStarterVoltage, 0);
        (void)m_ecu.commit();
    }
    (void)m_ecu.sendCommand(kPrepareSequence, 0);
    (void)m_ecu.sendCommand(kStarterCode, 0);
}

void CDialogTestTCU::StartStep(int32_t previousIndicator, int32_t indicator, uint8_t code) {
    ++m_state;
    SetIndicator(previousIndicator, false);
    SetIndicator(indicator, true);
    (void)m_ecu.sendCommand(code, 0);
}

void CDialogTestTCU::Step() {
    const bool connected = m_ecu.connected();
    const CEcuLiveState live = m_ecu.liveState();
    const bool engineAnswers = connected && live.tcu_fitted && live.tcu_answering;
    if (m_state > -2 && !engineAnswers) {
        BackToStart();
        return;
    }
    const bool idle = live.engine_state == 0;
    // The command of the step that an odd state waits on.
    const auto resend = [&](uint8_t code) {
        if (idle) {
            (void)m_ecu.sendCommand(code, 0);
        } else {
            ++m_state;
        }
    };
    switch (m_state) {
    case -2:
        if (engineAnswers) {
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
        if (idle) {
            StartStarter();
        }
        break;
    case 1:
        resend(kStarterCode);
        break;
    case 2:
        if (idle) {
            StartStep(kStarter, kIgnitionValve, kIgnitionValveCode);
        }
        break;
    case 3:
        resend(kIgnitionValveCode);
        break;
    case 4:
        if (idle) {
            StartStep(kIgnitionValve, kMainValve, kMainValveCode);
        }
        break;
    case 5:
        resend(kMainValveCode);
        break;
    case 6:
        if (idle) {
            StartStep(kMainValve, kGlowPlug, kGlowPlugCode);
        }
        break;
    case 7:
        resend(kGlowPlugCode);
        break;
    default: // 8: finished, the last indicator goes out once the ECU is idle
        if (idle) {
            SetIndicator(kGlowPlug, false);
        }
        break;
    }
}
