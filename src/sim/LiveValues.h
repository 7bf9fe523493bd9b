#pragma once

#include <cstdint>

namespace sim {

// The ECU's live state in engineering units: what the engine model produces,
// and (after TelemetryEncoder) what a layout actually carried, quantised as
// the tool must decode it.
struct LiveValues {
    uint8_t cpuLoad = 0;     // %
    uint8_t engineState = 0; // ECU state code 0..15
    uint8_t errorCode = 0;   // ECU fault code 0..19

    bool throttleLock = false;
    bool lowVoltage = false;
    bool learningMaxMin = false;  // block generation only
    bool learningHighEnd = false; // block generation only
    bool learningIdle = false;    // block generation only
    // Fault bits of the block generation, register 1 byte 2 bits 1..6.
    bool starterFault = false;
    bool glowPlugFault = false;
    bool temperatureSensorFault = false;
    bool valveFault = false;
    bool faultBit5 = false;
    bool pumpFault = false;
    bool stickDownAtIgnition = false;   // block generation only
    bool stickDownWhileRunning = false; // block generation only
    bool overload = false;
    bool pumpLimit = false;

    int32_t rpm = 0;
    int16_t egt = 0;                    // °C, as measured (without the EGT correction)
    uint16_t pumpVoltageHundredths = 0; // main pump voltage, 0.01 V (the 16-bit field)
    double pumpVoltage = 0.0;           // V, item generation floating-point field
    double rcVoltage = 0.0;             // V
    double batteryVoltage = 0.0;        // V
    double current = 0.0;               // A
    uint16_t rcThrottleUs = 0;          // µs
    uint16_t rcSwitchUs = 0;            // µs
    int32_t cpuTemperature = -60;       // °C, item generation only
    uint32_t airPressurePa = 0;
    int32_t altitudeM = 0;
    uint32_t recordStorage = 0; // bytes, multiple of 512
    bool alternatorPresent = false;
    double alternatorVoltage = 0.0; // V
    uint8_t ignitionPumpState = 0;  // 0 not supported, 1 offline, 2 stop, 3 start, 4 run, 5 brake
    int32_t ignitionPumpRpm = 0;
    int16_t ignitionPumpTemperature = 0; // °C
    int16_t fuelTemperature = 0;         // °C
    double fuelPressure = 0.0;           // MPa
    double combustionPressure = 0.0;     // MPa
    bool tcuFitted = false;
    bool tcuAnswering = false;
    uint8_t tcuVersion[3] = {0, 0, 0};
    uint16_t tcuVoltage = 0;    // 10 mV units
    int16_t tcuTemperature = 0; // °C
    bool starterFitted = false;
    bool starterAnswering = false;
    uint8_t starterState = 0; // 0 stop, 1 start, 2 run, 3 brake
    int32_t starterRpm = 0;
    int8_t starterTemperature = 0; // °C
    uint8_t mainPumpEcuKind = 0;
    uint8_t mainPumpTcuKind = 0;
    uint8_t mainPumpState = 0; // 0 stop, 1 start, 2 run, 3 brake
    int32_t mainPumpRpm = 0;
    int16_t mainPumpTemperature = 0; // °C
    bool rpmControlState = false;    // block generation only
    uint8_t recordFormat = 0;        // 0..3 (1: 14-byte chunks)
    uint8_t recordRateCode = 0;      // 0..3: 2, 4, 8, 16 samples per second

    // Register 5 (optional sensors).
    bool sensorGroup1 = false;
    double sensorValue1 = 0.0; // 10 bits / 100
    double sensorValue2 = 0.0; // 14 bits / 10
    bool thrustSensor = false;
    double thrustKg = 0.0; // signed 16 bits / 100
};

} // namespace sim
