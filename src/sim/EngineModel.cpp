#include "sim/EngineModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kSubStepMs = 10.0;
constexpr uint32_t kDefaultTestMs = 3000;
constexpr uint32_t kMaxTestMs = 60000;
// The main pump's temperature above ambient: at rest (its driver's losses),
// and per volt applied; it follows with this time constant.
constexpr double kPumpRestRiseC = 3.0;
constexpr double kPumpRisePerVoltC = 1.0;
constexpr double kPumpThermalTauMs = 4000.0;

// First-order approach of target with time constant tauMs.
double Approach(double x, double target, double tauMs, double dtMs) {
    return x + (target - x) * std::min(1.0, dtMs / tauMs);
}

// Moves x toward target by at most ratePerMs per millisecond.
double Ramp(double x, double target, double ratePerMs, double dtMs) {
    const double step = ratePerMs * dtMs;
    if (std::fabs(target - x) <= step) {
        return target;
    }
    return x + (target > x ? step : -step);
}

bool IsTestState(uint8_t state) {
    return state >= EngineState::TestGlowPlug && state <= EngineState::PumpCalibration;
}

// The state an actuator test shows. The extension and oxygen valves have no
// state of their own; they use the reserved state 13, the ignition pump the
// pump test, the Hall-sensor learning the pump calibration. (Guess: the ECU
// reports them this way; the tool only needs "not stopped".)
uint8_t StateOfTest(uint8_t code) {
    switch (code) {
    case 8:
        return EngineState::TestGlowPlug;
    case 9:
        return EngineState::TestFuelValve;
    case 10:
        return EngineState::TestIgnitionValve;
    case 11:
        return EngineState::TestPump;
    case 12:
        return EngineState::TestStarter;
    case 13:
        return EngineState::TestAuxValve;
    case 18:
        return EngineState::TestAuxValve;
    case 19:
        return EngineState::TestPump;
    case 20:
        return EngineState::PumpCalibration;
    default:
        return EngineState::Stop;
    }
}

} // namespace

EngineModel::EngineModel(const EngineHardware& hardware)
    : m_hardware(hardware)
    , m_egt(hardware.ambientC)
    , m_starterTemperature(hardware.ambientC)
    , m_pumpTemperature(hardware.ambientC + kPumpRestRiseC) {
    UpdateValues();
}

bool EngineModel::Starting() const {
    return m_state == EngineState::Ignition || m_state == EngineState::Preheat ||
           m_state == EngineState::FuelRamp;
}

void EngineModel::Step(uint32_t ms) {
    uint32_t remaining = ms;
    while (remaining > 0) {
        const uint32_t dt = std::min<uint32_t>(remaining, static_cast<uint32_t>(kSubStepMs));
        Advance(dt);
        m_timeMs += dt;
        remaining -= dt;
    }
    UpdateValues();
}

void EngineModel::SetThrottle(double percent) {
    m_throttle = std::clamp(percent, 0.0, 100.0);
}

void EngineModel::SetSwitch(bool on) {
    if (m_switchOn && !on) {
        if (Starting() || m_state == EngineState::Running) {
            RequestStop();
        }
        // Switching off acknowledges a latched fault.
        m_errorCode = 0;
    }
    m_switchOn = on;
}

void EngineModel::SetThrottleLock(bool locked) {
    m_throttleLock = locked;
}

void EngineModel::EnterState(uint8_t state) {
    m_state = state;
    m_stateMs = 0.0;
    if (!IsTestState(state)) {
        m_testCode = 0;
        m_testRemainingMs = 0;
    }
}

bool EngineModel::RequestStart() {
    if (m_state != EngineState::Stop && m_state != EngineState::Ready) {
        return false;
    }
    if (Fault(EngineFault::LowVoltage)) {
        m_errorCode = 2;
        return false;
    }
    if (Fault(EngineFault::Overload)) {
        m_errorCode = 17;
        return false;
    }
    m_errorCode = 0;
    EnterState(EngineState::Ignition);
    return true;
}

void EngineModel::RequestStop() {
    const double hot = m_tuning.reduceCoolingTime ? 150.0 : 100.0;
    if (Starting() || m_state == EngineState::Running) {
        EnterState(m_egt > hot ? EngineState::Cooling : EngineState::Stop);
    } else if (IsTestState(m_state)) {
        EnterState(EngineState::Stop);
    }
}

void EngineModel::Shutdown(uint8_t errorCode) {
    m_errorCode = errorCode;
    const double hot = m_tuning.reduceCoolingTime ? 150.0 : 100.0;
    EnterState(m_egt > hot ? EngineState::Cooling : EngineState::Stop);
}

