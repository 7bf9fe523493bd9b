#include "platform/Semaphore.h"

#include <algorithm>
#include <chrono>

namespace platform {

Semaphore::Semaphore(int32_t initial, int32_t maximum)
    : m_count(std::clamp(initial, 0, maximum))
    , m_maximum(maximum) {}

bool Semaphore::wait(int32_t timeoutMs) {
    std::unique_lock lock(m_lock);
    auto available = [this] { return m_count > 0; };
    if (timeoutMs < 0) {
        m_changed.wait(lock, available);
    } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), available)) {
        return false;
    }
    --m_count;
    return true;
}

bool Semaphore::release() {
    {
        std::lock_guard lock(m_lock);
        if (m_count >= m_maximum) {
            return false;
        }
        ++m_count;
    }
    m_changed.notify_one();
    return true;
}

} // namespace platform
