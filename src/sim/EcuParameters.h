#pragma once

#include <array>
#include <bitset>
#include <cstdint>

namespace sim {

enum class EcuGeneration : uint8_t {
    Block, // two fixed 32-byte parameter pages (registers 2 and 3)
    Item,  // bit-packed parameter packets, changes sent as id/value items
};

// What kind of ECU is simulated. Fixed for the life of a store: an ECU does
// not change its generation or page format while it runs.
struct EcuFormat {
    EcuGeneration generation = EcuGeneration::Item;
    uint8_t blockFormat = 3;    // block generation: 2, 3 or 4 (byte 0 of page 1)
    bool doubleRange = false;   // block generation: page-1 byte 20 bit 7
    bool extendedItems = false; // item generation: frames start 0xAA 0x66 with length bytes
};

// Parameters a particular ECU does not have. Keyed by text id (1..79); only
// the ids that can be missing matter (the others are always there):
// item generation 8, 9, 24, 25, 26, 47, 57, 62, 63, 64, 69, 70 and the group
// members 37-44, 58-61; block generation 8, 9, 24, 47, 57, 63, 64.
// A group (altitude run 37-38, altitude start 39-40, oxygen 41-44,
// calibration 58-61) is missing as a whole when any of its members is listed.
struct EcuFeatures {
    std::bitset<80> unsupported;
};

// Every parameter the ECU keeps, in engineering units (RPM, volts, seconds,
// °C, percent, microseconds), as the ECU last stored them. The defaults are a
// plausible small engine and are exactly representable in every layout, so a
// fresh store encodes and reads back without rounding.
//
// The ECU stores what it receives as the bits say, without clamping: a value
// outside a parameter's range here shows that the tool sent it.
struct EcuParameters {
    // Learned radio throttle points, µs, read only (set by RC learning):
    // text ids 1 maximum, 2 minimum, 3 idle.
    int throttlePointMax = 1900;
    int throttlePointMin = 1100;
    int throttlePointIdle = 1200;

    double lostSignalDelay = 1.0;          // s, text id 4
    int busThrottleChannel = 2;            // text id 5
    int busSwitchChannel = 4;              // text id 6
    int busTelemetryMode = 1;              // text id 7
    int baudIndex = 3;                     // text id 8
    int stopBitsIndex = 1;                 // text id 9
    uint32_t canAddress16 = 0x12345;       // text id 10: the bus address divided by 16 (24 bits)
    int canValue2 = 50;                    // text id 11
    int canValue3 = 3;                     // text id 12
    int maxEgt = 900;                      // °C, text id 13
    double minBatteryVoltage = 7.0;        // V, text id 14
    double starterEjectTime = 0.3;         // s, text id 15
    double starterEjectVoltage = 4.0;      // V, text id 16
    double starterRunVoltage = 6.0;        // V, text id 17
    int starterStability = 20;             // text id 18
    int starterPolePairs = 7;              // text id 19
    int coolingRpm = 5000;                 // text id 20
    int ignitionRpm = 6000;                // text id 21
    double ignitionPumpVoltage = 1.2;      // V, text id 22 (start-up pump voltage at ignition)
    int ignitionValveDuty = 30;            // %, text id 23
    int ignitionConfirmTempIndex = 2;      // text id 24
    int valveVoltage1 = 8;                 // V, text id 25
    int valveVoltage2 = 10;                // V, text id 26
    uint8_t valveSupply = 0x05;            // bits 0..3: text ids 27..30
    int starterMotorRamp = 50;             // text id 31
    int pumpRamp = 5;                      // text id 32
    int fuelRampStage1Rpm = 20000;         // text id 33
    int fuelRampStage2Rpm = 40000;         // text id 34
    int fuelRampStage1Pump = 4;            // text id 35
    int fuelRampStage2Pump = 8;            // text id 36
    int altitudeRunMinRpm = 40000;         // text id 37
    double altitudeRunPressure = 50.0;     // kPa, text id 38
    int altitudeStartPumpRamp = 6;         // text id 39
    double altitudeStartPressure = 60.0;   // kPa, text id 40
    int oxygenRpm = 10000;                 // text id 41
    double oxygenPumpDelay = 0.2;          // s, text id 42
    double oxygenPumpVoltage = 1.5;        // V, text id 43
    double oxygenRampTime = 2.0;           // s, text id 44
    double glowStartVoltage = 3.5;         // V, text id 45
    double glowRestartVoltage = 4.0;       // V, text id 46
    int preheatTimeIndex = 3;              // text id 47
    int preheatRpm = 8000;                 // text id 48
    int clutchRpm = 30000;                 // text id 49
    double blockIgnitionPumpVoltage = 2.0; // V, text id 50 (block generation only)
    int runMinRpm = 35000;                 // text id 51
    int runIdleRpm = 40000;                // text id 52
    int runMaxRpm = 150000;                // text id 53
    bool restartAllowed = true;            // text id 54
    double pumpTestMaxVoltage = 5.0;       // V, text id 55
    int pumpIdleSensitivity = 6;           // text id 56
    int pumpMaxCurrentIndex = 10;          // text id 57
    double calibration1 = 2.5;             // text id 58
    double calibration2 = 0.5;             // text id 59
    double calibration3 = 1.25;            // text id 60
    int calibration4 = 7;                  // text id 61
    double ignitionPumpVoltage2 = 3.5;     // V, text id 62 (item generation)
    int preheatEndTempIndex = 3;           // text id 63
    int preheatForcedDelayIndex = 1;       // text id 64
    int throttleDeceleration = 30;         // text id 65
    int throttleAcceleration = 40;         // text id 66
    double pumpLimit = 6.0;                // V, text id 67
    int designMaxRpm = 160000;             // text id 68
    int rpmPulses = 2;                     // text id 69
    int starterStopCoefficient = 30;       // text id 70
    int temperatureScale = 100;            // %, text id 71
    bool rpmControl = false;               // text id 72
    bool reduceCoolingTime = false;        // text id 73
    bool noGlowPlugCheck = false;          // text id 74
    bool switchBit2 = false;               // text id 75 (block generation only)
    bool coolingAfterFlameout = true;      // text id 76
    bool standbyBeep = true;               // text id 77
    bool noRadioTimeout = false;           // text id 78
    bool linearRpm = false;                // text id 79 (block generation only)

    // Parameters without a text id.
    int temperatureUnit = 0;   // 0 Celsius, 1 Fahrenheit
    int pumpMode = 1;          // 0..3
    int telemetryProtocol = 2; // 0..7
    int egtCorrection = 0;     // °C, read only; changed by temperature calibration

    // Information the ECU reports about itself (read only).
    int auxValue = 6;                // item packet 1 field 1 / block page 2 byte 5 bits 0-3
    int supportedPumpTypes = 0x07;   // bit 0 DC, bit 1 DC with sensor, bit 2 brushless
    int maxCurrentIndexOffered = 20; // highest pump maximum-current index offered
    int supportedTelemetryProtocols = 0x3F;
    bool auxSwitch = false; // item switches bit 8
};

// Generic access by text id, for tests that walk every parameter. The value
// is in the unit of the text id's parameter: switches and valve-supply bits
// 0/1, indexes as index, text id 10 the held address (address / 16).
// False for an id outside 1..79.
[[nodiscard]] bool GetParameterByTextId(const EcuParameters& parameters, int textId, double& value);
[[nodiscard]] bool SetParameterByTextId(EcuParameters& parameters, int textId, double value);

} // namespace sim
