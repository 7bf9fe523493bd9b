#pragma once

#include <cstdint>

// The "RPM for BLDC Pump" page as the main window feeds it: one sample per
// telemetry notification while the ECU reports a pump with speed feedback.
// Thread safety: called on the user-interface thread only.
class IPumpPanel {
public:
    virtual ~IPumpPanel() = default;

    // Pump state 0 stop, 1 start, 2 run, 3 brake; RPM; the pump voltage value
    // in hundredths of a volt.
    virtual void AddSample(int32_t state, int32_t rpm, uint16_t pumpVoltage) = 0;
};
