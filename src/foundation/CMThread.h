#pragma once

#include <cstdint>
#include <memory>

namespace platform {
class Thread;
}

// Holds one background thread that calls one routine with one argument.
//
// Stopping is cooperative: the owner clears its running flag and unblocks
// whatever its loop waits on (shuts a socket down, closes a device, releases a
// semaphore), then calls Stop, which joins. A forced end could leave a lock
// held, so there is none; every loop must therefore notice its flag within a
// bounded time.
//
// Thread safety: Start and Stop are called by the owner only.
class CMThread {
public:
    using Routine = void (*)(void* userData);

    CMThread();
    ~CMThread(); // joins a thread still running
    CMThread(const CMThread&) = delete;
    CMThread& operator=(const CMThread&) = delete;

    // Starts the thread at once; 1 if it was created. A null routine makes a
    // thread that ends at once.
    [[nodiscard]] int Start(Routine routine, void* userData);

    // Waits for the thread to end; 1 if a thread was joined, 0 if none was
    // started, it was already joined, or Stop is called from the thread itself.
    int Stop();

    [[nodiscard]] uint32_t GetThreadId() const { return m_threadId; }

private:
    std::unique_ptr<platform::Thread> m_thread;
    uint32_t m_threadId = 0;
    void* m_userData = nullptr;
    Routine m_routine = nullptr;
};
