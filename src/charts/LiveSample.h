#pragma once

#include <cstdint>

// One live sample of the "Real State" chart (CGraphDraw), filled by the main
// window from the live state on every telemetry notification (all zero while
// nothing is connected). 32 bytes; the chart draws rpm, egt, pump_voltage and
// thrust and only stores the rest.
struct CLiveSample {
    uint8_t state = 0;                // ECU state code (stored, not drawn)
    uint32_t rpm = 0;                 // engine RPM
    int16_t egt = 0;                  // °C, with the EGT correction
    uint16_t pump_voltage = 0;        // hundredths of a volt
    int16_t fuel_temperature = 0;     // °C (stored, not drawn)
    int32_t battery_millivolts = 0;   // (stored, not drawn)
    int32_t current_milliamperes = 0; // (stored, not drawn)
    int32_t altitude = 0;             // m (stored, not drawn)
    float thrust = 0;                 // kg
};
static_assert(sizeof(CLiveSample) == 32, "the live sample is 32 bytes");
