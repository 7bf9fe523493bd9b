#pragma once

#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace sim {

class Bus;
class SimEcu;

// Moves simulated units along in real time for the turbex-sim executable: a
// thread calls the step function about every period with the milliseconds
// that really passed (at most one second per call, so a stalled machine does
// not make the engine jump).
//
// Stop() (and the destructor) wake the thread at once and join it; no step
// runs after it returns.
//
// Thread safety: Start and Stop by the owner. The step runs on the driver's
// thread; the (Bus, SimEcu) constructor wraps each step in the bus lock.
class RealTimeDriver {
public:
    using StepFunction = std::function<void(uint32_t elapsedMs)>;

    explicit RealTimeDriver(StepFunction step, uint32_t periodMs = 20);
    // Steps ecu under bus's lock.
    RealTimeDriver(Bus& bus, SimEcu& ecu, uint32_t periodMs = 20);
    ~RealTimeDriver();
    RealTimeDriver(const RealTimeDriver&) = delete;
    RealTimeDriver& operator=(const RealTimeDriver&) = delete;

    // False if already running or the thread could not start.
    [[nodiscard]] bool Start();
    void Stop();
    [[nodiscard]] bool Running() const { return m_running.load(); }
    [[nodiscard]] uint64_t Steps() const { return m_steps.load(); }

private:
    static void ThreadMain(void* self);
    void Run();

    StepFunction m_step;
    uint32_t m_periodMs;
    CMSemaphore m_wake; // released by Stop
    CMThread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_steps{0};
};

} // namespace sim
