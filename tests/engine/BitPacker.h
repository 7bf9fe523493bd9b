#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

// Builds a 32-byte register image for the tests: a header byte, then fields
// packed least significant bit first, written independently of the decoder's
// bit reader.
class BitPacker {
public:
    explicit BitPacker(uint8_t header = 0) { bytes[0] = header; }

    // Packet header for packet k of a set of n.
    static uint8_t Header(int n, int k) { return static_cast<uint8_t>((k << 3) | n); }

    BitPacker& put(uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            if (((value >> i) & 1u) != 0) {
                bytes[1 + m_bit / 8] |= static_cast<uint8_t>(1u << (m_bit % 8));
            }
            ++m_bit;
        }
        return *this;
    }

    // Fields as (value, width) pairs.
    BitPacker& put(std::initializer_list<std::pair<uint32_t, int>> fields) {
        for (const auto& [v, w] : fields) {
            put(v, w);
        }
        return *this;
    }

    [[nodiscard]] int bits() const { return m_bit; }

    std::array<uint8_t, 32> bytes{};

private:
    int m_bit = 0;
};
