#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The bytes of a register transaction on the TCP link to the bridge.
//
// Request: FF FE FD, header A, header B, the data of a write, check byte over
// the headers and data. Reply: FF FE FD, then the data of a read, or FF as the
// acknowledgement of a write. The reply carries no check byte.
namespace frames {

inline constexpr size_t kSocketMaxRequest = 6 + 32;
inline constexpr uint8_t kSocketPreamble[3] = {0xFF, 0xFE, 0xFD};
inline constexpr uint8_t kSocketAck = 0xFF;

// Builds the request into out and returns its length (6 + n), or 0 for an
// invalid length or a write without data.
size_t BuildSocketRequest(uint8_t unit,
                          uint8_t reg,
                          bool write,
                          uint8_t length,
                          const uint8_t* data,
                          std::array<uint8_t, kSocketMaxRequest>& out);

// Bytes of one complete reply: 3 + length for a read, 4 for a write.
[[nodiscard]] constexpr size_t SocketReplyLength(bool write, uint8_t length) {
    return write ? 4 : 3 + static_cast<size_t>(length);
}

// Judges the reply to a read of length bytes; on acceptance copies the data
// to out (length bytes). Only the bytes of reply are looked at.
[[nodiscard]] bool JudgeSocketReadReply(std::span<const uint8_t> reply, uint8_t length, uint8_t* out);

// Judges the acknowledgement of a write.
[[nodiscard]] bool JudgeSocketWriteReply(std::span<const uint8_t> reply);

} // namespace frames
