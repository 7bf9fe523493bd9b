#pragma once

#include "sim/EngineModel.h"

#include <cstdint>

namespace sim {

// Flies the simulated engine on its own, over and over, so that a
// demonstration shows an engine at work without anyone at the radio: a rest
// with the switch on (the tool reads the stored run log meanwhile), a start,
// the throttle run up from idle to full and back down, a spell at idle, a
// stop and the cool-down, then the next rest.
//
// The pilot follows the engine rather than a clock of its own: it waits
// while an actuator test or a start runs, takes over an engine someone else
// started, and a fault that shuts the engine down simply ends the run (the
// switch is cycled at the next rest to clear a latched error).
//
// Thread safety: none; called with the engine model it flies (SimEcu::Step,
// under the bus lock).
class DemoPilot {
public:
    struct Timing {
        uint32_t restMs = 6000;      // stopped, before each start
        uint32_t rampUpMs = 20000;   // throttle 0 -> 100 %
        uint32_t holdMs = 5000;      // at full throttle
        uint32_t rampDownMs = 20000; // throttle 100 -> 0 %
        uint32_t idleMs = 6000;      // at idle, before the stop
    };
    enum class Phase : uint8_t { Rest, Starting, Running, Cooling };

    DemoPilot()
        : DemoPilot(Timing{}) {}
    explicit DemoPilot(const Timing& timing)
        : m_timing(timing) {}

    // Moves the pilot on by ms: sets the switch, throttle, start and stop of
    // model. Call before model.Step(ms).
    void Step(uint32_t ms, EngineModel& model);

    [[nodiscard]] Phase CurrentPhase() const { return m_phase; }
    // Runs finished (stopped again after a start).
    [[nodiscard]] uint32_t Runs() const { return m_runs; }

private:
    void Enter(Phase phase);
    // The throttle (%) of the running profile ms after the engine ran up.
    [[nodiscard]] double ThrottleAt(uint32_t ms) const;
    // Length of the running profile, ms.
    [[nodiscard]] uint32_t RunningMs() const;

    Timing m_timing;
    Phase m_phase = Phase::Rest;
    uint32_t m_phaseMs = 0;
    uint32_t m_runs = 0;
};

} // namespace sim
