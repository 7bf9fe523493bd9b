#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The bytes of a register transaction on the serial adapter: a payload with
// request marker, sequence byte and the common header, byte-stuffed between
// 0x7E delimiters (0x7E → 7D 5E, 0x7D → 7D 5D).
namespace frames {

inline constexpr uint8_t kSerialDelimiter = 0x7E;
inline constexpr uint8_t kSerialEscape = 0x7D;
inline constexpr uint8_t kSerialRequestMarker = 0xC7;
inline constexpr uint8_t kSerialReplyMarker = 0x38;
inline constexpr uint8_t kSerialAck = 0xFF;
inline constexpr size_t kSerialMaxPayload = 8 + 32;
inline constexpr size_t kSerialFrameBuffer = 256;
// Marker, sequence, unused, length, then at most 32 data bytes and the check.
inline constexpr size_t kSerialMaxReply = 4 + 32 + 1;

// Builds the request payload (before stuffing) and returns its length (8 + n),
// or 0 for an invalid length or a write without data.
//   [0] C7  [1] sequence  [2] 00  [3] n + 3  [4] expected reply payload length
//   (read: length + 1, write: 1)  [5] header A  [6] header B  [7..] data
//   [7 + n] check byte over [5 .. 6 + n]
size_t BuildSerialPayload(uint8_t sequence,
                          uint8_t unit,
                          uint8_t reg,
                          bool write,
                          uint8_t length,
                          const uint8_t* data,
                          std::array<uint8_t, kSerialMaxPayload>& out);

// Stuffs payload between delimiters into out; returns the frame length, or 0
// if it would not fit.
size_t StuffSerialFrame(std::span<const uint8_t> payload, std::array<uint8_t, kSerialFrameBuffer>& out);

// Judges a received reply payload (after unstuffing, delimiters removed):
//   [0] 38  [1] sequence echoed  [2] not tested  [3] reply payload length
//   [4..] reply payload.
// A read is accepted when the echo matches, the payload length is length + 1
// and its last byte is the check byte over the length data bytes before it;
// the data are copied to out. A write is accepted when the echo matches and
// the payload is the single byte FF.
[[nodiscard]] bool JudgeSerialReadReply(std::span<const uint8_t> reply,
                                        uint8_t sequence,
                                        uint8_t length,
                                        uint8_t* out);
[[nodiscard]] bool JudgeSerialWriteReply(std::span<const uint8_t> reply, uint8_t sequence);

} // namespace frames
