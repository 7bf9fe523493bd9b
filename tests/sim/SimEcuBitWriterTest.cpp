#include "foundation/CMBitReader.h"
#include "sim/BitWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using sim::BitWriter;

TEST(BitWriter, MirrorsTheReaderExample) {
    // The reader takes 0 (2 bits), 13 (4), 6 (4), 0 (6) out of B4 01.
    std::array<uint8_t, 2> bytes{};
    BitWriter w(bytes);
    w.WriteBits(0, 2);
    w.WriteBits(13, 4);
    w.WriteBits(6, 4);
    w.WriteBits(0, 6);
    EXPECT_EQ(bytes[0], 0xB4);
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_EQ(w.BitPosition(), 16u);
    EXPECT_FALSE(w.Overflowed());
}

TEST(BitWriter, FieldSpanningBytesAndHigherBitsIgnored) {
    std::array<uint8_t, 3> bytes{};
    BitWriter w(bytes);
    w.Skip(2);
    w.WriteBits(0xFFFFA5FFu, 14); // only the low 14 bits: 0x25FF
    // Bits 0..5 of the value go to bits 2..7 of byte 0, bits 6..13 to byte 1.
    EXPECT_EQ(bytes[0], 0xFC);
    EXPECT_EQ(bytes[1], 0x97);
    EXPECT_EQ(bytes[2], 0x00);
}

TEST(BitWriter, RoundTripsThroughTheReader) {
    const std::vector<std::pair<uint32_t, uint8_t>> fields = {
        {5, 3}, {0x3FF, 10}, {1, 1}, {0xABCDE, 20}, {0, 7}, {0xFFFFFFFFu, 32}, {0x12, 5}, {77, 8}};
    std::array<uint8_t, 16> bytes{};
    BitWriter w(bytes);
    for (const auto& [value, width] : fields) {
        w.WriteBits(value, width);
    }
    CMBitReader r(bytes);
    for (const auto& [value, width] : fields) {
        const uint32_t mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
        EXPECT_EQ(r.ReadBits(width), value & mask) << "width " << int(width);
    }
}

TEST(BitWriter, ClampedWritesSaturateInsteadOfWrapping) {
    struct Case {
        int64_t value;
        uint8_t width;
        uint8_t expected;
    };
    const Case cases[] = {{300, 8, 255}, {-5, 8, 0}, {16, 4, 15}, {9, 4, 9}, {128, 7, 127}};
    for (const Case& c : cases) {
        std::array<uint8_t, 1> byte{};
        BitWriter w(byte);
        w.WriteClamped(c.value, c.width);
        EXPECT_EQ(byte[0], c.expected) << c.value << " in " << int(c.width) << " bits";
    }
}

TEST(BitWriter, BitsPastTheEndAreDroppedAndReported) {
    std::array<uint8_t, 4> storage{};
    std::span<uint8_t> buffer(storage.data(), 2); // bytes 2 and 3 guard the end
    BitWriter w(buffer);
    w.WriteBits(0x3FFF, 14);
    EXPECT_FALSE(w.Overflowed());
    w.WriteBits(0xFF, 8); // two bits fit, six do not
    EXPECT_TRUE(w.Overflowed());
    EXPECT_EQ(storage[1], 0xFF);
    EXPECT_EQ(storage[2], 0x00);
    EXPECT_EQ(storage[3], 0x00);
}
