#pragma once

#include <cstdint>
#include <span>

namespace sim {

// Packs consecutive bit fields into a byte buffer, least significant bit
// first: the low bits of a value land in the lowest free bits of the current
// byte, and a field may span byte boundaries. The mirror of CMBitReader, so
// that the simulated ECU can build the packets the tool reads.
//
// Bits that would land past the end of the buffer are dropped; Overflowed()
// then tells. The buffer is not cleared: fields are ORed into zeroed bytes, so
// hand it over zero-filled.
class BitWriter {
public:
    explicit BitWriter(std::span<uint8_t> buffer)
        : m_buffer(buffer) {}

    // Writes the low width bits (0..32) of value. Higher bits are ignored.
    void WriteBits(uint32_t value, uint8_t width);

    // Writes value saturated to 0..2^width-1, so an out-of-range value shows as
    // the nearest value the field holds instead of wrapping into another one.
    void WriteClamped(int64_t value, uint8_t width);

    // Leaves width bits as they are (zero in a fresh buffer).
    void Skip(uint32_t width) { m_bitPosition += width; }

    [[nodiscard]] uint32_t BitPosition() const { return m_bitPosition; }
    [[nodiscard]] bool Overflowed() const { return m_overflowed; }

private:
    std::span<uint8_t> m_buffer;
    uint32_t m_bitPosition = 0;
    bool m_overflowed = false;
};

} // namespace sim
