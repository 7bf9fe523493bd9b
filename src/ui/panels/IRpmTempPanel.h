#pragma once

#include <cstdint>

// The "RPM vs EGT&Thrust&Pump" page as the main window feeds it.
// Thread safety: called on the user-interface thread only.
class IRpmTempPanel {
public:
    virtual ~IRpmTempPanel() = default;

    // The run idle and run maximum RPM of the parameter block (302).
    virtual void SetRange(int32_t minimumRpm, int32_t maximumRpm) = 0;
    // One live sample per telemetry notification: RPM, EGT with the
    // correction (°C), the pump voltage value (the same 16-bit value the
    // other chart pages get) and the thrust (kg). All zero while offline.
    virtual void AddSample(int32_t rpm, int32_t egt, uint16_t pumpVoltage, float thrust) = 0;
};