void EngineModel::SetFault(EngineFault fault, bool active) {
    if (fault < EngineFault::Count) {
        m_faults.set(static_cast<size_t>(fault), active);
    }
}

void EngineModel::InjectErrorCode(uint8_t code) {
    if (code == 0) {
        m_errorCode = 0;
        return;
    }
    if (Starting() || m_state == EngineState::Running) {
        Shutdown(code);
        return;
    }
    m_errorCode = code;
    if (m_state == EngineState::Ready || IsTestState(m_state)) {
        EnterState(EngineState::Stop);
    }
}

std::optional<EngineModel::LearnedPoint> EngineModel::Learn(uint8_t code) {
    const auto pulse = static_cast<uint16_t>(std::lround(1000.0 + 10.0 * m_throttle));
    switch (code) {
    case 2: // start: the stick-up end comes first
        m_learningMaxMin = true;
        m_learningHighEnd = true;
        m_learningIdle = false;
        return std::nullopt;
    case 3:
        m_learningMaxMin = false;
        m_learningHighEnd = false;
        m_learningIdle = false;
        return std::nullopt;
    case 6: // maximum; then the stick-down end
        m_learningHighEnd = false;
        return LearnedPoint{1, pulse};
    case 4: // minimum; then idle
        m_learningMaxMin = false;
        m_learningHighEnd = false;
        m_learningIdle = true;
        return LearnedPoint{2, pulse};
    case 5:
        m_learningIdle = false;
        return LearnedPoint{3, pulse};
    default:
        return std::nullopt;
    }
}

bool EngineModel::Command(uint8_t code, const uint16_t args[4], bool longForm) {
    if (code == 17) { // generator output test
        m_alternatorTestMs = kDefaultTestMs;
        return true;
    }
    const uint8_t testState = StateOfTest(code);
    if (testState == EngineState::Stop) {
        return false; // 127 and unknown codes: accepted, nothing happens
    }
    const bool atRest = m_state == EngineState::Stop || m_state == EngineState::Ready;
    if (!atRest && !IsTestState(m_state)) {
        return false; // never while the engine starts, runs or cools
    }
    if (!longForm && args[0] == 0 && m_testCode == code && m_testRemainingMs > 0) {
        if (!m_testLongForm && m_timeMs - m_testCommandMs <= kRepeatWindowMs) {
            m_testCommandMs = m_timeMs; // a repeat: the test goes on
            return true;
        }
        EnterState(m_switchOn && m_errorCode == 0 ? EngineState::Ready : EngineState::Stop);
        return true;
    }
    uint32_t seconds = 0;
    m_testVoltage = 0.0;
    m_testPressure = 0.0;
    if (longForm) {
        switch (code) {
        case 8:
        case 12:
            seconds = args[0];
            m_testVoltage = args[1] / 100.0; // 10 mV units
            break;
        case 9:
            seconds = args[0];
            break;
        case 11:
            m_testVoltage = args[0] / 1000.0; // mV
            seconds = args[1];
            m_testPressure = args[3] / 10000.0;
            break;
        default:
            break;
        }
    } else {
        seconds = args[0];
    }
    if (m_testVoltage <= 0.0) {
        m_testVoltage = code == 8    ? m_tuning.glowVoltage
                        : code == 12 ? m_tuning.starterRunVoltage
                        : code == 11 ? m_tuning.pumpTestVoltage
                                     : 2.0;
    }
    uint32_t ms = seconds != 0 ? std::min<uint32_t>(seconds * 1000u, kMaxTestMs) : kDefaultTestMs;
    if (code == 20 && seconds == 0) {
        ms = 5000;
    }
    EnterState(testState);
    m_testCode = code;
    m_testRemainingMs = ms;
    m_testCommandMs = m_timeMs;
    m_testLongForm = longForm;
    return true;
}

