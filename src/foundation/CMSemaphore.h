#pragma once

#include <cstdint>
#include <memory>

namespace platform {
class Semaphore;
}

// A counting semaphore with maximum 32768: a lock when created with count 1,
// a signal when created with 0.
//
// Thread safety: Wait and Release may be called from any thread. Create and
// Close belong to the owner, while no other thread uses the semaphore.
class CMSemaphore {
public:
    static constexpr int32_t kMaximum = 32768;

    CMSemaphore();
    ~CMSemaphore();
    CMSemaphore(const CMSemaphore&) = delete;
    CMSemaphore& operator=(const CMSemaphore&) = delete;

    // 0 if it already exists (the existing one is kept); 1 once created.
    [[nodiscard]] int Create(int32_t initialCount);

    // timeoutMs < 0: no limit. 1 only when a count was taken; 0 on time-out or
    // when the semaphore was never created.
    [[nodiscard]] int Wait(int32_t timeoutMs);

    // Adds one; 0 when missing or already at the maximum.
    int Release();

    // 0 when there was nothing to close.
    int Close();

    [[nodiscard]] bool IsCreated() const { return m_handle != nullptr; }

private:
    std::unique_ptr<platform::Semaphore> m_handle;
};
