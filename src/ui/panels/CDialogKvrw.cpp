#include "ui/panels/CDialogKvrw.h"

#include "ecu/CDeviceECU.h"
#include "foundation/StringPrintf.h"
#include "ui/DialogTemplate.h"

#include <QAbstractButton>
#include <QPushButton>

namespace {

using Kind = DialogItem::Kind;

// Ids of template controls that nothing refers to.
constexpr int32_t kStatic = 2000;

constexpr const char* kStartCaption = "开始";
constexpr const char* kTickCaption = "滴答测试";
constexpr const char* kOpenCaption = "常开测试";
constexpr const char* kStopCaption = "停止测试";

// Template 151, in dialog units.
const DialogItem kTemplate[] = {
    // measurement
    {kStatic + 0, Kind::Group, 4, 2, 146, 112, "测量"},
    {kStatic + 1, Kind::Label, 10, 16, 46, 9, "当前电流:"},
    {CDialogKvrw::kCurrent, Kind::Value, 58, 14, 56, 12, "0"},
    {kStatic + 2, Kind::Unit, 118, 16, 28, 9, "A"},
    {kStatic + 3, Kind::Label, 10, 31, 46, 9, "最高电流:"},
    {CDialogKvrw::kHighestCurrent, Kind::Value, 58, 29, 56, 12, "0.0"},
    {kStatic + 4, Kind::Unit, 118, 31, 28, 9, "A"},
    {kStatic + 5, Kind::Label, 10, 46, 46, 9, "5秒平均:"},
    {CDialogKvrw::kAverageCurrent, Kind::Value, 58, 44, 56, 12, "0.0"},
    {kStatic + 6, Kind::Unit, 118, 46, 28, 9, "A"},
    {kStatic + 7, Kind::Label, 10, 61, 46, 9, "当前转速:"},
    {CDialogKvrw::kRpm, Kind::Value, 58, 59, 56, 12, "0"},
    {kStatic + 8, Kind::Unit, 118, 61, 28, 9, "RPM"},
    {kStatic + 9, Kind::Label, 10, 76, 46, 9, "5秒平均:"},
    {CDialogKvrw::kAverageRpm, Kind::Value, 58, 74, 56, 12, "0"},
    {kStatic + 10, Kind::Unit, 118, 76, 28, 9, "RPM"},
    {kStatic + 11, Kind::Label, 10, 91, 46, 9, "油压:"},
    {CDialogKvrw::kFuelPressure, Kind::Value, 58, 89, 56, 12, "0.000"}, // MPa; no unit shown
    // main pump
    {kStatic + 13, Kind::Group, 154, 2, 172, 112, "油泵"},
    {kStatic + 14, Kind::Label, 160, 16, 46, 9, "输出电压:"},
    {CDialogKvrw::kPumpVoltage, Kind::Edit, 208, 14, 50, 12, "0.00"},
    {kStatic + 15, Kind::Unit, 262, 16, 20, 9, "V"},
    {kStatic + 16, Kind::Label, 160, 31, 46, 9, "闭环压力:"},
    {CDialogKvrw::kPumpPressure, Kind::Edit, 208, 29, 50, 12, "0.0000"},
    {kStatic + 17, Kind::Unit, 262, 31, 20, 9, "MPa"},
    {kStatic + 18, Kind::Label, 160, 46, 46, 9, "测试时间:"},
    {CDialogKvrw::kPumpTime, Kind::Edit, 208, 44, 50, 12, "0"},
    {kStatic + 19, Kind::Unit, 262, 46, 20, 9, "秒"},
    {CDialogKvrw::kPumpOffsetOff, Kind::Check, 160, 61, 108, 11, "关闭校准 - 功率偏移"},
    {CDialogKvrw::kPumpSupplyOff, Kind::Check, 160, 74, 108, 11, "关闭校准 - 供电电压"},
    {CDialogKvrw::kPumpClosedLoopOff, Kind::Check, 160, 87, 108, 11, "关闭校准 - 压力闭环"},
    {CDialogKvrw::kPumpStart, Kind::Button, 272, 94, 48, 15, kStartCaption},
    // starter
    {kStatic + 20, Kind::Group, 330, 2, 136, 55, "启动电机"},
    {kStatic + 21, Kind::Label, 336, 16, 46, 9, "输出电压:"},
    {CDialogKvrw::kStarterVoltage, Kind::Edit, 384, 14, 36, 12, "0.00"},
    {kStatic + 22, Kind::Unit, 422, 16, 10, 9, "V"},
    {kStatic + 23, Kind::Label, 336, 33, 46, 9, "测试时间:"},
    {CDialogKvrw::kStarterTime, Kind::Edit, 384, 31, 36, 12, "0"},
    {kStatic + 24, Kind::Unit, 422, 33, 12, 9, "秒"},
    {CDialogKvrw::kStarterStart, Kind::Button, 436, 22, 26, 15, kStartCaption},
    // glow plug
    {kStatic + 25, Kind::Group, 330, 59, 136, 55, "火头测试"},
    {kStatic + 26, Kind::Label, 336, 73, 46, 9, "输出电压:"},
    {CDialogKvrw::kGlowVoltage, Kind::Edit, 384, 71, 36, 12, "0.00"},
    {kStatic + 27, Kind::Unit, 422, 73, 10, 9, "V"},
    {kStatic + 28, Kind::Label, 336, 90, 46, 9, "测试时间:"},
    {CDialogKvrw::kGlowTime, Kind::Edit, 384, 88, 36, 12, "0"},
    {kStatic + 29, Kind::Unit, 422, 90, 12, 9, "秒"},
    {CDialogKvrw::kGlowStart, Kind::Button, 436, 79, 26, 15, kStartCaption},
    // fuel valves
    {kStatic + 30, Kind::Group, 470, 2, 122, 112, "油路电磁阀"},
    {CDialogKvrw::kMainLine, Kind::Radio, 476, 16, 52, 11, "主油路"},
    {CDialogKvrw::kIgnitionLine, Kind::Radio, 532, 16, 52, 11, "点火"},
    {kStatic + 31, Kind::Label, 476, 35, 46, 9, "开关频率:"},
    {CDialogKvrw::kFrequency, Kind::Edit, 524, 33, 40, 12, "10"},
    {kStatic + 32, Kind::Unit, 568, 35, 20, 9, "Hz"},
    {kStatic + 33, Kind::Label, 476, 53, 46, 9, "测试时间:"},
    {CDialogKvrw::kValveTime, Kind::Edit, 524, 51, 40, 12, "5"},
    {CDialogKvrw::kTickTest, Kind::Button, 476, 76, 54, 15, kTickCaption},
    {CDialogKvrw::kOpenTest, Kind::Button, 534, 76, 54, 15, kOpenCaption},
    // oxygen valve
    {kStatic + 35, Kind::Group, 4, 118, 146, 36, "加氧电磁阀"},
    {kStatic + 36, Kind::Label, 10, 133, 46, 9, "测试时间:"},
    {CDialogKvrw::kOxygenTime, Kind::Edit, 58, 131, 36, 12, "5"},
    {kStatic + 37, Kind::Unit, 98, 133, 12, 9, "秒"},
    {CDialogKvrw::kOxygenStart, Kind::Button, 112, 130, 32, 15, kStartCaption},
    // remaining time and the note
    {kStatic + 38, Kind::Label, 160, 124, 46, 9, "剩余时间:"},
    {CDialogKvrw::kRemaining, Kind::Value, 208, 122, 50, 12, ""},
    {CDialogKvrw::kNote,
     Kind::Note,
     286,
     118,
     306,
     44,
     "注意：\n1. 油泵测试闭环压力设置为0，则关闭油泵压力闭环。\n2. "
     "电磁阀测试频率设置为0，则电磁阀常开。"},
};

// Set-points, and the measurement fields disabled while a test runs. The
// line radios stay usable: the lines are only read when a valve test starts.
constexpr int32_t kLockedWhileRunning[] = {
    CDialogKvrw::kPumpVoltage,
    CDialogKvrw::kPumpPressure,
    CDialogKvrw::kPumpTime,
    CDialogKvrw::kStarterVoltage,
    CDialogKvrw::kStarterTime,
    CDialogKvrw::kGlowVoltage,
    CDialogKvrw::kGlowTime,
    CDialogKvrw::kFrequency,
    CDialogKvrw::kValveTime,
    CDialogKvrw::kOxygenTime,
    CDialogKvrw::kHighestCurrent,
    CDialogKvrw::kAverageCurrent,
    CDialogKvrw::kRpm,
    CDialogKvrw::kAverageRpm,
    CDialogKvrw::kPumpOffsetOff,
    CDialogKvrw::kPumpSupplyOff,
    CDialogKvrw::kPumpClosedLoopOff,
};

// The buttons by kind, with their idle captions.
struct Button {
    KvrwCommand::Kind kind;
    int32_t id;
    const char* caption;
};
constexpr Button kButtons[KvrwCommand::kKindCount] = {
    {KvrwCommand::kPump, CDialogKvrw::kPumpStart, kStartCaption},
    {KvrwCommand::kGlow, CDialogKvrw::kGlowStart, kStartCaption},
    {KvrwCommand::kStarter, CDialogKvrw::kStarterStart, kStartCaption},
    {KvrwCommand::kTick, CDialogKvrw::kTickTest, kTickCaption},
    {KvrwCommand::kOpen, CDialogKvrw::kOpenTest, kOpenCaption},
    {KvrwCommand::kOxygen, CDialogKvrw::kOxygenStart, kStartCaption},
};

} // namespace

