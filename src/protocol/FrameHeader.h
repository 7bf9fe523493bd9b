#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The register transaction common to all three links: a unit address
// (0..31), a register (0..15), read or write, and 1..32 bytes.
namespace frames {

inline constexpr uint8_t kMaxLength = 32;

// Unit address in bits 7..3, 1 in bit 1 for a write, register bit 3 in bit 0.
[[nodiscard]] constexpr uint8_t HeaderA(uint8_t unit, uint8_t reg, bool write) {
    return static_cast<uint8_t>(((unit & 0x1F) << 3) | (write ? 0x02 : 0x00) | ((reg >> 3) & 0x01));
}

// Register bits 2..0 in bits 7..5, length - 1 in bits 4..0.
[[nodiscard]] constexpr uint8_t HeaderB(uint8_t reg, uint8_t length) {
    return static_cast<uint8_t>(((reg & 0x07) << 5) | ((length - 1) & 0x1F));
}

// The complement of the XOR of the bytes.
[[nodiscard]] uint8_t CheckByte(std::span<const uint8_t> bytes);

[[nodiscard]] constexpr bool ValidLength(size_t length) { return length >= 1 && length <= kMaxLength; }

} // namespace frames