void EngineModel::Advance(double dt) {
    m_stateMs += dt;
    const double ambient = m_hardware.ambientC;
    const double idle = std::max(1000, m_tuning.idleRpm);
    const double full = std::max(idle + 1000.0, static_cast<double>(m_tuning.maxRpm));

    const bool high = m_throttle >= 90.0;
    if (m_state == EngineState::Ready && high && !m_throttleWasHigh) {
        RequestStart();
    }
    m_throttleWasHigh = high;

    if (Starting() || m_state == EngineState::Running) {
        if (Fault(EngineFault::LowVoltage)) {
            Shutdown(2);
        } else if (Fault(EngineFault::Overload)) {
            Shutdown(17);
        } else if (m_state == EngineState::Running && m_egt > m_tuning.maxEgt) {
            Shutdown(8);
        }
    }
    if (m_alternatorTestMs > 0) {
        m_alternatorTestMs -= std::min<uint32_t>(m_alternatorTestMs, static_cast<uint32_t>(dt));
    }

    double egtTarget = ambient;
    double egtTau = 30000.0;
    double pumpTarget = 0.0;
    double starterTarget = 0.0;
    m_starterDriving = false;
    m_glowOn = false;
    m_ignitionPumpOn = false;
    m_valveCurrent = 0.0;
    bool engineFree = true; // RPM coasts unless something drives it

    auto pumpFor = [&](double rpm) { return 0.35 + 2.65 * std::pow(rpm / full, 2.0); };

    switch (m_state) {
    case EngineState::Stop:
    case EngineState::Ready:
        if (m_state == EngineState::Stop && m_switchOn && m_errorCode == 0) {
            EnterState(EngineState::Ready);
        } else if (m_state == EngineState::Ready && (!m_switchOn || m_errorCode != 0)) {
            EnterState(EngineState::Stop);
        }
        break;
    case EngineState::Ignition:
        m_starterDriving = true;
        starterTarget = m_tuning.ignitionRpm;
        m_glowOn = true;
        if (Fault(EngineFault::StarterNotAnswering) && m_stateMs >= 1000.0) {
            Shutdown(5);
            break;
        }
        if (m_stateMs >= 1500.0) { // fuel to the glow plug: the flame catches
            m_ignitionPumpOn = true;
            m_valveCurrent = 0.3;
            egtTarget = 260.0;
            egtTau = 1200.0;
        }
        if (m_egt >= 150.0) {
            EnterState(EngineState::Preheat);
        } else if (m_stateMs >= 10000.0) {
            Shutdown(1);
        }
        break;
    case EngineState::Preheat:
        m_starterDriving = true;
        starterTarget = m_tuning.preheatRpm;
        m_ignitionPumpOn = true;
        m_valveCurrent = 0.3;
        egtTarget = 380.0;
        egtTau = 1500.0;
        if (m_stateMs >= 3000.0) {
            EnterState(EngineState::FuelRamp);
        }
        break;
    case EngineState::FuelRamp: {
        engineFree = false;
        const double from = std::min<double>(m_tuning.preheatRpm, idle);
        m_rpm = Ramp(m_rpm, idle, std::max(1.0, idle - from) / 6000.0, dt);
        m_starterDriving = m_rpm < m_tuning.clutchRpm;
        starterTarget = m_rpm;
        pumpTarget = pumpFor(m_rpm);
        m_valveCurrent = 0.35;
        egtTarget = 620.0;
        egtTau = 2000.0;
        if (m_rpm >= idle * 0.98) {
            EnterState(EngineState::Running);
        }
        break;
    }
    case EngineState::Running: {
        engineFree = false;
        const double load = m_throttleLock ? 0.0 : m_throttle / 100.0;
        double target = idle + load * (full - idle);
        if (Fault(EngineFault::PumpLimit)) {
            target = std::min(target, idle + 0.6 * (full - idle));
        }
        const double span = full - idle;
        const double up = span / (std::max(10, m_tuning.accelerationCurve) * 100.0);
        const double down = span / (std::max(10, m_tuning.decelerationCurve) * 100.0);
        m_rpm = Ramp(m_rpm, target, target > m_rpm ? up : down, dt);
        pumpTarget = pumpFor(m_rpm);
        m_valveCurrent = 0.35;
        const double norm = std::clamp((m_rpm - idle) / span, 0.0, 1.0);
        // Accelerating runs rich and hot.
        const double transient = target > m_rpm + 0.05 * span ? 80.0 : 0.0;
        egtTarget = 460.0 + 220.0 * norm + transient;
        egtTau = 1200.0;
        break;
    }
    case EngineState::Cooling: {
        const double hot = m_tuning.reduceCoolingTime ? 150.0 : 100.0;
        m_starterDriving = true;
        starterTarget = m_tuning.coolingRpm;
        egtTarget = ambient;
        egtTau = m_tuning.reduceCoolingTime ? 3000.0 : 5000.0;
        if (m_egt < hot) {
            EnterState(m_switchOn && m_errorCode == 0 ? EngineState::Ready : EngineState::Stop);
        }
        break;
    }
    default: // actuator tests
        switch (m_testCode) {
        case 8:
            m_glowOn = true;
            break;
        case 9:
            m_valveCurrent = 0.35;
            break;
        case 10:
        case 13:
        case 18:
            m_valveCurrent = 0.3;
            break;
        case 11:
            pumpTarget = m_testVoltage;
            break;
        case 12:
            m_starterDriving = true;
            starterTarget = m_testVoltage * 1500.0;
            break;
        case 19:
            m_ignitionPumpOn = true;
            break;
        case 20: // sweeps the pump to learn its Hall sensor
            pumpTarget = 0.5 + 2.5 * std::min(1.0, m_stateMs / 5000.0);
            break;
        default:
            break;
        }
        m_testRemainingMs -= std::min<uint32_t>(m_testRemainingMs, static_cast<uint32_t>(dt));
        if (m_testRemainingMs == 0) {
            EnterState(m_switchOn && m_errorCode == 0 ? EngineState::Ready : EngineState::Stop);
        }
        break;
    }

    if (Fault(EngineFault::StarterNotAnswering)) {
        m_starterDriving = false;
    }
    if (m_starterDriving) {
        m_starterRpm = Approach(m_starterRpm, starterTarget, 400.0, dt);
        if (engineFree) {
            m_rpm = m_starterRpm; // engaged through the clutch
        }
    } else {
        m_starterRpm = Approach(m_starterRpm, 0.0, 300.0, dt);
        if (engineFree) {
            m_rpm = Approach(m_rpm, 0.0, 1500.0, dt);
        }
    }
    if (m_rpm < 1.0) {
        m_rpm = 0.0;
    }
    if (m_starterRpm < 1.0) {
        m_starterRpm = 0.0;
    }

    m_pumpLimited = pumpTarget > m_tuning.pumpLimit;
    pumpTarget = std::min(pumpTarget, m_tuning.pumpLimit);
    m_pumpVoltage = Approach(m_pumpVoltage, pumpTarget, 200.0, dt);
    if (m_pumpVoltage < 0.001) {
        m_pumpVoltage = 0.0;
    }
    const double pressureTarget =
        m_testCode == 11 && m_testPressure > 0.0 ? m_testPressure : m_pumpVoltage * 0.12;
    m_fuelPressure =
        Approach(m_fuelPressure, m_pumpVoltage > 0.0 ? pressureTarget : 0.0, 300.0, dt);
    m_ignitionPumpRpm = Approach(m_ignitionPumpRpm, m_ignitionPumpOn ? 4500.0 : 0.0, 250.0, dt);
    if (m_ignitionPumpRpm < 1.0) {
        m_ignitionPumpRpm = 0.0;
    }
    m_egt = Approach(m_egt, egtTarget, egtTau, dt);
    m_starterTemperature =
        Approach(m_starterTemperature, ambient + (m_starterDriving ? 25.0 : 0.0), 60000.0, dt);
    m_pumpTemperature = Approach(m_pumpTemperature,
                                 ambient + kPumpRestRiseC + kPumpRisePerVoltC * m_pumpVoltage,
                                 kPumpThermalTauMs,
                                 dt);
}

