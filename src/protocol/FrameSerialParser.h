#pragma once

#include "protocol/FrameSerial.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace frames {

// Receives the serial link's byte stream one byte at a time and recognises
// reply frames: the bytes collected between two 0x7E, unstuffed, count as a
// reply when there are more than 2 and the first is 0x38.
//
// A frame longer than the buffer, or an escape followed by anything but 5E or
// 5D, is abandoned; nothing is ever stored past the buffer.
//
// Thread safety: none; the link's receive thread owns it.
class FrameSerialParser {
public:
    static constexpr size_t kCapacity = kSerialFrameBuffer;

    // Takes one byte; true when it completed a reply, which frame() then holds
    // until the next reply completes.
    bool Feed(uint8_t byte);

    // Back to not receiving, nothing collected.
    void Reset();

    [[nodiscard]] std::span<const uint8_t> frame() const { return {m_frame.data(), m_frameLength}; }
    [[nodiscard]] bool receiving() const { return m_receiving; }

private:
    void Abandon();

    std::array<uint8_t, kCapacity> m_collected{};
    size_t m_count = 0;
    bool m_receiving = false;
    bool m_escaped = false;
    std::array<uint8_t, kCapacity> m_frame{};
    size_t m_frameLength = 0;
};

} // namespace frames
