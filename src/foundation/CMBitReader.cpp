#include "foundation/CMBitReader.h"

uint32_t CMBitReader::ReadBits(uint8_t width) {
    if (width > 32) {
        width = 32;
    }
    uint32_t result = 0;
    uint32_t shift = 0;
    while (width > 0 && position < size && data != nullptr) {
        const uint8_t take = bitsLeft < width ? bitsLeft : width;
        const uint32_t bits =
            (static_cast<uint32_t>(data[position]) >> (8 - bitsLeft)) & ((1u << take) - 1u);
        result |= bits << shift;
        shift += take;
        width = static_cast<uint8_t>(width - take);
        if (take == bitsLeft) {
            ++position;
            bitsLeft = 8;
        } else {
            bitsLeft = static_cast<uint8_t>(bitsLeft - take);
        }
    }
    return result;
}
