#pragma once

#include "ui/panels/CPanelDialog.h"
#include "ui/panels/ISimulatorPanel.h"

#include <array>
#include <cstdint>
#include <string>

class CDeviceECU;
class QShowEvent;

// The radio simulator page "遥控器模拟器" / "Simulator" (template 142): the PC
// stands in for the model's receiver on the ECU's receiver bus and shows what
// the ECU sends back. Captions are Chinese only.
//
// "模拟接收机输出": the bus type list ("关闭" mode 1, "Futaba(SBUS2)" 2,
// "JetI(ExBUS)" 3) and the sliders "油门(3):" and "开关(5):" (0..100, their
// positions shown beside them).
// "回传状态": type, RPM and temperature of the ECU's telemetry record.
// "JetiBox": the terminal's two text lines and its keys 左 右 上 下.
// "SimpleGSU": "使能", two text lines and the keys 下 上 -- +.
//
// The page is inert (list disabled, "无效", nothing sent) until the ECU's
// register-11 reply reports a receiver mode of 1 or more. To learn it, the
// page asks CDeviceECU to read register 11 (its read counter) once on the
// first refresh after each connection and each time it is shown while
// inert; from then on the mode the ECU reports decides how long it is read.
// While active, timer kReceiverTimer sends the receiver-simulation frame of
// the selected mode every 100 ms (register 11, block generation only:
// nothing goes to an item-generation ECU, nor to one whose generation is not
// known yet); the display follows the ECU's own mode, whatever is selected.
// While "使能" is checked, CDeviceECU reads register 10 and timer
// kGroundSupportTimer sends the pending ground-support key (0 for none)
// every 100 ms.
//
// Thread safety: user-interface thread only; CDeviceECU does its own locking.
class CDialogSimulate : public CPanelDialog, public ISimulatorPanel {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kBusType = 1001,
        kThrottle = 1002,
        kSwitch = 1003,
        kThrottleValue = 1004, // the sliders' positions
        kSwitchValue = 1005,
        kType = 1010,
        kRpm = 1011,
        kTemperature = 1012,
        kJetiLine1 = 1020,
        kJetiLine2 = 1021,
        kJetiLeft = 1022,
        kJetiRight = 1023,
        kJetiUp = 1024,
        kJetiDown = 1025,
        kGsuEnable = 1030,
        kGsuLine1 = 1031,
        kGsuLine2 = 1032,
        kGsuDown = 1033,
        kGsuUp = 1034,
        kGsuMinus = 1035,
        kGsuPlus = 1036,
    };
    static constexpr uint32_t kReceiverTimer = 0;
    static constexpr uint32_t kGroundSupportTimer = 1;
    static constexpr uint32_t kTimerMs = 100;

    // JetiBox key codes of the mode-3 frame, and the ground-support keys.
    static constexpr uint8_t kKeyLeft = 0x70, kKeyRight = 0xE0, kKeyUp = 0xD0, kKeyDown = 0xB0;
    static constexpr uint8_t kGsuKeyDown = 1, kGsuKeyUp = 2, kGsuKeyMinus = 3, kGsuKeyPlus = 4;

    // ecu may be null (the page then stays inert). Not owned; it must
    // outlive the page.
    explicit CDialogSimulate(CDeviceECU* ecu, QWidget* parent = nullptr);

    // ISimulatorPanel.
    void Refresh() override;
    void RefreshGroundSupport() override;
    // Back to inert; the next connection asks for the receiver mode again.
    void Reset() override;

    // Both timers; public so that tests can step them.
    void OnTimer(uint32_t id) override;

    [[nodiscard]] bool IsActive() const;
    // The mode the receiver frames are sent for, 1..3.
    [[nodiscard]] uint8_t SendMode() const { return m_sendMode; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetMode(int8_t mode);
    // No entry selected, the list's text "无效".
    void ShowInvalid();
    void Decode(int8_t mode, const std::array<uint8_t, 32>& reply);
    void ShowTexts();
    void SendReceiverFrame();
    void SendGroundSupportKey();
    void OnGroundSupportEnable(bool on);
    [[nodiscard]] bool BlockGeneration() const;
    [[nodiscard]] int32_t Slider(int32_t id) const;

    CDeviceECU* m_ecu;
    uint8_t m_lastMode = 255; // 255: rebuild on the next refresh
    uint8_t m_sendMode = 1;
    uint8_t m_jetiKey = 0; // 0: none
    uint8_t m_gsuKey = 0;  // 0: none
    bool m_probed = false; // register 11 asked for since the page went inert
    // Type, RPM, temperature, JetiBox line 1 and line 2 (UTF-8).
    std::array<std::string, 5> m_texts;
};
