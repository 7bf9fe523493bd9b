#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// SHA-256 of a byte string, for recording which firmware image went into a
// unit. Incremental: Update any number of times, then Final once.
//
// Thread safety: none; one object per digest.
class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    void Update(std::span<const uint8_t> bytes);
    [[nodiscard]] Digest Final();

    // The digest of bytes, and as 64 lower-case hexadecimal digits.
    [[nodiscard]] static Digest Of(std::span<const uint8_t> bytes);
    [[nodiscard]] static std::string Hex(const Digest& digest);

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> m_state{};
    std::array<uint8_t, 64> m_buffer{};
    size_t m_buffered = 0;
    uint64_t m_length = 0; // bytes so far
};
