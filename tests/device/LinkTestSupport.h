#pragma once

#include "platform/Clock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace linktest {

// Polls cond every millisecond for at most timeoutMs; true once it holds.
template <typename Cond>
bool WaitFor(Cond cond, int32_t timeoutMs = 2000) {
    const uint32_t start = platform::TickCount();
    while (!cond()) {
        if (static_cast<int32_t>(platform::TickCount() - start) > timeoutMs) {
            return false;
        }
        platform::SleepMs(1);
    }
    return true;
}

// What a device does with OnLinkState: records every call and accepts or
// refuses as the test says.
class LinkStateLog {
public:
    int32_t Offer(int32_t connected, int32_t linkType) {
        std::lock_guard lock(m_lock);
        m_calls.emplace_back(connected, linkType);
        return m_accept.load() ? 1 : 0;
    }
    void SetAccept(bool accept) { m_accept = accept; }
    std::vector<std::pair<int32_t, int32_t>> Calls() const {
        std::lock_guard lock(m_lock);
        return m_calls;
    }
    size_t Count(int32_t connected) const {
        std::lock_guard lock(m_lock);
        size_t n = 0;
        for (const auto& c : m_calls) {
            n += c.first == connected ? 1 : 0;
        }
        return n;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::pair<int32_t, int32_t>> m_calls;
    std::atomic<bool> m_accept{true};
};

} // namespace linktest
