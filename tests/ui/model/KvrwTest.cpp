#include "ui/model/KvrwCommand.h"
#include "ui/model/KvrwMeasurement.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using Args = std::array<uint16_t, 4>;

struct Expected {
    uint8_t code;
    bool longForm;
    Args args;
    int32_t time;
    const char* voltage;
    const char* pressure;
    const char* frequency;
    const char* timeText;
};

void ExpectCommand(const std::optional<KvrwCommand>& c, const Expected& e) {
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->code, e.code);
    EXPECT_EQ(c->longForm, e.longForm);
    EXPECT_EQ(c->args, e.args);
    EXPECT_EQ(c->time, e.time);
    EXPECT_EQ(c->voltage, e.voltage);
    EXPECT_EQ(c->pressure, e.pressure);
    EXPECT_EQ(c->frequency, e.frequency);
    EXPECT_EQ(c->timeText, e.timeText);
}

} // namespace

TEST(KvrwCommand, ParsesLikeTheCLibrary) {
    const struct {
        const char* text;
        double number;
        int32_t integer;
    } cases[] = {
        {"0.05", 0.05, 0},
        {"  12.5V", 12.5, 12},
        {"+3", 3.0, 3},
        {"+-3", 0.0, 0},
        {"1,5", 1.0, 1}, // a decimal comma ends the number
        {"-2.5", -2.5, -2},
        {"abc", 0.0, 0},
        {"", 0.0, 0},
        {".5", 0.5, 0},
        {"1e2", 100.0, 1},
        {"inf", 0.0, 0},
        {"nan", 0.0, 0},
        {"1e999", 0.0, 1},
        {"99999999999", 99999999999.0, INT32_MAX},
        {"-99999999999", -99999999999.0, INT32_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(KvrwCommand::ParseNumber(c.text), c.number);
        EXPECT_EQ(KvrwCommand::ParseInteger(c.text), c.integer);
    }
}

// Rounding, both set-point rules, negative and oversized inputs: what the
// page's own tests (CDialogKvrwTest) do not reach.
TEST(KvrwCommand, ClampsAtTheEdgesOfEachRange) {
    const struct {
        const char* name;
        std::optional<KvrwCommand> command;
        Expected e;
    } cases[] = {
        // The 0.00001 keeps 2.01 V from reading as 2009 mV and 0.57 MPa as 5699.
        {"pump rounding",
         KvrwCommand::Pump("2.01", "0.57", "10", 0x19),
         {11, true, {2010, 10, 0x19, 5700}, 10, "2.01", "0.570", "", "10"}},
        // A pressure alone is enough; the voltage then goes to its lowest.
        {"pump pressure only",
         KvrwCommand::Pump("0", "0.5", "2", 0),
         {11, true, {100, 2, 0, 5000}, 2, "0.10", "0.500", "", "2"}},
        {"pump negative set-points",
         KvrwCommand::Pump("-3", "-1", "4", 0),
         {11, true, {100, 4, 0, 0}, 4, "0.10", "0.000", "", "4"}},
        {"time beyond 16 bits",
         KvrwCommand::Pump("5", "0", "70000", 0),
         {11, true, {5000, 65535, 0, 0}, 65535, "5.00", "0.000", "", "65535"}},
        {"glow 40 V",
         KvrwCommand::Glow("40", "3"),
         {8, true, {3, 3200, 0, 0}, 3, "32.00", "", "", "3"}},
        {"starter rounding",
         KvrwCommand::Starter("0.29", "2"),
         {12, true, {2, 29, 0, 0}, 2, "0.29", "", "", "2"}},
        {"tick -4 Hz",
         KvrwCommand::Tick("-4", "1", 1),
         {9, true, {1, 0, 1, 0}, 1, "", "", "0", "1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectCommand(c.command, c.e);
    }
    EXPECT_FALSE(KvrwCommand::Pump("0.0001", "0.00001", "5", 0)) << "below resolution is 0";
    EXPECT_FALSE(KvrwCommand::Stop(KvrwCommand::kOxygen)) << "the oxygen valve has no stop";
}

TEST(KvrwMeasurement, AveragesCoverTheLast50SamplesNewestFirst) {
    KvrwMeasurement m;
    EXPECT_EQ(m.AverageRpm(), 0);
    EXPECT_DOUBLE_EQ(m.AverageCurrent(), 0.0);
    // 1..3: the average is over the filled entries only, truncated.
    m.Add(10, 1.0);
    m.Add(11, 2.0);
    m.Add(11, 6.0);
    EXPECT_EQ(m.RpmCount(), 3);
    EXPECT_EQ(m.AverageRpm(), 10); // 32 / 3
    EXPECT_DOUBLE_EQ(m.AverageCurrent(), 3.0);
    EXPECT_DOUBLE_EQ(m.HighestCurrent(), 6.0);

    // 60 samples in all: the first ten (1000 RPM, 9 A) must have gone.
    m.Reset();
    EXPECT_EQ(m.RpmCount(), 0);
    EXPECT_DOUBLE_EQ(m.HighestCurrent(), 0.0);
    for (int i = 0; i < 10; ++i) {
        m.Add(1000, 9.0);
    }
    int64_t sum = 0;
    for (int i = 0; i < 50; ++i) {
        m.Add(20000 + i, 1.0 + i * 0.02);
        sum += 20000 + i;
    }
    EXPECT_EQ(m.RpmCount(), 50);
    EXPECT_EQ(m.CurrentCount(), 50);
    EXPECT_EQ(m.AverageRpm(), static_cast<int32_t>(sum / 50));
    EXPECT_NEAR(m.AverageCurrent(), 1.0 + 49 * 0.02 / 2, 1e-9);
    EXPECT_DOUBLE_EQ(m.HighestCurrent(), 9.0); // the highest stays for the test
}