CDialogKvrw::CDialogKvrw(CDeviceECU* ecu, QWidget* parent)
    : CPanelDialog(parent)
    , m_ecu(ecu) {
    CreateDialogItems(*this, kTemplate);
    Control<QAbstractButton>(kMainLine)->setChecked(true);
    for (const Button& b : kButtons) {
        connect(Control<QPushButton>(b.id), &QPushButton::clicked, this, [this, kind = b.kind] {
            OnStart(kind);
        });
    }
    SetTimer(kTimer, kTimerMs);
}

int32_t CDialogKvrw::ButtonOf(KvrwCommand::Kind kind) {
    return kind >= 0 && kind < KvrwCommand::kKindCount ? kButtons[kind].id : 0;
}

std::string CDialogKvrw::Text(int32_t id) const {
    return GetDlgItemText(id).toStdString();
}

bool CDialogKvrw::Checked(int32_t id) const {
    const auto* box = Control<QAbstractButton>(id);
    return box != nullptr && box->isChecked();
}

void CDialogKvrw::OnStart(KvrwCommand::Kind kind) {
    if (m_running && kind != KvrwCommand::kOxygen) {
        if (const auto stop = KvrwCommand::Stop(kind)) {
            m_remaining = 0;
            ShowRemaining();
            Send(*stop);
        }
        return;
    }
    if (m_ecu == nullptr || !m_ecu->connected()) {
        return;
    }
    const uint8_t lines = KvrwCommand::LineFlags(Checked(kMainLine), Checked(kIgnitionLine));
    std::optional<KvrwCommand> command;
    int32_t timeEdit = 0;
    switch (kind) {
    case KvrwCommand::kPump:
        command = KvrwCommand::Pump(Text(kPumpVoltage),
                                    Text(kPumpPressure),
                                    Text(kPumpTime),
                                    KvrwCommand::PumpFlags(Checked(kPumpOffsetOff),
                                                           Checked(kPumpSupplyOff),
                                                           Checked(kPumpClosedLoopOff)));
        timeEdit = kPumpTime;
        break;
    case KvrwCommand::kGlow:
        command = KvrwCommand::Glow(Text(kGlowVoltage), Text(kGlowTime));
        timeEdit = kGlowTime;
        break;
    case KvrwCommand::kStarter:
        command = KvrwCommand::Starter(Text(kStarterVoltage), Text(kStarterTime));
        timeEdit = kStarterTime;
        break;
    case KvrwCommand::kTick:
        command = KvrwCommand::Tick(Text(kFrequency), Text(kValveTime), lines);
        timeEdit = kValveTime;
        break;
    case KvrwCommand::kOpen:
        command = KvrwCommand::Open(Text(kValveTime), lines);
        timeEdit = kValveTime;
        break;
    case KvrwCommand::kOxygen:
        command = KvrwCommand::Oxygen(Text(kOxygenTime));
        timeEdit = kOxygenTime;
        break;
    }
    if (!command) {
        return;
    }
    m_remaining = command->time;
    m_lastKind = kind;
    // The values as they are sent.
    const auto writeBack = [this](int32_t id, const std::string& text) {
        if (!text.empty()) {
            SetDlgItemText(id, QString::fromStdString(text));
        }
    };
    const bool pump = kind == KvrwCommand::kPump;
    writeBack(pump                         ? kPumpVoltage
              : kind == KvrwCommand::kGlow ? kGlowVoltage
                                           : kStarterVoltage,
              command->voltage);
    writeBack(kPumpPressure, command->pressure);
    writeBack(kFrequency, command->frequency);
    writeBack(timeEdit, command->timeText);
    ShowRemaining();
    Send(*command);
}

