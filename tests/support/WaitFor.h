#pragma once

#include <chrono>
#include <thread>

// Polls cond every millisecond until it holds or timeoutMs passes; the
// time-out only bounds a failing test, it is never a speed assertion.
template <typename Cond>
bool WaitFor(Cond cond, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
