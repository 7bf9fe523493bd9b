#pragma once

#include <cstdint>
#include <span>

namespace sim {

// One unit on the simulated bus, answering register transactions as the real
// unit does. Called with the bus's lock held, one transaction at a time.
class BusUnit {
public:
    virtual ~BusUnit() = default;

    // Fills out with length (1..32) bytes of register reg (0..15).
    // False: the unit does not answer.
    virtual bool ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) = 0;

    // Applies a write of 1..32 bytes. False: not acknowledged.
    virtual bool WriteRegister(uint8_t reg, std::span<const uint8_t> data) = 0;
};

} // namespace sim
