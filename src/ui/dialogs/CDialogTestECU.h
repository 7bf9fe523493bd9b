#pragma once

#include "ui/CDialogBase.h"
#include "ui/dialogs/ITestDialog.h"

#include <array>
#include <cstdint>

class CColorEdit;
class CComboBoxInt;
class CDeviceECU;
class CEcuLiveState;
class QCheckBox;

// "测试 ECU": the bench check of an ECU before it ships. Ten live readings,
// each checked against its pass band while its check box is set and shown
// red when out of band, and an automatic sequence on a 50 ms timer: a main
// pump run at the chosen pump test voltage, then (with "自动校准温度") a wait
// for settled temperatures and the temperature calibration at the chosen
// reference, ending in a beep (2000 Hz first when a check failed, then
// 1000 Hz). Chinese only: the template's captions in both languages.
//
// Rows, in screen order (value checked, pass band inclusive):
//   power voltage     battery voltage, mV         11000..13000
//   receiver voltage  RC voltage, mV              4950..5050
//   throttle input    RC throttle pulse, µs       800..2400
//   switch input      RC switch pulse, µs         800..2400
//   air pressure      Pa                          98000..102000
//   ECU temperature   EGT reading, °C             reference ± 2
//   pump temperature  main pump, °C               reference ± 2 ("故障" for a
//                     faulty pump, "有刷电机" for a brushed one)
//   pump RPM          highest main pump RPM seen  9/10..11/10 of the reference
//                     RPM (0..0 until "记录油泵参考转速" has recorded one)
//   engine voltage    the TCU's voltage, mV       11000..13000 ("不支持",
//                     "未连接", "启动电机故障" when it cannot be measured)
//   data space        record storage              4096..32768
// With no ECU connected every checked row shows "????" in red.
//
// Sequence states: -2 waiting for a connection, -1 settling (10 ticks),
// 0 waiting for the start button and an idle ECU, 1 pump run (20 ticks),
// 2 waiting for stable temperatures, 3 calibrated (10 ticks), 4 finished.
// A lost connection returns it to -2 and the highest pump RPM to 0 (the
// recorded reference RPM stays); the running flag survives, so the sequence
// starts over when the ECU is back.
//
// Thread safety: user-interface thread only; the live state is read from
// the ECU object, which its poll thread keeps up to date.
class CDialogTestECU : public CDialogBase, public ITestDialog {
    Q_OBJECT
public:
    enum Row : int32_t {
        kRowPowerVoltage = 0,
        kRowReceiverVoltage,
        kRowThrottleInput,
        kRowSwitchInput,
        kRowAirPressure,
        kRowEcuTemperature,
        kRowPumpTemperature,
        kRowPumpRpm,
        kRowEngineVoltage,
        kRowDataSpace,
        kRowCount
    };
    enum ControlId : int32_t {
        kFirstResult = 1100, // + row: the row's result field
        kFirstCheck = 1120,  // + row: the row's check box
        kFirstLabel = 1140,  // + row: the row's label
        kRecordReference = 1160,
        kAutoCalibrate = 1161,
        kStartStop = 1162,
        kStatus = 1163,
        kPumpVoltage = 1164,
        kReference = 1165,
        kManualCalibrate = 1166,
        kGeneratorTest = 1167,
        kReferenceLabel = 1170,
        kPumpVoltageLabel = 1171,
        kStatusLabel = 1172,
    };
    enum Timer : uint32_t { kSequenceTimer = 1, kBeepTimer = 2 };
    static constexpr uint32_t kTickMs = 50;

    // ecu must outlive the dialog. Fills the lists (reference 24 ℃, pump
    // test voltage 0.6), checks every row, refreshes, starts the 50 ms timer.
    CDialogTestECU(CDeviceECU& ecu, QWidget* parent = nullptr);

    // --- ITestDialog ---------------------------------------------------------
    void Show() override;
    // Checks every row against the live state (also on every check box click).
    void Refresh() override;
    // The ECU went away: back to state -2, and the rows show "????".
    void Reset() override;
    void Recaption() override {}

    // --- actions -------------------------------------------------------------
    void OnStartStop();
    // The calibration command alone at the selected reference temperature.
    void OnManualCalibrate();
    // Command 17: the generator output test.
    void OnGeneratorTest();
    // One tick of the sequence (kSequenceTimer) or the second end beep
    // (kBeepTimer); public so that tests step the sequence themselves.
    void OnTimer(uint32_t id) override;

    // --- state, for the window and its tests ----------------------------------
    [[nodiscard]] int32_t State() const { return m_state; }
    [[nodiscard]] int32_t Counter() const { return m_counter; }
    [[nodiscard]] bool IsRunning() const { return m_running != 0; }
    // The OR of the row results of the last refresh (0 without a connection).
    [[nodiscard]] int32_t Failed() const { return m_failed; }
    [[nodiscard]] uint32_t HighestPumpRpm() const { return m_highestPumpRpm; }
    [[nodiscard]] uint32_t ReferencePumpRpm() const { return m_referencePumpRpm; }
    [[nodiscard]] CColorEdit* Result(int32_t row) const;
    [[nodiscard]] QCheckBox* Check(int32_t row) const;

private:
    void CreateControls();
    [[nodiscard]] bool Connected() const;
    [[nodiscard]] int32_t ReferenceTemperature() const;
    // The check rule: the value as "%d", red and failed when outside
    // low..high; empty and passed while the row's check box is clear.
    int32_t CheckRow(int32_t row, int64_t value, int64_t low, int64_t high);
    void ShowRow(int32_t row, const QString& text, bool alarm);
    int32_t PumpTemperatureRow(const CEcuLiveState& live, int32_t reference);
    int32_t EngineVoltageRow(const CEcuLiveState& live);
    void BackToStart();
    void Step();
    void StartPumpRun(const CEcuLiveState& live);
    void Finish();

    CDeviceECU& m_ecu;
    std::array<CColorEdit*, kRowCount> m_results{};
    std::array<QCheckBox*, kRowCount> m_checks{};
    QCheckBox* m_recordReference = nullptr;
    QCheckBox* m_autoCalibrate = nullptr;
    CComboBoxInt* m_reference = nullptr;
    CComboBoxInt* m_pumpVoltage = nullptr; // entries carry no value: the text is sent

    int32_t m_state = -2;
    int32_t m_counter = 0;
    int16_t m_savedEgt = 0;             // °C, for the stability check
    int16_t m_savedPumpTemperature = 0; // °C
    uint32_t m_highestPumpRpm = 0;
    uint32_t m_referencePumpRpm = 0;
    int32_t m_running = 0;
    int32_t m_failed = 0;
};
