#pragma once

#include "sim/BusUnit.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

namespace sim {

// The simulated engine bus: routes each register transaction to the unit
// attached at its address (0..31).
//
// Thread safety: every operation may be called from any thread; transactions
// are serialised by one lock, so units need no lock for their registers.
class Bus {
public:
    // Attaches (or with null detaches) the unit at address; not owned.
    void Attach(uint8_t address, BusUnit* unit);

    // False when no unit is attached at the address or it does not answer.
    bool Read(uint8_t address, uint8_t reg, uint8_t length, uint8_t* out);
    bool Write(uint8_t address, uint8_t reg, std::span<const uint8_t> data);

    // Runs fn with the bus lock held, for tests and models that need to change
    // a unit's state between transactions.
    template <typename Fn>
    void WithLock(Fn&& fn) {
        std::lock_guard lock(m_lock);
        fn();
    }

private:
    std::mutex m_lock;
    std::array<BusUnit*, 32> m_units{};
};

} // namespace sim
