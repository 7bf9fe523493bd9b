#include "sim/SimEcuConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using sim::EcuGeneration;
using sim::SimEcuConfig;

namespace {

struct Parsed {
    bool ok = false;
    SimEcuConfig config;
    std::vector<std::string> rest;
    std::string error;
};

Parsed Parse(std::vector<std::string> args) {
    Parsed p;
    p.ok = sim::ParseSimEcuOptions(args, p.config, p.rest, p.error);
    return p;
}

} // namespace

TEST(SimEcuOptions, GenerationAndFormat) {
    const Parsed item = Parse({"--generation", "item", "--extended-items", "--packets", "4"});
    ASSERT_TRUE(item.ok) << item.error;
    EXPECT_EQ(item.config.format.generation, EcuGeneration::Item);
    EXPECT_TRUE(item.config.format.extendedItems);
    EXPECT_EQ(item.config.telemetryPackets, 4);

    const Parsed block = Parse({"--format", "2", "--double-range"});
    ASSERT_TRUE(block.ok) << block.error;
    EXPECT_EQ(block.config.format.generation, EcuGeneration::Block); // implied
    EXPECT_EQ(block.config.format.blockFormat, 2);
    EXPECT_TRUE(block.config.format.doubleRange);

    const Parsed plain = Parse({});
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.config.format.generation, EcuGeneration::Item);
}

TEST(SimEcuOptions, FaultsRadioHardwareAndPilot) {
    const Parsed p = Parse({"--fault",
                            "low-voltage",
                            "--fault",
                            "tcu-offline",
                            "--fault",
                            "error=13",
                            "--radio",
                            "jeti",
                            "--no-starter",
                            "--sensor-group1",
                            "--records",
                            "8192",
                            "--unsupported",
                            "8,41",
                            "--run",
                            "--throttle",
                            "42.5"});
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.config.faults.size(), 2u);
    EXPECT_EQ(p.config.faults[0], sim::EngineFault::LowVoltage);
    EXPECT_EQ(p.config.faults[1], sim::EngineFault::TcuNotAnswering);
    EXPECT_EQ(p.config.errorCode, 13);
    EXPECT_EQ(p.config.radioMode, 3);
    EXPECT_FALSE(p.config.hardware.starterFitted);
    EXPECT_TRUE(p.config.hardware.sensorGroup1);
    EXPECT_EQ(p.config.hardware.recordStorage, 8192u);
    EXPECT_TRUE(p.config.features.unsupported.test(8));
    EXPECT_TRUE(p.config.features.unsupported.test(41));
    EXPECT_FALSE(p.config.features.unsupported.test(9));
    EXPECT_TRUE(p.config.autoStart);
    EXPECT_TRUE(p.config.switchOn);
    EXPECT_DOUBLE_EQ(p.config.throttle, 42.5);
}

TEST(SimEcuOptions, UnknownOptionsAreLeftForTheCaller) {
    const Parsed p = Parse({"--port", "8987", "--format", "4", "-v"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.rest, (std::vector<std::string>{"--port", "8987", "-v"}));
    EXPECT_EQ(p.config.format.blockFormat, 4);
}

TEST(SimEcuOptions, BadValuesAndContradictionsAreErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"--generation", "hybrid"},
        {"--format", "5"},
        {"--format"},
        {"--packets", "1"},
        {"--packets", "8"},
        {"--fault", "flameout"},
        {"--fault", "error=20"},
        {"--radio", "spektrum"},
        {"--unsupported", "8,,9"},
        {"--unsupported", "80"},
        {"--throttle", "101"},
        {"--throttle", "fast"},
        {"--records", "-1"},
        {"--generation", "item", "--format", "3"},
        {"--generation", "block", "--extended-items"},
        {"--double-range", "--extended-items"},
    };
    for (const auto& args : bad) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << args[0] << (args.size() > 1 ? " " + args[1] : "");
        EXPECT_FALSE(p.error.empty());
    }
    EXPECT_NE(sim::SimEcuOptionsHelp().find("--double-range"), std::string::npos);
}
