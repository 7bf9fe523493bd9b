#include "protocol/FrameSocket.h"

#include "protocol/FrameHeader.h"

#include <algorithm>

namespace frames {

namespace {
bool HasPreamble(std::span<const uint8_t> reply) {
    return reply.size() >= 3 && std::equal(reply.begin(), reply.begin() + 3, kSocketPreamble);
}
} // namespace

size_t BuildSocketRequest(uint8_t unit,
                          uint8_t reg,
                          bool write,
                          uint8_t length,
                          const uint8_t* data,
                          std::array<uint8_t, kSocketMaxRequest>& out) {
    if (!ValidLength(length) || (write && data == nullptr)) {
        return 0;
    }
    const size_t n = write ? length : 0;
    out[0] = kSocketPreamble[0];
    out[1] = kSocketPreamble[1];
    out[2] = kSocketPreamble[2];
    out[3] = HeaderA(unit, reg, write);
    out[4] = HeaderB(reg, length);
    std::copy_n(data, n, out.begin() + 5);
    out[5 + n] = CheckByte(std::span<const uint8_t>(out.data() + 3, 2 + n));
    return 6 + n;
}

bool JudgeSocketReadReply(std::span<const uint8_t> reply, uint8_t length, uint8_t* out) {
    if (!ValidLength(length) || !HasPreamble(reply) || reply.size() < 3u + length) {
        return false;
    }
    if (out != nullptr) {
        std::copy_n(reply.begin() + 3, length, out);
    }
    return true;
}

bool JudgeSocketWriteReply(std::span<const uint8_t> reply) {
    return HasPreamble(reply) && reply.size() >= 4 && reply[3] == kSocketAck;
}

} // namespace frames
