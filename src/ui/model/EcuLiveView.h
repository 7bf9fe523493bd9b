#pragma once

#include <array>
#include <cstdint>

// What the main window shows of the ECU's live state: a plain copy of the
// live-state fields of the ECU protocol object (same names, same units), plus
// the three values the window derives from them with the parameter block.
//
// The main window reads one copy per telemetry notification (301) on the
// user-interface thread and only formats it.
struct EcuLiveView {
    // --- derived -----------------------------------------------------------
    int32_t display_state = 0; // 0..20, the display-state derivation
    int32_t display_error = 0; // 0..19 have texts; the displayed-error derivation
    int32_t displayed_egt = 0; // °C, EGT plus the parameter block's correction

    // --- state box ---------------------------------------------------------
    uint8_t cpu_load = 0;          // %
    uint8_t engine_state = 0;      // ECU state code 0..15
    int32_t cpu_temperature = -60; // °C; below -59: not reported ("???")
    float rc_voltage = 0;          // V
    float battery_voltage = 0;     // V
    float current = 0;             // A
    uint32_t air_pressure = 0;     // Pa
    int32_t altitude = 0;          // m
    uint32_t record_storage = 0;   // shown as "Records Number"

    // --- engine, for the charts --------------------------------------------
    int32_t engine_rpm = 0;
    int16_t egt = 0; // °C, before the correction
    // The 16-bit pump voltage value handed to the chart pages, in hundredths
    // of a volt.
    uint16_t pump_voltage_centivolts = 0;
    float pump_voltage = 0;  // V, the floating-point pump voltage (scale on 302)
    float sensor_thrust = 0; // kg, register-5 reading group 2

    // --- RC box ------------------------------------------------------------
    uint16_t rc_throttle_input = 0; // µs
    uint16_t rc_switch_input = 0;   // µs

    // --- alternator box ----------------------------------------------------
    bool alternator_present = false;
    float alternator_voltage = 0; // V

    // --- "IgnitionPump" box: the pump with the six-valued state ------------
    uint8_t ignition_pump_state = 0; // 0 unsupported, 1 offline, 2 stop, 3 start, 4 run, 5 brake
    int32_t ignition_pump_rpm = 0;
    int16_t ignition_pump_temperature = 0; // °C

    // --- "MainPump" box: pump kinds and the four-valued state --------------
    uint8_t main_pump_ecu_kind = 0; // shown as the "ECU Pump" kind
    uint8_t main_pump_tcu_kind = 0; // shown as the "TCU Pump" kind
    uint8_t main_pump_state = 0;    // 0 stop, 1 start, 2 run, 3 brake
    int32_t main_pump_rpm = 0;
    int16_t main_pump_temperature = 0; // °C

    // --- fuel box ----------------------------------------------------------
    int16_t fuel_temperature = 0;  // °C
    float fuel_pressure = 0;       // MPa
    float combustion_pressure = 0; // MPa

    // --- TCU box -----------------------------------------------------------
    bool tcu_fitted = false;
    bool tcu_answering = false;
    std::array<uint8_t, 3> tcu_version{}; // major, minor, patch
    uint16_t tcu_voltage = 0;
    int16_t tcu_temperature = 0; // °C

    // --- starter box -------------------------------------------------------
    bool starter_fitted = false;
    bool starter_answering = false;
    uint8_t starter_state = 0; // 0 stop, 1 start, 2 run, 3 brake
    int32_t starter_rpm = 0;
    int16_t starter_temperature = 0; // °C
};