void CDialogKvrw::Send(const KvrwCommand& c) {
    if (m_ecu == nullptr) {
        return;
    }
    // A refused command shows nothing: the ECU's state tells the user.
    if (c.longForm) {
        (void)m_ecu->sendCommand(c.code, c.args[0], c.args[1], c.args[2], c.args[3]);
    } else {
        (void)m_ecu->sendCommand(c.code, c.args[0]);
    }
}

void CDialogKvrw::ShowRemaining() {
    SetDlgItemText(kRemaining, QString::number(m_remaining));
}

void CDialogKvrw::OnTimer(uint32_t id) {
    if (id != kTimer) {
        return;
    }
    if (++m_ticks >= 10) {
        m_ticks = 0;
        if (m_remaining > 0) {
            --m_remaining;
        }
        ShowRemaining();
    }
    const CEcuLiveState live = m_ecu != nullptr ? m_ecu->liveState() : CEcuLiveState();
    if (live.engine_state > 1 && isVisible()) {
        if (!m_running) {
            EnterRunning();
        }
        m_measurement.Add(live.engine_rpm, live.current);
        SetDlgItemText(kAverageRpm, QString::number(m_measurement.AverageRpm()));
        SetDlgItemText(kRpm, QString::number(live.engine_rpm));
        ShowMeasurement(live.current, live.fuel_pressure);
    } else if (m_running) {
        LeaveRunning();
    }
}

