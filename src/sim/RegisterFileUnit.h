#pragma once

#include "sim/BusUnit.h"

#include <array>
#include <cstdint>
#include <span>

namespace sim {

// A bus unit with sixteen plain 32-byte registers: a read returns the first
// bytes of the register, a write stores its bytes from the start. For link
// tests and benchmarks, where what the registers mean does not matter.
//
// Thread safety: called with the bus lock held, like every unit; tests use
// Bus::WithLock to look at or change registers while links run.
class RegisterFileUnit : public BusUnit {
public:
    static constexpr size_t kRegisterSize = 32;

    bool ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) override;
    bool WriteRegister(uint8_t reg, std::span<const uint8_t> data) override;

    // Fills register reg with bytes (the rest unchanged).
    void Set(uint8_t reg, std::span<const uint8_t> bytes);
    [[nodiscard]] std::span<const uint8_t> Get(uint8_t reg) const {
        return m_registers[reg & 0x0F];
    }

    // Makes reads, writes or both fail (the unit does not answer).
    void SetSilent(bool reads, bool writes) {
        m_silentReads = reads;
        m_silentWrites = writes;
    }

    [[nodiscard]] uint32_t Reads() const { return m_reads; }
    [[nodiscard]] uint32_t Writes() const { return m_writes; }

private:
    std::array<std::array<uint8_t, kRegisterSize>, 16> m_registers{};
    bool m_silentReads = false;
    bool m_silentWrites = false;
    uint32_t m_reads = 0;
    uint32_t m_writes = 0;
};

} // namespace sim
