#include "sim/DemoPilot.h"

namespace sim {

namespace {

bool AtRest(uint8_t state) {
    return state == EngineState::Stop || state == EngineState::Ready;
}

} // namespace

uint32_t DemoPilot::RunningMs() const {
    return m_timing.rampUpMs + m_timing.holdMs + m_timing.rampDownMs + m_timing.idleMs;
}

double DemoPilot::ThrottleAt(uint32_t ms) const {
    if (ms < m_timing.rampUpMs) {
        return 100.0 * ms / m_timing.rampUpMs;
    }
    ms -= m_timing.rampUpMs;
    if (ms < m_timing.holdMs) {
        return 100.0;
    }
    ms -= m_timing.holdMs;
    if (ms < m_timing.rampDownMs) {
        return 100.0 - 100.0 * ms / m_timing.rampDownMs;
    }
    return 0.0;
}

void DemoPilot::Enter(Phase phase) {
    m_phase = phase;
    m_phaseMs = 0;
}

void DemoPilot::Step(uint32_t ms, EngineModel& model) {
    m_phaseMs += ms;
    const uint8_t state = model.State();
    switch (m_phase) {
    case Phase::Rest:
        model.SetThrottle(0.0);
        if (model.ErrorCode() != 0) {
            model.SetSwitch(false); // acknowledges the latched error
        }
        model.SetSwitch(true);
        if (state == EngineState::Running) {
            Enter(Phase::Running); // started by someone else: flown from idle
        } else if (state == EngineState::Ignition || state == EngineState::Preheat ||
                   state == EngineState::FuelRamp) {
            Enter(Phase::Starting);
        } else if (state == EngineState::Cooling) {
            Enter(Phase::Cooling);
        } else if (!AtRest(state)) {
            m_phaseMs = 0; // an actuator test runs: the rest starts after it
        } else if (m_phaseMs >= m_timing.restMs) {
            if (model.RequestStart()) {
                Enter(Phase::Starting);
            } else {
                m_phaseMs = 0; // refused (a fault): try again after another rest
            }
        }
        break;
    case Phase::Starting:
        model.SetThrottle(0.0);
        if (state == EngineState::Running) {
            Enter(Phase::Running);
        } else if (AtRest(state) || state == EngineState::Cooling) {
            Enter(Phase::Cooling); // the start failed
        }
        break;
    case Phase::Running:
        if (state != EngineState::Running) {
            model.SetThrottle(0.0);
            Enter(Phase::Cooling); // shut down by a fault
        } else if (m_phaseMs >= RunningMs()) {
            model.SetThrottle(0.0);
            model.RequestStop();
            Enter(Phase::Cooling);
        } else {
            model.SetThrottle(ThrottleAt(m_phaseMs));
        }
        break;
    case Phase::Cooling:
        model.SetThrottle(0.0);
        if (AtRest(state)) {
            ++m_runs;
            Enter(Phase::Rest);
        }
        break;
    }
}

} // namespace sim