void CDialogKvrw::ShowMeasurement(double current, double fuelPressure) {
    const auto amperes = [](double value) {
        return QString::fromStdString(StringPrintf("%0.02f", value));
    };
    SetDlgItemText(kAverageCurrent, amperes(m_measurement.AverageCurrent()));
    SetDlgItemText(kHighestCurrent, amperes(m_measurement.HighestCurrent()));
    SetDlgItemText(kCurrent, amperes(current));
    SetDlgItemText(kFuelPressure, QString::fromStdString(StringPrintf("%0.03f", fuelPressure)));
}

void CDialogKvrw::EnterRunning() {
    m_running = true;
    m_measurement.Reset();
    for (int32_t id : {kCurrent, kHighestCurrent, kAverageCurrent, kRpm, kAverageRpm}) {
        SetDlgItemText(id, QStringLiteral("0"));
    }
    SetDlgItemText(kFuelPressure, QStringLiteral("0.000"));
    for (int32_t id : kLockedWhileRunning) {
        EnableControl(id, false);
    }
    for (const Button& b : kButtons) {
        const bool running = b.kind == m_lastKind;
        EnableControl(b.id, running);
        // The oxygen valve has no stop: its button starts it again, and says so.
        if (running && b.kind != KvrwCommand::kOxygen) {
            SetDlgItemText(b.id, QString::fromUtf8(kStopCaption));
        }
    }
}

void CDialogKvrw::LeaveRunning() {
    m_running = false;
    for (int32_t id : kLockedWhileRunning) {
        EnableControl(id, true);
    }
    for (const Button& b : kButtons) {
        EnableControl(b.id, true);
        SetDlgItemText(b.id, QString::fromUtf8(b.caption));
    }
}
