#include "sim/SimEcuSystem.h"

#include <cmath>

namespace sim {

SimEcuSystem::SimEcuSystem(const SimEcuConfig& config, uint8_t logFormat, uint8_t logRateCode)
    : ecu(config)
    , runLog(logFormat)
    , unit(&ecu)
    , m_register13(runLog) {
    runLog.SetRateCode(logRateCode);
    runLog.SetPumpDoubleRange(config.format.doubleRange);
    ecu.SetRegister13Unit(&m_register13);
    ReportLog();
    // A new firmware that resets the block starts from what this unit had
    // when it was made.
    unit.onUpdated =
        [this, parameters = ecu.Store().Parameters(), name = ecu.Store().EngineName()] {
            if (updateEffect.resetParameters) {
                ecu.Store().Parameters() = parameters;
                ecu.Store().SetEngineName(name);
                ecu.ApplyParametersToModel();
            }
            if (updateEffect.newVersion) {
                unit.status.identity.major = updateEffect.major;
                unit.status.identity.minor = updateEffect.minor;
                unit.status.identity.patch = updateEffect.patch;
            }
        };
    bus.Attach(kAddress, &unit);
}

void SimEcuSystem::ReportLog() {
    EngineHardware& hw = ecu.Model().Hardware();
    hw.recordStorage = static_cast<uint32_t>(runLog.RecordStorageCode()) * 512u;
    hw.recordFormat = runLog.Format();
    hw.recordRateCode = runLog.RateCode();
}

void SimEcuSystem::Prefill(uint32_t records, uint32_t seed) {
    bus.WithLock([&] {
        runLog.Prefill(records, seed);
        ReportLog();
        ecu.Step(0); // the telemetry reports the stored records at once
    });
}

RunLogSample SimEcuSystem::Sample() const {
    const LiveValues& v = const_cast<SimEcu&>(ecu).Model().Values();
    RunLogSample s;
    s.engine_state = v.engineState;
    s.temperature = v.egt;
    s.engine_rpm = v.rpm;
    s.pump_vol = static_cast<int32_t>(v.pumpVoltageHundredths) * 10;
    s.radio_vol = static_cast<int32_t>(std::lround(v.rcVoltage * 100));
    s.engine_vol = static_cast<int32_t>(std::lround(v.batteryVoltage * 100));
    s.pressure = static_cast<int32_t>(v.airPressurePa);
    s.rc_input1 = v.rcThrottleUs;
    s.rc_input2 = v.rcSwitchUs;
    s.pump_st = v.mainPumpState;
    s.pump_rpm = v.mainPumpRpm;
    s.error_coe = v.errorCode;
    s.current = static_cast<int32_t>(std::lround(v.current * 10));
    s.tcu_temp = v.tcuTemperature;
    s.ecu_temp = v.cpuTemperature;
    s.pump_temp = v.mainPumpTemperature;
    s.thrust = static_cast<int32_t>(std::lround(v.thrustKg * 100));
    s.starter_rpm = v.starterRpm;
    s.fuel_temp = v.fuelTemperature;
    s.fuel_press = static_cast<int32_t>(std::lround(v.fuelPressure * 1000));
    s.combustion_press = static_cast<int32_t>(std::lround(v.combustionPressure * 1000));
    return s;
}

void SimEcuSystem::Step(uint32_t ms) {
    bus.WithLock([&] {
        ecu.Step(ms);
        m_nowMs += ms;
        // The ECU logs while the engine is past ready (starting, running, cooling).
        if (ecu.Model().Values().engineState >= 2 && runLog.SampleIfDue(m_nowMs, Sample())) {
            ReportLog();
        }
    });
}

} // namespace sim
