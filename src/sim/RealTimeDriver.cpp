#include "sim/RealTimeDriver.h"

#include "platform/Clock.h"
#include "sim/Bus.h"
#include "sim/SimEcu.h"

#include <algorithm>

namespace sim {

RealTimeDriver::RealTimeDriver(StepFunction step, uint32_t periodMs)
    : m_step(std::move(step))
    , m_periodMs(periodMs == 0 ? 1 : periodMs) {}

RealTimeDriver::RealTimeDriver(Bus& bus, SimEcu& ecu, uint32_t periodMs)
    : RealTimeDriver([&bus, &ecu](uint32_t ms) { bus.WithLock([&] { ecu.Step(ms); }); }, periodMs) {
}

RealTimeDriver::~RealTimeDriver() {
    Stop();
}

bool RealTimeDriver::Start() {
    if (m_running.load() || !m_step) {
        return false;
    }
    if (!m_wake.IsCreated() && m_wake.Create(0) == 0) {
        return false;
    }
    // A wake left over from an earlier Stop must not end the new run at once.
    while (m_wake.Wait(0) != 0) {
    }
    m_running.store(true);
    if (m_thread.Start(&RealTimeDriver::ThreadMain, this) == 0) {
        m_running.store(false);
        return false;
    }
    return true;
}

void RealTimeDriver::Stop() {
    if (!m_running.exchange(false)) {
        return;
    }
    m_wake.Release();
    m_thread.Stop();
}

void RealTimeDriver::ThreadMain(void* self) {
    static_cast<RealTimeDriver*>(self)->Run();
}

void RealTimeDriver::Run() {
    uint32_t last = platform::TickCount();
    while (m_running.load()) {
        if (m_wake.Wait(static_cast<int32_t>(m_periodMs)) != 0) {
            break; // Stop
        }
        const uint32_t now = platform::TickCount();
        const uint32_t elapsed = std::min<uint32_t>(now - last, 1000);
        last = now;
        if (elapsed > 0 && m_running.load()) {
            m_step(elapsed);
            m_steps.fetch_add(1);
        }
    }
}

} // namespace sim
