#include "engine/CEcuRadioRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A register-11 reply: mode, kind, then data bytes given as (index, value).
std::vector<uint8_t> Reply(uint8_t mode,
                           uint8_t kind,
                           std::initializer_list<std::pair<size_t, uint8_t>> data,
                           size_t size = 32) {
    std::vector<uint8_t> r(size, 0);
    if (size > 0) {
        r[0] = mode;
    }
    if (size > 1) {
        r[1] = kind;
    }
    for (const auto& [i, v] : data) {
        if (CEcuRadioRecord::kDataOffset + i < size) {
            r[CEcuRadioRecord::kDataOffset + i] = v;
        }
    }
    return r;
}

} // namespace

TEST(CEcuRadioRecord, ModeIsSignedAndKindFollows) {
    EXPECT_EQ(CEcuRadioRecord::ReceiverMode(Reply(3, 2, {})), 3);
    EXPECT_EQ(CEcuRadioRecord::ReceiverMode(Reply(0xFF, 2, {})), -1);
    EXPECT_EQ(CEcuRadioRecord::RecordKind(Reply(3, 2, {})), 2);
    EXPECT_EQ(CEcuRadioRecord::ReceiverMode({}), 0);
    EXPECT_EQ(CEcuRadioRecord::RecordKind(Reply(3, 2, {}, 1)), 0);
}

// The slot and kind rules are shown by the page (CDialogSimulateTest); here
// the value arithmetic and replies too short for a field.
TEST(CEcuRadioRecord, FutabaValuesAndShortReplies) {
    const struct {
        const char* name;
        std::vector<uint8_t> reply;
        std::optional<int32_t> rpm, temperature;
    } cases[] = {
        // 0x1234 x 5 = 23300; 0x80C8: bit 15 cleared gives 200, - 100.
        {"both slots",
         Reply(2, 1, {{0, 0x83}, {1, 0x34}, {2, 0x12}, {3, 0x43}, {4, 0xC8}, {5, 0x80}}),
         23300,
         100},
        {"below zero", Reply(2, 1, {{0, 0x83}, {3, 0x43}, {4, 0x0A}}), 0, -90},
        // Cut after data byte 2: the RPM is whole, the temperature's bytes are not.
        {"short reply", Reply(2, 1, {{0, 0x83}, {1, 2}, {3, 0x43}}, 5), 10, std::nullopt},
        {"cut inside the rpm", Reply(2, 1, {{0, 0x83}, {1, 2}}, 4), std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto f = CEcuRadioRecord::DecodeFutaba(c.reply);
        EXPECT_EQ(f.rpm, c.rpm);
        EXPECT_EQ(f.temperature, c.temperature);
    }
}

TEST(CEcuRadioRecord, JetiRpmSignsAtBit20AndTemperatureAtBit12) {
    const struct {
        uint8_t rpm[3];
        uint8_t temperature[2];
        int32_t expectedRpm, expectedTemperature;
    } cases[] = {
        {{0x00, 0x00, 0x10}, {0x00, 0x10}, -1048576, -4096},
        {{0xFF, 0xFF, 0x0F}, {0xFF, 0x0F}, 1048575, 4095},
        {{0xFF, 0xFF, 0x1F}, {0xFF, 0x1F}, -1, -1},
        {{0x10, 0x27, 0x00}, {0x52, 0x03}, 10000, 850},
        // Bits above the sign are not part of the value.
        {{0x05, 0x00, 0xE0}, {0x05, 0xE0}, 5, 5},
        {{0x00, 0x00, 0xF0}, {0x00, 0xF0}, -1048576, -4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedRpm);
        const auto reply = Reply(3,
                                 3,
                                 {{11, c.rpm[0]},
                                  {12, c.rpm[1]},
                                  {13, c.rpm[2]},
                                  {15, c.temperature[0]},
                                  {16, c.temperature[1]}});
        const auto j = CEcuRadioRecord::DecodeJeti(reply);
        EXPECT_EQ(j.kind, 3);
        EXPECT_EQ(j.rpm, c.expectedRpm);
        EXPECT_EQ(j.temperature, c.expectedTemperature);
        EXPECT_FALSE(j.line.has_value());
    }
}

TEST(CEcuRadioRecord, JetiLinesAndShortRecords) {
    std::vector<uint8_t> line1 = Reply(3, 1, {});
    std::memcpy(line1.data() + 2, "RPM 12000       XYZ", 19); // 16 characters, then others
    std::vector<uint8_t> line2 = Reply(3, 2, {});
    std::memcpy(line2.data() + 2, "EGT 650C", 8); // NUL-terminated
    const struct {
        const char* name;
        std::vector<uint8_t> reply;
        std::optional<std::string> line;
        std::optional<int32_t> rpm, temperature;
    } cases[] = {
        {"line 1 is 16 characters",
         line1,
         std::string("RPM 12000       "),
         std::nullopt,
         std::nullopt},
        {"line 2 ends at NUL", line2, std::string("EGT 650C"), std::nullopt, std::nullopt},
        {"line cut by the reply",
         std::vector<uint8_t>(line1.begin(), line1.begin() + 7),
         std::string("RPM 1"),
         std::nullopt,
         std::nullopt},
        // Data byte 16 missing: the RPM is whole, the temperature is not.
        {"kind 3 cut", Reply(3, 3, {{11, 7}}, 18), std::nullopt, 7, std::nullopt},
        {"kind 4", Reply(3, 4, {{11, 7}}), std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto j = CEcuRadioRecord::DecodeJeti(c.reply);
        EXPECT_EQ(j.line, c.line);
        EXPECT_EQ(j.rpm, c.rpm);
        EXPECT_EQ(j.temperature, c.temperature);
    }
}

TEST(CEcuRadioRecord, GroundSupportLinesAreTheTwoHalves) {
    std::vector<uint8_t> reply(32, ' ');
    std::memcpy(reply.data(), "PAGE ONE", 8);
    std::memcpy(reply.data() + 16, "SECOND\0junk", 11);
    auto lines = CEcuRadioRecord::GroundSupportLines(reply);
    EXPECT_EQ(lines[0], "PAGE ONE        ");
    EXPECT_EQ(lines[1], "SECOND");
    lines = CEcuRadioRecord::GroundSupportLines(std::span(reply).first(20));
    EXPECT_EQ(lines[0], "PAGE ONE        ");
    EXPECT_EQ(lines[1], "SECO");
    lines = CEcuRadioRecord::GroundSupportLines({});
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "");
}

TEST(CEcuRadioRecord, ReceiverFrameClampsTheSlidersAndKnowsThreeModes) {
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(CEcuRadioRecord::ReceiverFrame(2, 180, 101, 0), Bytes({2, 100, 100}));
    EXPECT_TRUE(CEcuRadioRecord::ReceiverFrame(0, 1, 1, 1).empty());
    EXPECT_TRUE(CEcuRadioRecord::ReceiverFrame(4, 1, 1, 1).empty());
}
