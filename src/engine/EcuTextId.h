#pragma once

// The text ids 1..79 that address the engine parameters in getText,
// setFromText, the settings panel and the parameter file.
namespace EcuTextId {
enum : int {
    ThrottleMax = 1, // learned radio throttle points, µs, read only
    ThrottleMin = 2,
    ThrottleIdle = 3,
    LostSignalDelay = 4,        // s
    BusThrottleChannel = 5,     // list index
    BusSwitchChannel = 6,       // list index
    BusTelemetryMode = 7,       // list index
    TelemetryBaudIndex = 8,     // list index, when supported
    TelemetryStopBitsIndex = 9, // list index, when supported
    CanAddress = 10,            // hexadecimal text
    CanValue2 = 11,
    CanValue3 = 12,
    MaxEgt = 13,              // °C
    MinBatteryVoltage = 14,   // V
    StarterEjectTime = 15,    // s
    StarterEjectVoltage = 16, // V
    StarterRunVoltage = 17,   // V
    StarterStability = 18,
    StarterPolePairs = 19,
    CoolingRpm = 20,
    IgnitionRpm = 21,
    IgnitionPumpVoltage = 22, // V
    IgnitionValveDuty = 23,   // %
    IgnitionConfirmTempIndex = 24,
    ValveVoltage1 = 25, // V
    ValveVoltage2 = 26, // V
    ValveSupplyIgnition = 27,
    ValveSupplyMain = 28,
    ValveSupplyExtension1 = 29,
    ValveSupplyExtension2 = 30,
    StarterMotorRamp = 31,
    PumpRamp = 32,
    FuelRampStage1Rpm = 33,
    FuelRampStage2Rpm = 34,
    FuelRampStage1Pump = 35,
    FuelRampStage2Pump = 36,
    AltitudeRunMinRpm = 37,
    AltitudeRunPressure = 38, // kPa
    AltitudeStartPumpRamp = 39,
    AltitudeStartPressure = 40, // kPa
    OxygenStartRpm = 41,
    OxygenStartPumpDelay = 42,   // s
    OxygenStartPumpVoltage = 43, // V
    OxygenStartRampTime = 44,    // s
    GlowPlugStartVoltage = 45,   // V
    GlowPlugRestartVoltage = 46, // V
    PreheatTimeIndex = 47,
    PreheatRpm = 48,
    ClutchReleaseRpm = 49,
    BlockIgnitionPumpVoltage = 50, // V, block generation only
    RunMinRpm = 51,
    RunIdleRpm = 52,
    RunMaxRpm = 53,
    RestartAllowed = 54,
    PumpTestMaxVoltage = 55, // V
    PumpIdleSensitivity = 56,
    PumpMaxCurrentIndex = 57,
    CalibrationValue1 = 58,
    CalibrationValue2 = 59,
    CalibrationValue3 = 60,
    CalibrationValue4 = 61,
    IgnitionPumpVoltageItem = 62, // V, item generation only
    PreheatEndTempIndex = 63,
    PreheatForcedDelayIndex = 64,
    ThrottleCurveDeceleration = 65,
    ThrottleCurveAcceleration = 66,
    RunPumpLimit = 67, // V
    DesignMaxRpm = 68,
    RpmPulsesPerRevolution = 69,
    StarterStopCoefficient = 70,
    TemperatureScale = 71, // %
    RpmControl = 72,
    ReduceCoolingTime = 73,
    NoGlowPlugCheck = 74,
    SwitchBit2 = 75, // block generation only
    CoolingAfterFlameout = 76,
    StandbyBeep = 77,
    NoRadioTimeout = 78,
    LinearRpm = 79, // block generation only
    First = 1,
    Last = 79,
};

// Whether setFromText takes this text id's value from its integer argument
// (a list index or switch state) rather than from its text.
bool TakesInteger(int textId);
} // namespace EcuTextId
