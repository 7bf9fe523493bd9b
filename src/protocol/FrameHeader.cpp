#include "protocol/FrameHeader.h"

namespace frames {

uint8_t CheckByte(std::span<const uint8_t> bytes) {
    uint8_t x = 0;
    for (uint8_t b : bytes) {
        x ^= b;
    }
    return static_cast<uint8_t>(~x);
}

} // namespace frames
