#pragma once

#include <cstdint>
#include <span>

// Hands out consecutive bit fields of a byte buffer, least significant bit
// first: the first bits taken become the low bits of the result, and a field
// may span byte boundaries. Reading never goes past the end of the buffer;
// bits beyond it read as 0.
struct CMBitReader {
    const uint8_t* data = nullptr; // not owned
    uint16_t size = 0;             // bytes in data
    uint8_t bitsLeft = 8;          // unread bits of the current byte, 1..8
    uint16_t position = 0;         // index of the current byte

    CMBitReader() = default;
    CMBitReader(const uint8_t* bytes, uint16_t length)
        : data(bytes)
        , size(length) {}
    // Buffers longer than 65535 bytes are read up to that length.
    explicit CMBitReader(std::span<const uint8_t> bytes)
        : data(bytes.data())
        , size(static_cast<uint16_t>(bytes.size() > 0xFFFF ? 0xFFFF : bytes.size())) {}

    // Returns the next width bits (0..32; more are read as 32) and moves past
    // them. Width 0 returns 0 and does not move.
    uint32_t ReadBits(uint8_t width);

    // Skips width bits as ReadBits does.
    void SkipBits(uint8_t width) { (void)ReadBits(width); }
};
