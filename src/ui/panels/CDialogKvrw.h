#pragma once

#include "ui/model/KvrwCommand.h"
#include "ui/model/KvrwMeasurement.h"
#include "ui/panels/CPanelDialog.h"

#include <cstdint>

class CDeviceECU;

// The engineering-mode page "工程模式" (template 151), reached through the
// main window's password: bench tests of the main pump (a voltage or a
// closed-loop fuel pressure), the starter and the glow plug (a voltage), the
// fuel valves (pulsed at a frequency or held open, main or ignition line) and
// the oxygen valve, each for a time in seconds, with the measured current,
// RPM and fuel pressure and their five-second averages. Captions are Chinese
// only.
//
// Each start button parses its edits, does nothing unless the ECU is
// connected and the test has a time (and a set-point, see KvrwCommand),
// writes the clamped values back, sets the remaining time and sends its
// register-1 command through CDeviceECU.
//
// Running state: while the ECU's engine state is above 1 and the page is
// visible (a test from here or from elsewhere, or an engine run), the
// set-points, the measurement fields and the calibration boxes are disabled,
// only the button of the test started last here is usable, and the pump,
// glow, starter and valve buttons then stop it instead ("停止测试": the short
// form of their code with argument 0, remaining time 0). The oxygen valve has
// no stop: its button keeps "开始" and starts its test again. Every 100 ms
// (timer kTimer) the page samples RPM and current into 50-entry histories;
// once a second the remaining time counts down. The page returns to idle when
// the engine state falls to 1 or below or the page is hidden.
//
// Thread safety: user-interface thread only; CDeviceECU does its own locking.
class CDialogKvrw : public CPanelDialog {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        // measurement
        kCurrent = 1001,
        kHighestCurrent = 1002,
        kAverageCurrent = 1003,
        kRpm = 1004,
        kAverageRpm = 1005,
        kFuelPressure = 1006,
        // main pump
        kPumpVoltage = 1010,
        kPumpPressure = 1011,
        kPumpTime = 1012,
        kPumpOffsetOff = 1013,     // "关闭校准 - 功率偏移"
        kPumpSupplyOff = 1014,     // "关闭校准 - 供电电压"
        kPumpClosedLoopOff = 1015, // "关闭校准 - 压力闭环"
        kPumpStart = 1016,
        // starter
        kStarterVoltage = 1020,
        kStarterTime = 1021,
        kStarterStart = 1022,
        // glow plug
        kGlowVoltage = 1030,
        kGlowTime = 1031,
        kGlowStart = 1032,
        // fuel valves
        kMainLine = 1040,
        kIgnitionLine = 1041,
        kFrequency = 1042,
        kValveTime = 1043,
        kTickTest = 1044,
        kOpenTest = 1045,
        // oxygen valve
        kOxygenTime = 1050,
        kOxygenStart = 1051,
        kRemaining = 1060,
        kNote = 1061,
    };
    static constexpr uint32_t kTimer = 0;
    static constexpr uint32_t kTimerMs = 100;

    // ecu may be null (the page then never sends anything). Not owned; it
    // must outlive the page. Starts the 100 ms timer.
    explicit CDialogKvrw(CDeviceECU* ecu, QWidget* parent = nullptr);

    // The start (or, while running, stop) button of a kind.
    void OnStart(KvrwCommand::Kind kind);
    // The 100 ms timer; public so that tests can step it.
    void OnTimer(uint32_t id) override;

    [[nodiscard]] bool IsRunning() const { return m_running; }
    [[nodiscard]] int32_t RemainingTime() const { return m_remaining; }
    [[nodiscard]] KvrwCommand::Kind LastKind() const { return m_lastKind; }
    // The button of a kind (kPumpStart, ...).
    [[nodiscard]] static int32_t ButtonOf(KvrwCommand::Kind kind);

private:
    [[nodiscard]] std::string Text(int32_t id) const;
    [[nodiscard]] bool Checked(int32_t id) const;
    void Send(const KvrwCommand& command);
    void ShowRemaining();
    void EnterRunning();
    void LeaveRunning();
    void ShowMeasurement(double current, double fuelPressure);

    CDeviceECU* m_ecu;
    bool m_running = false;
    KvrwCommand::Kind m_lastKind = KvrwCommand::kPump;
    int32_t m_remaining = 0; // s
    int32_t m_ticks = 0;     // 0..9
    KvrwMeasurement m_measurement;
};
