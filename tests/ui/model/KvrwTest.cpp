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

TEST(KvrwCommand, PumpClampsAndWritesBack) {
    const struct {
        const char *volts, *mpa, *seconds;
        Expected e;
    } cases[] = {
        {"0.05", "0", "5", {11, true, {100, 5, 0x19, 0}, 5, "0.10", "0.000", "", "5"}},
        {"40", "2", "3", {11, true, {32000, 3, 0x19, 10000}, 3, "32.00", "1.000", "", "3"}},
        // The 0.00001 keeps 2.01 V from reading as 2009 mV and 0.57 MPa as 5699.
        {"2.01", "0.57", "10", {11, true, {2010, 10, 0x19, 5700}, 10, "2.01", "0.570", "", "10"}},
        // A pressure alone is enough; the voltage then goes to its lowest.
        {"0", "0.5", "2", {11, true, {100, 2, 0x19, 5000}, 2, "0.10", "0.500", "", "2"}},
        {"-3", "-1", "4", {11, true, {100, 4, 0x19, 0}, 4, "0.10", "0.000", "", "4"}},
        {"5",
         "0",
         "70000",
         {11, true, {5000, 65535, 0x19, 0}, 65535, "5.00", "0.000", "", "65535"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.volts) + " V " + c.mpa + " MPa " + c.seconds + " s");
        ExpectCommand(KvrwCommand::Pump(c.volts, c.mpa, c.seconds, 0x19), c.e);
    }
}

TEST(KvrwCommand, GlowStarterValvesAndOxygen) {
    const struct {
        const char* name;
        std::optional<KvrwCommand> command;
        Expected e;
    } cases[] = {
        {"glow 0.05 V",
         KvrwCommand::Glow("0.05", "3"),
         {8, true, {3, 100, 0, 0}, 3, "1.00", "", "", "3"}},
        {"glow 40 V",
         KvrwCommand::Glow("40", "3"),
         {8, true, {3, 3200, 0, 0}, 3, "32.00", "", "", "3"}},
        {"glow 7.5 V",
         KvrwCommand::Glow("7.5", "12"),
         {8, true, {12, 750, 0, 0}, 12, "7.50", "", "", "12"}},
        {"starter 0.05 V",
         KvrwCommand::Starter("0.05", "2"),
         {12, true, {2, 10, 0, 0}, 2, "0.10", "", "", "2"}},
        {"starter 0.29 V",
         KvrwCommand::Starter("0.29", "2"),
         {12, true, {2, 29, 0, 0}, 2, "0.29", "", "", "2"}},
        {"tick 25 Hz",
         KvrwCommand::Tick("25", "5", 1),
         {9, true, {5, 10, 1, 0}, 5, "", "", "10", "5"}},
        {"tick 0 Hz", KvrwCommand::Tick("0", "5", 2), {9, true, {5, 0, 2, 0}, 5, "", "", "0", "5"}},
        {"tick -4 Hz",
         KvrwCommand::Tick("-4", "1", 1),
         {9, true, {1, 0, 1, 0}, 1, "", "", "0", "1"}},
        {"open", KvrwCommand::Open("8", 2), {9, true, {8, 0, 2, 0}, 8, "", "", "", "8"}},
        {"oxygen", KvrwCommand::Oxygen("6"), {18, false, {6, 0, 0, 0}, 6, "", "", "", "6"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectCommand(c.command, c.e);
    }
}

TEST(KvrwCommand, NothingWithoutTimeOrSetPoint) {
    const struct {
        const char* name;
        std::optional<KvrwCommand> command;
    } cases[] = {
        {"pump without time", KvrwCommand::Pump("5", "0.5", "0", 0)},
        {"pump with both set-points 0", KvrwCommand::Pump("0", "0", "5", 0)},
        {"pump set-points below resolution", KvrwCommand::Pump("0.0001", "0.00001", "5", 0)},
        {"pump negative time", KvrwCommand::Pump("5", "0", "-5", 0)},
        {"glow without voltage", KvrwCommand::Glow("abc", "5")},
        {"glow without time", KvrwCommand::Glow("5", "")},
        {"starter without voltage", KvrwCommand::Starter("0", "5")},
        {"tick without time", KvrwCommand::Tick("5", "0", 1)},
        {"open without time", KvrwCommand::Open("x", 1)},
        {"oxygen without time", KvrwCommand::Oxygen("0")},
        {"oxygen has no stop", KvrwCommand::Stop(KvrwCommand::kOxygen)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(c.command.has_value()) << c.name;
    }
}

TEST(KvrwCommand, StopsAndFlags) {
    const std::pair<KvrwCommand::Kind, uint8_t> stops[] = {
        {KvrwCommand::kPump, 11},
        {KvrwCommand::kGlow, 8},
        {KvrwCommand::kStarter, 12},
        {KvrwCommand::kTick, 9},
        {KvrwCommand::kOpen, 9},
    };
    for (const auto& [kind, code] : stops) {
        const auto c = KvrwCommand::Stop(kind);
        ASSERT_TRUE(c.has_value()) << kind;
        EXPECT_FALSE(c->longForm);
        EXPECT_EQ(c->code, code);
        EXPECT_EQ(c->args[0], 0);
        EXPECT_EQ(c->time, 0);
    }
    EXPECT_EQ(KvrwCommand::PumpFlags(false, false, false), 0x19);
    EXPECT_EQ(KvrwCommand::PumpFlags(true, false, false), 0x18);
    EXPECT_EQ(KvrwCommand::PumpFlags(false, true, false), 0x11);
    EXPECT_EQ(KvrwCommand::PumpFlags(false, false, true), 0x09);
    EXPECT_EQ(KvrwCommand::PumpFlags(true, true, true), 0x00);
    EXPECT_EQ(KvrwCommand::LineFlags(true, false), 1);
    EXPECT_EQ(KvrwCommand::LineFlags(false, true), 2);
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
