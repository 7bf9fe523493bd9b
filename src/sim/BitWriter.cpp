#include "sim/BitWriter.h"

namespace sim {

void BitWriter::WriteBits(uint32_t value, uint8_t width) {
    if (width > 32) {
        width = 32;
    }
    for (uint8_t i = 0; i < width; ++i, ++m_bitPosition) {
        const uint32_t byte = m_bitPosition / 8;
        if (byte >= m_buffer.size()) {
            m_overflowed = true;
            m_bitPosition += width - i;
            return;
        }
        if ((value >> i) & 1u) {
            m_buffer[byte] = static_cast<uint8_t>(m_buffer[byte] | (1u << (m_bitPosition % 8)));
        }
    }
}

void BitWriter::WriteClamped(int64_t value, uint8_t width) {
    if (width > 32) {
        width = 32;
    }
    const int64_t maximum = (int64_t{1} << width) - 1;
    if (value < 0) {
        value = 0;
    } else if (value > maximum) {
        value = maximum;
    }
    WriteBits(static_cast<uint32_t>(value), width);
}

} // namespace sim
