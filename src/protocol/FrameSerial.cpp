#include "protocol/FrameSerial.h"

#include "protocol/FrameHeader.h"

#include <algorithm>

namespace frames {

size_t BuildSerialPayload(uint8_t sequence,
                          uint8_t unit,
                          uint8_t reg,
                          bool write,
                          uint8_t length,
                          const uint8_t* data,
                          std::array<uint8_t, kSerialMaxPayload>& out) {
    if (!ValidLength(length) || (write && data == nullptr)) {
        return 0;
    }
    const size_t n = write ? length : 0;
    out[0] = kSerialRequestMarker;
    out[1] = sequence;
    out[2] = 0x00;
    out[3] = static_cast<uint8_t>(n + 3);
    out[4] = write ? 1 : static_cast<uint8_t>(length + 1);
    out[5] = HeaderA(unit, reg, write);
    out[6] = HeaderB(reg, length);
    std::copy_n(data, n, out.begin() + 7);
    out[7 + n] = CheckByte(std::span<const uint8_t>(out.data() + 5, 2 + n));
    return 8 + n;
}

size_t StuffSerialFrame(std::span<const uint8_t> payload, std::array<uint8_t, kSerialFrameBuffer>& out) {
    size_t at = 0;
    auto put = [&](uint8_t b) {
        if (at >= out.size()) {
            return false;
        }
        out[at++] = b;
        return true;
    };
    if (!put(kSerialDelimiter)) {
        return 0;
    }
    for (uint8_t b : payload) {
        bool ok = true;
        if (b == kSerialDelimiter || b == kSerialEscape) {
            ok = put(kSerialEscape) && put(static_cast<uint8_t>(b ^ 0x20));
        } else {
            ok = put(b);
        }
        if (!ok) {
            return 0;
        }
    }
    return put(kSerialDelimiter) ? at : 0;
}

namespace {
// The reply payload of a reply with the expected echo, or an empty span.
std::span<const uint8_t> ReplyPayload(std::span<const uint8_t> reply, uint8_t sequence) {
    if (reply.size() < 4 || reply[0] != kSerialReplyMarker || reply[1] != sequence) {
        return {};
    }
    const size_t payloadLength = reply[3];
    if (reply.size() < 4 + payloadLength) {
        return {};
    }
    return reply.subspan(4, payloadLength);
}
} // namespace

bool JudgeSerialReadReply(std::span<const uint8_t> reply, uint8_t sequence, uint8_t length, uint8_t* out) {
    if (!ValidLength(length)) {
        return false;
    }
    const auto payload = ReplyPayload(reply, sequence);
    if (payload.size() != static_cast<size_t>(length) + 1) {
        return false;
    }
    const auto bytes = payload.first(length);
    if (payload[length] != CheckByte(bytes)) {
        return false;
    }
    if (out != nullptr) {
        std::copy(bytes.begin(), bytes.end(), out);
    }
    return true;
}

bool JudgeSerialWriteReply(std::span<const uint8_t> reply, uint8_t sequence) {
    const auto payload = ReplyPayload(reply, sequence);
    return payload.size() == 1 && payload[0] == kSerialAck;
}

} // namespace frames
