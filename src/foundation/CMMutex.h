#pragma once

#include "foundation/CMSemaphore.h"

// A lock made of a semaphore with count 1. Not re-entrant and without owner:
// any thread may unlock it, and a thread that locks it twice blocks itself.
//
// Thread safety: Lock and Unlock from any thread.
class CMMutex {
public:
    CMMutex();
    virtual ~CMMutex();
    CMMutex(const CMMutex&) = delete;
    CMMutex& operator=(const CMMutex&) = delete;

    // Waits without limit; 1 when taken.
    int Lock() { return m_semaphore.Wait(-1); }
    // Waits at most timeoutMs; 1 when taken.
    [[nodiscard]] int TryLock(int32_t timeoutMs) { return m_semaphore.Wait(timeoutMs); }
    int Unlock() { return m_semaphore.Release(); }

private:
    CMSemaphore m_semaphore;
};

// Holds a CMMutex for one scope.
class CMLockGuard {
public:
    explicit CMLockGuard(CMMutex& mutex)
        : m_mutex(mutex)
        , m_locked(mutex.Lock() != 0) {}
    ~CMLockGuard() {
        if (m_locked) {
            m_mutex.Unlock();
        }
    }
    CMLockGuard(const CMLockGuard&) = delete;
    CMLockGuard& operator=(const CMLockGuard&) = delete;

    [[nodiscard]] bool locked() const { return m_locked; }

private:
    CMMutex& m_mutex;
    bool m_locked;
};
