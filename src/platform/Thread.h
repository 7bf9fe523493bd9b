#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// A joinable operating-system thread running one routine with one argument.
//
// There is no forced end: a thread can only be joined, so every loop that
// runs on one must be told to stop and must not block without bound.
//
// Thread safety: start and join are called by the owner only.
class Thread {
public:
    using Routine = void (*)(void* userData);

    Thread();
    ~Thread(); // joins a thread that is still joinable
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the thread at once; false if one is already running or the
    // system refused. A null routine makes a thread that ends at once.
    [[nodiscard]] bool start(Routine routine, void* userData);

    // Waits for the thread to end. False if there was nothing to join or the
    // caller is the thread itself (which would deadlock).
    bool join();

    [[nodiscard]] bool joinable() const;

    // Numeric id of the started thread, 0 before the first start.
    [[nodiscard]] uint32_t id() const { return m_id; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    uint32_t m_id = 0;
};

} // namespace platform
