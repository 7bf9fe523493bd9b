#include "foundation/CMBitReader.h"

#include <gtest/gtest.h>

TEST(CMBitReader, FieldsAreTakenLeastSignificantBitFirstAcrossBytes) {
    const uint8_t bytes[] = {0xB4, 0x01};
    CMBitReader r(bytes, 2);
    EXPECT_EQ(r.ReadBits(2), 0u);
    EXPECT_EQ(r.ReadBits(4), 13u);
    EXPECT_EQ(r.ReadBits(4), 6u);
    EXPECT_EQ(r.ReadBits(6), 0u);
    EXPECT_EQ(r.position, 2);
}

TEST(CMBitReader, ByteAlignedReadsAreLittleEndian) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56};
    CMBitReader r(bytes, 3);
    EXPECT_EQ(r.ReadBits(8), 0x12u);
    EXPECT_EQ(r.position, 1);
    EXPECT_EQ(r.ReadBits(16), 0x5634u);
}

TEST(CMBitReader, FourteenBitFieldStartingAtBitTwo) {
    // Bits 2..7 of byte 0 become bits 0..5, byte 1 becomes bits 6..13.
    const uint8_t bytes[] = {0xFC, 0xA5};
    CMBitReader r(bytes, 2);
    r.SkipBits(2);
    EXPECT_EQ(r.ReadBits(14), (0xA5u << 6) | 0x3Fu);
}

TEST(CMBitReader, ReadingPastTheEndGivesZeroHighBitsAndStops) {
    const uint8_t bytes[] = {0x34, 0x12};
    CMBitReader r(bytes, 2);
    EXPECT_EQ(r.ReadBits(32), 0x1234u);
    EXPECT_EQ(r.position, 2);
    EXPECT_EQ(r.ReadBits(8), 0u);
    EXPECT_EQ(r.ReadBits(1), 0u);
}

TEST(CMBitReader, WidthZeroDoesNotMoveAndWideFieldsAreCapped) {
    const uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01};
    CMBitReader r(bytes, 5);
    EXPECT_EQ(r.ReadBits(0), 0u);
    EXPECT_EQ(r.position, 0);
    EXPECT_EQ(r.bitsLeft, 8);
    EXPECT_EQ(r.ReadBits(40), 0xFFFFFFFFu);
    EXPECT_EQ(r.ReadBits(8), 0x01u);
}

TEST(CMBitReader, NullBufferReadsZero) {
    CMBitReader r(nullptr, 4);
    EXPECT_EQ(r.ReadBits(16), 0u);
}
