#include "engine/CEcuPacketSet.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

std::array<uint8_t, 32> Packet(uint8_t header) {
    std::array<uint8_t, 32> p{};
    p[0] = header;
    return p;
}

uint8_t H(int n, int k) {
    return static_cast<uint8_t>((k << 3) | n);
}

struct SetCase {
    const char* name;
    std::vector<uint8_t> headers; // reads in arrival order
    int readsUntilComplete;       // 0 = never completes within the reads given
    uint8_t mask;
};

class PacketSetCases : public ::testing::TestWithParam<SetCase> {};

TEST_P(PacketSetCases, CompletesAfterTheExpectedRead) {
    const SetCase& c = GetParam();
    CEcuPacketSet set;
    int completedAt = 0;
    for (size_t i = 0; i < c.headers.size(); ++i) {
        auto p = Packet(c.headers[i]);
        set.Add(p);
        if (set.Complete() && completedAt == 0) {
            completedAt = static_cast<int>(i) + 1;
        }
    }
    EXPECT_EQ(completedAt, c.readsUntilComplete);
    EXPECT_EQ(set.ReceivedMask(), c.mask);
}

INSTANTIATE_TEST_SUITE_P(
    CEcuPacketSet,
    PacketSetCases,
    ::testing::Values(
        SetCase{"TwoPacketsOutOfOrder", {H(2, 2), H(2, 1)}, 2, 0x03},
        SetCase{"HeaderZeroEndsAtOnce", {0x00}, 1, 0x00},
        SetCase{"ImpossibleHeadersIgnored", {H(2, 0), H(2, 3), H(2, 1), H(2, 2)}, 4, 0x03},
        SetCase{"DuplicateDoesNotComplete", {H(3, 1), H(3, 1), H(3, 2), H(3, 3)}, 4, 0x07},
        SetCase{"SevenPackets",
                {H(7, 1), H(7, 2), H(7, 3), H(7, 4), H(7, 5), H(7, 6), H(7, 7)},
                7,
                0x7F},
        SetCase{"NeverCompletes", {H(3, 1), H(3, 2), H(3, 2)}, 0, 0x03}),
    [](const ::testing::TestParamInfo<SetCase>& p) { return p.param.name; });

TEST(CEcuPacketSet, AnEndlessSetStopsAfterTheReadLimit) {
    CEcuPacketSet set;
    auto p = Packet(H(2, 1));
    int reads = 0;
    while (!set.Finished() && reads < 1000) {
        set.Add(p);
        ++reads;
    }
    EXPECT_EQ(reads, CEcuPacketSet::kMaxReads);
    EXPECT_TRUE(set.Exhausted());
    EXPECT_FALSE(set.Complete());
    EXPECT_EQ(set.Add(p), 0); // ignored once finished
}

TEST(CEcuPacketSet, EmptyReadEndsTheSet) {
    CEcuPacketSet set;
    EXPECT_EQ(set.Add({}), 0);
    EXPECT_TRUE(set.Complete());
}

} // namespace
