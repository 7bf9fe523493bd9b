#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// A counting semaphore with a fixed maximum, as the foundation's primitives
// expect of the operating system.
//
// Thread safety: every operation may be called from any thread.
class Semaphore {
public:
    static constexpr int32_t kMaxCount = 32768;

    // initial is clamped to 0..maximum.
    explicit Semaphore(int32_t initial, int32_t maximum = kMaxCount);

    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Takes one count. timeoutMs < 0 waits without limit; 0 only tries.
    // Returns true when a count was taken, false on time-out.
    [[nodiscard]] bool wait(int32_t timeoutMs);

    // Adds one count and wakes one waiter; false when already at the maximum.
    bool release();

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int32_t m_count;
    const int32_t m_maximum;
};

} // namespace platform