void EngineModel::UpdateValues() {
    LiveValues v;
    const double ambient = m_hardware.ambientC;
    const double full = std::max(1000, m_tuning.maxRpm);
    const bool running = m_state >= EngineState::Ignition && m_state <= EngineState::Cooling;

    v.cpuLoad = static_cast<uint8_t>(running ? 27 : 18);
    v.engineState = m_state;
    v.errorCode = m_errorCode;
    v.throttleLock = m_throttleLock;
    v.lowVoltage = Fault(EngineFault::LowVoltage);
    v.overload = Fault(EngineFault::Overload);
    v.pumpLimit = Fault(EngineFault::PumpLimit) || m_pumpLimited;
    v.learningMaxMin = m_learningMaxMin;
    v.learningHighEnd = m_learningHighEnd;
    v.learningIdle = m_learningIdle;
    v.starterFault = m_errorCode == 5;
    v.glowPlugFault = m_errorCode == 3;
    v.temperatureSensorFault = m_errorCode == 10;
    v.valveFault = m_errorCode == 11 || m_errorCode == 12;
    v.faultBit5 = m_errorCode == 9;
    v.pumpFault = m_errorCode == 4;
    v.stickDownAtIgnition = m_state == EngineState::Ignition && m_throttle < 1.0;
    v.stickDownWhileRunning = m_state == EngineState::Running && m_throttle < 1.0;

    v.rpm = static_cast<int32_t>(std::lround(m_rpm));
    v.egt = static_cast<int16_t>(std::lround(m_egt));
    v.pumpVoltage = m_pumpVoltage;
    v.pumpVoltageHundredths = static_cast<uint16_t>(std::lround(m_pumpVoltage * 100.0));

    double current = 0.25 + m_valveCurrent + m_pumpVoltage * 0.9;
    if (m_glowOn) {
        const double glow = m_testCode == 8 ? m_testVoltage : m_tuning.glowVoltage;
        current += glow / 1.2;
    }
    if (m_starterDriving) {
        current += 1.5 + m_starterRpm / 3000.0;
    }
    if (m_ignitionPumpOn) {
        current += 0.6;
    }
    if (v.overload) {
        current += 30.0;
    }
    v.current = current;
    v.batteryVoltage = v.lowVoltage ? std::max(0.0, m_tuning.minBatteryVoltage - 0.6)
                                    : std::max(0.0, m_hardware.supplyVoltage - 0.015 * current);
    v.rcVoltage = m_hardware.rcVoltage;
    v.rcThrottleUs = static_cast<uint16_t>(std::lround(1000.0 + 10.0 * m_throttle));
    v.rcSwitchUs = m_switchOn ? 2000 : 1000;
    v.cpuTemperature = static_cast<int32_t>(std::lround(ambient + 14.0 + v.cpuLoad / 10.0));
    v.airPressurePa = m_hardware.airPressurePa;
    v.altitudeM = m_hardware.altitudeM;
    v.recordStorage = m_hardware.recordStorage;
    v.recordFormat = m_hardware.recordFormat;
    v.recordRateCode = m_hardware.recordRateCode;

    v.alternatorPresent = m_hardware.alternatorFitted;
    if (m_hardware.alternatorFitted) {
        v.alternatorVoltage =
            m_alternatorTestMs > 0 ? 13.5 : std::min(14.2, 14.2 * m_rpm / (0.3 * full));
    }
    v.fuelTemperature = static_cast<int16_t>(std::lround(ambient));
    v.fuelPressure = m_fuelPressure;
    v.combustionPressure = 0.25 * std::pow(m_rpm / full, 2.0);

    v.tcuFitted = m_hardware.tcuFitted;
    v.tcuAnswering = m_hardware.tcuFitted && !Fault(EngineFault::TcuNotAnswering);
    if (v.tcuAnswering) {
        std::copy(std::begin(m_hardware.tcuVersion), std::end(m_hardware.tcuVersion), v.tcuVersion);
        v.tcuVoltage = static_cast<uint16_t>(std::lround(v.batteryVoltage * 100.0));
        v.tcuTemperature =
            static_cast<int16_t>(std::lround(ambient + 6.0 + (m_egt - ambient) / 40.0));
    }
    v.starterFitted = m_hardware.starterFitted;
    v.starterAnswering = m_hardware.starterFitted && !Fault(EngineFault::StarterNotAnswering);
    if (v.starterAnswering) {
        if (m_starterDriving) {
            v.starterState = m_starterRpm < 0.5 * std::max(1.0, m_rpm) ? 1 : 2;
        } else {
            v.starterState = m_starterRpm > 200.0 ? 3 : 0;
        }
        v.starterRpm = static_cast<int32_t>(std::lround(m_starterRpm));
        v.starterTemperature = static_cast<int8_t>(std::lround(m_starterTemperature));
    }
    // The main pump: its kinds, and with speed feedback its state (0 stop,
    // 2 run), RPM and temperature; the ignition pump reports the six-valued
    // state (2 stop, 4 run, 5 braking).
    v.mainPumpEcuKind = m_hardware.mainPumpEcuKind;
    v.mainPumpTcuKind = m_hardware.mainPumpTcuKind;
    if (m_hardware.brushlessPump) {
        v.mainPumpState = m_pumpVoltage > 0.05 ? 2 : 0;
        v.mainPumpRpm = static_cast<int32_t>(std::lround(m_pumpVoltage * 3200.0));
        v.mainPumpTemperature = static_cast<int16_t>(std::lround(m_pumpTemperature));
    }
    v.ignitionPumpState = m_ignitionPumpOn ? 4 : (m_ignitionPumpRpm > 100.0 ? 5 : 2);
    v.ignitionPumpRpm = static_cast<int32_t>(std::lround(m_ignitionPumpRpm));
    v.ignitionPumpTemperature = static_cast<int16_t>(std::lround(ambient + 2.0));
    v.rpmControlState = m_tuning.rpmControl;

    v.sensorGroup1 = m_hardware.sensorGroup1;
    v.sensorValue1 = m_hardware.sensorValue1;
    v.sensorValue2 = m_hardware.sensorValue2;
    v.thrustSensor = m_hardware.thrustSensor;
    v.thrustKg = m_hardware.maxThrustKg * std::pow(m_rpm / full, 2.0);
    m_values = v;
}

} // namespace sim
