#include "BitPacker.h"

#include "engine/CEcuLiveState.h"
#include "engine/CEcuTelemetryRead.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Packet 1 with distinct values in every field (raw, in layout order).
std::array<uint8_t, 32> Packet1(uint8_t header, uint32_t egtRaw = 700, uint32_t warnings = 0x05) {
    BitPacker p(header);
    p.put({{37, 8},        // cpu load
           {5, 5},         // engine state
           {13, 5},        // error code
           {0xA5, 8},      // aux 1
           {6, 3},         // aux 2
           {0xABC, 12},    // aux 3 (x 10, then zeroed)
           {12345, 15},    // rpm / 10
           {egtRaw, 11},   // egt + 60
           {4321, 13},     // pump voltage, centivolts
           {1234, 13},     // pump voltage / 100
           {300, 9},       // aux 4
           {122, 9},       // battery x 10 / 100
           {50, 9},        // rc x 10 / 100
           {155, 10},      // current / 10
           {777, 10},      // aux 5
           {1, 1},         // throttle lock
           {1, 1},         // aux flag 6
           {150, 8},       // throttle x 10
           {110, 8},       // switch x 10
           {99, 7},        // aux 7
           {0xBEEF, 16},   // aux 8
           {0x12CAFE, 24}, // aux 9
           {0xFED, 12},    // aux 10
           {1, 1},         // alternator present
           {142, 11},      // alternator / 10
           {warnings, 7},  // warning bits
           {0x9, 4},       // record format 1, rate code 2
           {8, 8}});       // storage x 512
    EXPECT_EQ(p.bits(), 248);
    return p.bytes;
}

std::array<uint8_t, 32> Packet2(uint8_t header, uint32_t pumpState = 4) {
    BitPacker p(header);
    p.put({{9800, 14},              // air pressure / 10
           {1350, 14},              // altitude + 1000
           {1, 2},                  // ignition pump type B
           {2, 2},                  // type A
           {3, 2},                  // ignition pump state
           {600, 12},               // ignition pump rpm / 10
           {40, 8},                 // ignition pump temp + 60
           {9, 4},                  // aux 8
           {17, 5},                 // aux 9
           {1000, 15},              // aux 10
           {2000, 15},              // aux 11
           {20, 8},                 // aux 12
           {30, 8},                 // aux 13
           {40, 8},                 // aux 14
           {1, 1},                  // tcu fitted
           {0, 1},                  // tcu answering
           {2, 4},                  // tcu major
           {7, 4},                  // tcu minor
           {19, 8},                 // tcu patch
           {123, 9},                // tcu voltage / 10
           {100, 8},                // tcu temp + 60
           {1, 1},                  // starter fitted
           {1, 1},                  // starter answering
           {2, 2},                  // starter state
           {1500, 15},              // starter rpm / 10
           {255, 8},                // starter temp + 60
           {1, 1},                  // aux flag
           {95, 8},                 // cpu temp + 60
           {pumpState, 3}, {85, 9}, // pump rpm / 100 (or skipped)
           {110, 8},                // pump temp + 60 (or skipped)
           {80, 8},                 // fuel temp + 60
           {850, 11},               // fuel pressure (v / 1000 - 0.5)
           {250, 10}});             // combustion pressure / 500
    return p.bytes;
}

TEST(CEcuLiveState, ItemPacket1FieldsInOrder) {
    CEcuLiveState s;
    s.temperature_sensor_fault = true;
    s.decodeItemPacket1(Packet1(BitPacker::Header(2, 1)));
    EXPECT_EQ(s.cpu_load, 37);
    EXPECT_EQ(s.engine_state, 5);
    EXPECT_EQ(s.error_code, 13);
    EXPECT_EQ(s.aux1, 0xA5);
    EXPECT_EQ(s.aux2, 6);
    EXPECT_EQ(s.aux3, 0);
    EXPECT_EQ(s.engine_rpm, 123450);
    EXPECT_EQ(s.egt, 640);
    EXPECT_EQ(s.pump_voltage_centivolts, 4321);
    EXPECT_FLOAT_EQ(s.pump_voltage, 12.34f);
    EXPECT_EQ(s.aux4, 3000);
    EXPECT_FLOAT_EQ(s.battery_voltage, 12.2f);
    EXPECT_FLOAT_EQ(s.rc_voltage, 5.0f);
    EXPECT_FLOAT_EQ(s.current, 15.5f);
    EXPECT_FLOAT_EQ(s.aux5, 77.7f);
    EXPECT_TRUE(s.throttle_lock);
    EXPECT_TRUE(s.aux6);
    EXPECT_EQ(s.rc_throttle_input, 1500);
    EXPECT_EQ(s.rc_switch_input, 1100);
    EXPECT_EQ(s.aux7, 99);
    EXPECT_EQ(s.aux8, 0xBEEF);
    EXPECT_EQ(s.aux9, 0xCAFE);
    EXPECT_EQ(s.aux10, 0xFED);
    EXPECT_TRUE(s.alternator_present);
    EXPECT_FLOAT_EQ(s.alternator_voltage, 14.2f);
    EXPECT_TRUE(s.pump_limit);
    EXPECT_TRUE(s.low_voltage);
    EXPECT_FALSE(s.overload);
    EXPECT_EQ(s.record_format, 1);
    EXPECT_EQ(s.record_rate_code, 2);
    EXPECT_EQ(s.record_storage, 4096u);
    EXPECT_FALSE(s.temperature_sensor_fault);
}

TEST(CEcuLiveState, ItemPacket1WarningBits) {
    const struct {
        uint32_t bits;
        bool pumpLimit, lowVoltage, overload;
    } cases[] = {{0x01, true, false, false},
                 {0x02, true, false, false},
                 {0x04, false, true, false},
                 {0x08, false, false, true},
                 {0x70, false, false, false}};
    for (const auto& c : cases) {
        CEcuLiveState s;
        s.decodeItemPacket1(Packet1(BitPacker::Header(2, 1), 700, c.bits));
        EXPECT_EQ(s.pump_limit, c.pumpLimit) << c.bits;
        EXPECT_EQ(s.low_voltage, c.lowVoltage) << c.bits;
        EXPECT_EQ(s.overload, c.overload) << c.bits;
    }
}

TEST(CEcuLiveState, EgtFieldZeroIsMinus60) {
    CEcuLiveState s;
    s.decodeItemPacket1(Packet1(BitPacker::Header(2, 1), 0));
    EXPECT_EQ(s.egt, -60);
}

TEST(CEcuLiveState, ItemPacket2FieldsInOrder) {
    CEcuLiveState s;
    s.decodeItemPacket2(Packet2(BitPacker::Header(2, 2)));
    EXPECT_EQ(s.air_pressure, 98000u);
    EXPECT_EQ(s.altitude, 350);
    EXPECT_EQ(s.main_pump_tcu_kind, 1);
    EXPECT_EQ(s.main_pump_ecu_kind, 2);
    EXPECT_EQ(s.main_pump_state, 3);
    EXPECT_EQ(s.main_pump_rpm, 6000);
    EXPECT_EQ(s.main_pump_temperature, -20);
    EXPECT_EQ(s.p2_aux8, 9);
    EXPECT_EQ(s.p2_aux9, 17);
    EXPECT_EQ(s.p2_aux10, 10000);
    EXPECT_EQ(s.p2_aux11, 20000);
    EXPECT_EQ(s.p2_aux12, 40);
    EXPECT_EQ(s.p2_aux13, 300);
    EXPECT_EQ(s.p2_aux14, 400);
    EXPECT_TRUE(s.tcu_fitted);
    EXPECT_FALSE(s.tcu_answering);
    EXPECT_EQ(s.tcu_version, (std::array<uint8_t, 3>{2, 7, 19}));
    EXPECT_EQ(s.tcu_voltage, 1230);
    EXPECT_EQ(s.tcu_temperature, 40);
    EXPECT_TRUE(s.starter_fitted);
    EXPECT_TRUE(s.starter_answering);
    EXPECT_EQ(s.starter_state, 2);
    EXPECT_EQ(s.starter_rpm, 15000);
    EXPECT_EQ(s.starter_temperature, 195); // beyond a signed byte
    EXPECT_TRUE(s.p2_aux27);
    EXPECT_EQ(s.cpu_temperature, 35);
    EXPECT_EQ(s.ignition_pump_state, 4);
    EXPECT_EQ(s.ignition_pump_rpm, 8500);
    EXPECT_EQ(s.ignition_pump_temperature, 50);
    EXPECT_EQ(s.fuel_temperature, 20);
    EXPECT_FLOAT_EQ(s.fuel_pressure, 0.35f);
    EXPECT_FLOAT_EQ(s.combustion_pressure, 0.5f);
}

TEST(CEcuLiveState, StoppedPumpSkipsItsFieldsAndLaterFieldsLandRight) {
    for (uint32_t state : {0u, 1u}) {
        CEcuLiveState s;
        s.decodeItemPacket2(Packet2(BitPacker::Header(2, 2), state));
        EXPECT_EQ(s.ignition_pump_rpm, 0);
        EXPECT_EQ(s.ignition_pump_temperature, 0);
        EXPECT_EQ(s.fuel_temperature, 20);
        EXPECT_FLOAT_EQ(s.combustion_pressure, 0.5f);
    }
}

std::map<std::string, std::vector<uint8_t>> LoadGolden(const char* file) {
    const char* dir = std::getenv("TURBEX_TEST_DATA");
    std::ifstream in(std::string(dir != nullptr ? dir : "tests/data") + "/" + file);
    std::map<std::string, std::vector<uint8_t>> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, hex;
        fields >> name;
        while (fields >> hex) {
            out[name].push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
        }
    }
    return out;
}

TEST(CEcuLiveState, BlockGolden) {
    auto pages = LoadGolden("ecu_block_telemetry.txt");
    ASSERT_EQ(pages["reg1"].size(), 32u);
    ASSERT_EQ(pages["reg4"].size(), 32u);
    CEcuTelemetryContext ctx;
    ctx.generation = EcuGeneration::Block;
    ctx.formatVersion = 3;
    ctx.blockPumpVoltage = 0.5f;
    CEcuLiveState s;
    s.decodeBlock(pages["reg1"], pages["reg4"], ctx);
    EXPECT_EQ(s.cpu_load, 45);
    EXPECT_EQ(s.engine_state, 5);
    EXPECT_TRUE(s.learning_max_min);
    EXPECT_FALSE(s.low_voltage);
    EXPECT_FALSE(s.throttle_lock);
    EXPECT_TRUE(s.learning_high_end);
    EXPECT_TRUE(s.starter_fault);
    EXPECT_FALSE(s.glow_plug_fault || s.temperature_sensor_fault || s.valve_fault || s.fault_bit5 ||
                 s.pump_fault || s.learning_idle);
    EXPECT_EQ(s.engine_rpm, 12000);
    EXPECT_EQ(s.egt, 650);
    EXPECT_EQ(s.pump_voltage_centivolts, 300);
    EXPECT_FLOAT_EQ(s.pump_voltage, 0.5f);
    EXPECT_NEAR(s.rc_voltage, 5.0f, 0.0001f);
    EXPECT_FLOAT_EQ(s.battery_voltage, 12.2f);
    EXPECT_FLOAT_EQ(s.current, -1.5f);
    EXPECT_EQ(s.rc_throttle_input, 1500);
    EXPECT_EQ(s.aux3, 0x123);
    EXPECT_EQ(s.air_pressure, 100000u);
    EXPECT_EQ(s.record_storage, 4096u);
    EXPECT_EQ(s.record_format, 1);
    EXPECT_EQ(s.record_rate_code, 2);
    EXPECT_EQ(s.error_code, 13);
    EXPECT_TRUE(s.tcu_fitted && s.tcu_answering && s.starter_fitted && s.starter_answering);
    EXPECT_EQ(s.starter_state, 2);
    EXPECT_EQ(s.starter_rpm, 10000);
    EXPECT_EQ(s.starter_temperature, -5);
    EXPECT_TRUE(s.pump_limit);
    EXPECT_TRUE(s.rpm_control_state);
    EXPECT_EQ(s.main_pump_ecu_kind, 2);
    EXPECT_EQ(s.main_pump_tcu_kind, 1);
    EXPECT_EQ(s.main_pump_state, 3);
    EXPECT_EQ(s.tcu_version, (std::array<uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(s.tcu_voltage, 1234);
    EXPECT_EQ(s.main_pump_rpm, 6000);
    EXPECT_EQ(s.main_pump_temperature, -20);
    EXPECT_EQ(s.rc_switch_input, 1100);
    EXPECT_FALSE(s.overload);
    EXPECT_TRUE(s.stick_down_ignition);
    EXPECT_EQ(s.altitude, 350);
    EXPECT_TRUE(s.stick_down_running);
    EXPECT_EQ(s.tcu_temperature, 85);
    EXPECT_NEAR(s.alternator_voltage, 14.0f, 0.0001f);
    EXPECT_TRUE(s.alternator_present);
    EXPECT_EQ(s.cpu_temperature, -60); // not in this generation
    EXPECT_EQ(s.displayState(), 9);    // stick down while running
    EXPECT_EQ(s.displayError(), 19);   // pump limit while running

    // Double range doubles the pump reading; format 4 scales aux 3.
    ctx.doubleRange = true;
    ctx.formatVersion = 4;
    s.decodeBlock(pages["reg1"], pages["reg4"], ctx);
    EXPECT_EQ(s.pump_voltage_centivolts, 600);
    EXPECT_EQ(s.aux3, 0x123 * 10);
    // A zero TCU temperature byte stays 0 rather than -60.
    pages["reg4"][26] = 0;
    s.decodeBlock(pages["reg1"], pages["reg4"], ctx);
    EXPECT_EQ(s.tcu_temperature, 0);
}

TEST(CEcuLiveState, ShortPagesReadAsZero) {
    CEcuLiveState s;
    const uint8_t r1[] = {0x10, 0x03};
    s.decodeBlock(r1, {}, CEcuTelemetryContext{});
    EXPECT_EQ(s.cpu_load, 0x10);
    EXPECT_EQ(s.engine_state, 3);
    EXPECT_EQ(s.altitude, -2000);
    s.decodeItemPacket1({});
    EXPECT_EQ(s.egt, -60);
}

struct DisplayCase {
    const char* name;
    int engineState;
    bool lock, stickIgnition, stickRunning, learnIdle, learnMaxMin, highEnd;
    int display;
    int textNumber;
};

class DisplayStateCases : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayStateCases, FirstRuleThatApplies) {
    const DisplayCase& c = GetParam();
    CEcuLiveState s;
    s.engine_state = static_cast<uint8_t>(c.engineState);
    s.throttle_lock = c.lock;
    s.stick_down_ignition = c.stickIgnition;
    s.stick_down_running = c.stickRunning;
    s.learning_idle = c.learnIdle;
    s.learning_max_min = c.learnMaxMin;
    s.learning_high_end = c.highEnd;
    EXPECT_EQ(s.displayState(), c.display);
    EXPECT_EQ(CEcuLiveState::DisplayStateTextNumber(s.displayState()), c.textNumber);
}

INSTANTIATE_TEST_SUITE_P(
    CEcuLiveState,
    DisplayStateCases,
    ::testing::Values(
        DisplayCase{"LockBeatsAll", 5, true, true, true, true, true, true, 20, 23},
        DisplayCase{"StickDownAtIgnition", 2, false, true, false, false, false, false, 2, 3},
        DisplayCase{
            "StickDownIgnitionOnlyInState2", 5, false, true, false, false, false, false, 11, 12},
        DisplayCase{"StickDownWhileRunning", 5, false, false, true, true, true, false, 9, 10},
        DisplayCase{"LearnIdle", 5, false, false, false, true, true, false, 8, 9},
        DisplayCase{"LearnStickUp", 5, false, false, false, false, true, true, 6, 7},
        DisplayCase{"LearnStickDown", 5, false, false, false, false, true, false, 7, 8},
        DisplayCase{"LearningOnlyWhileRunning", 1, false, false, true, true, true, true, 1, 2},
        DisplayCase{"Stop", 0, false, false, false, false, false, false, 0, 1},
        DisplayCase{"Ignition", 2, false, false, false, false, false, false, 3, 4},
        DisplayCase{"Preheat", 3, false, false, false, false, false, false, 4, 5},
        DisplayCase{"Fuelramp", 4, false, false, false, false, false, false, 5, 6},
        DisplayCase{"Cooling", 6, false, false, false, false, false, false, 12, 13},
        DisplayCase{"Restart", 7, false, false, false, false, false, false, 13, 14},
        DisplayCase{"TestGlowplug", 8, false, false, false, false, false, false, 14, 15},
        DisplayCase{"TestFuelValve", 9, false, false, false, false, false, false, 15, 16},
        DisplayCase{"TestIgniValve", 10, false, false, false, false, false, false, 16, 17},
        DisplayCase{"TestPump", 11, false, false, false, false, false, false, 17, 18},
        DisplayCase{"TestStarter", 12, false, false, false, false, false, false, 18, 19},
        DisplayCase{"ReservedShowsStop", 13, false, false, false, false, false, false, 0, 1},
        DisplayCase{"PumpCalibrationShowsStop", 14, false, false, false, false, false, false, 0, 1},
        DisplayCase{"DrainFuel", 15, false, false, false, false, false, false, 19, 22},
        DisplayCase{"UnknownShowsStop", 22, false, false, false, false, false, false, 0, 1}),
    [](const ::testing::TestParamInfo<DisplayCase>& p) { return p.param.name; });

struct ErrorCase {
    const char* name;
    int engineState;
    int errorCode;
    bool overload, lowVoltage, tcuFitted, tcuAnswering, starterFitted, starterAnswering, pumpLimit;
    bool starterFault, glowFault, sensorFault, valveFault, fault5, pumpFault;
    int displayed;
};

class DisplayErrorCases : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(DisplayErrorCases, FirstRuleThatApplies) {
    const ErrorCase& c = GetParam();
    CEcuLiveState s;
    s.engine_state = static_cast<uint8_t>(c.engineState);
    s.error_code = static_cast<uint8_t>(c.errorCode);
    s.overload = c.overload;
    s.low_voltage = c.lowVoltage;
    s.tcu_fitted = c.tcuFitted;
    s.tcu_answering = c.tcuAnswering;
    s.starter_fitted = c.starterFitted;
    s.starter_answering = c.starterAnswering;
    s.pump_limit = c.pumpLimit;
    s.starter_fault = c.starterFault;
    s.glow_plug_fault = c.glowFault;
    s.temperature_sensor_fault = c.sensorFault;
    s.valve_fault = c.valveFault;
    s.fault_bit5 = c.fault5;
    s.pump_fault = c.pumpFault;
    EXPECT_EQ(s.displayError(), c.displayed);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    CEcuLiveState,
    DisplayErrorCases,
    ::testing::Values(
        //         name                      st err  ovl  lowv tcuF tcuA stF  stA  plim  stFl glow sens valv f5   pump  shown
        ErrorCase{"NoError",                  0, 0,  false,false,false,false,false,false,false, false,false,false,false,false,false, 0},
        ErrorCase{"OverloadFirst",            5, 7,  true, true, true, false,true, false,true,  false,false,false,false,false,false, 17},
        ErrorCase{"LowVoltage",               0, 7,  false,true, true, false,false,false,false, false,false,false,false,false,false, 2},
        ErrorCase{"TcuNotAnswering",          3, 0,  false,false,true, false,true, false,false, false,false,false,false,false,false, 18},
        ErrorCase{"TcuAnsweringIsFine",       3, 0,  false,false,true, true, false,false,false, false,false,false,false,false,false, 0},
        ErrorCase{"StarterNotAnswering",      3, 0,  false,false,false,false,true, false,false, false,false,false,false,false,false, 5},
        ErrorCase{"PumpLimitWhileRunning",    5, 0,  false,false,false,false,false,false,true,  false,false,false,false,false,false, 19},
        ErrorCase{"PumpLimitWhileStopped",    0, 0,  false,false,false,false,false,false,true,  false,false,false,false,false,false, 19},
        ErrorCase{"PumpLimitDuringIgnition",  2, 0,  false,false,false,false,false,false,true,  false,false,false,false,false,false, 0},
        ErrorCase{"FaultCodeWhileRunning",    5, 8,  false,false,false,false,false,false,false, true, true, true, true, true, true,  0},
        ErrorCase{"FaultCodeWhileStopped",    0, 8,  false,false,false,false,false,false,false, false,false,false,false,false,false, 8},
        ErrorCase{"FaultCodeBeatsFlags",      0, 8,  false,false,false,false,false,false,true,  true, true, true, true, true, true,  8},
        ErrorCase{"FlagsIgnoredWithoutLimit", 0, 0,  false,false,false,false,false,false,false, true, true, true, true, true, true,  0},
        ErrorCase{"StarterFlag",              0, 0,  false,false,false,false,false,false,true,  true, true, true, true, true, true,  5},
        ErrorCase{"GlowPlugFlag",             0, 0,  false,false,false,false,false,false,true,  false,true, true, true, true, true,  3},
        ErrorCase{"SensorFlag",               0, 0,  false,false,false,false,false,false,true,  false,false,true, true, true, true,  10},
        ErrorCase{"ValveFlag",                0, 0,  false,false,false,false,false,false,true,  false,false,false,true, true, true,  12},
        ErrorCase{"FaultBit5Flag",            0, 0,  false,false,false,false,false,false,true,  false,false,false,false,true, true,  9},
        ErrorCase{"PumpFlag",                 0, 0,  false,false,false,false,false,false,true,  false,false,false,false,false,true,  4}),
    [](const ::testing::TestParamInfo<ErrorCase>& p) { return p.param.name; });
// clang-format on

TEST(CEcuLiveState, ErrorTextNumbers) {
    EXPECT_EQ(CEcuLiveState::ErrorTextNumber(0), 24);
    EXPECT_EQ(CEcuLiveState::ErrorTextNumber(19), 43);
    EXPECT_EQ(CEcuLiveState::ErrorTextNumber(20), -1);
    EXPECT_EQ(CEcuLiveState::DisplayStateTextNumber(21), -1);
}

TEST(CEcuLiveState, PresenceTextNumbersOutsideTheirRanges) {
    // Kinds are two-bit fields: higher bits do not pick another text.
    EXPECT_EQ(CEcuLiveState::EcuPumpKindTextNumber(5), CEcuLiveState::EcuPumpKindTextNumber(1));
    EXPECT_EQ(CEcuLiveState::TcuPumpKindTextNumber(6), CEcuLiveState::TcuPumpKindTextNumber(2));
    EXPECT_EQ(CEcuLiveState::RunStateTextNumber(4), -1);
    EXPECT_EQ(CEcuLiveState::RunStateTextNumber(-1), -1);
    EXPECT_EQ(CEcuLiveState::IgnitionPumpStateTextNumber(6), -1);
    EXPECT_EQ(CEcuLiveState::TcuVersionText({15, 0, 255}), "TCU:15.0.255");
}

TEST(CEcuLiveState, DisplayedEgtAppliesTheCorrection) {
    const struct {
        int correction;
        bool fahrenheit;
        int shown;
    } cases[] = {
        {5, false, 505}, {-7, false, 493}, {10, true, 505}, {-10, true, 495}, {8, true, 504}};
    CEcuLiveState s;
    s.egt = 500;
    for (const auto& c : cases) {
        EXPECT_EQ(s.displayedEgt(c.correction, c.fahrenheit), c.shown) << c.correction;
    }
}

TEST(CEcuLiveState, SensorRegister) {
    CEcuLiveState s;
    // Both groups: 10-bit 123 (1.23), 14-bit 4567 (456.7), signed -250 (-2.50 kg).
    BitPacker both(0x03);
    both.put({{123, 10}, {4567, 14}, {static_cast<uint16_t>(-250), 16}});
    EXPECT_EQ(s.decodeSensor(std::span<const uint8_t>(both.bytes).first(6)), 1);
    EXPECT_FLOAT_EQ(s.sensor_value1, 1.23f);
    EXPECT_FLOAT_EQ(s.sensor_value2, 456.7f);
    EXPECT_FLOAT_EQ(s.sensor_thrust, -2.5f);
    // Group 2 alone follows the mask directly.
    const uint8_t thrustOnly[6] = {0x02, 0xE8, 0x03, 0, 0, 0};
    EXPECT_EQ(s.decodeSensor(thrustOnly), 1);
    EXPECT_FLOAT_EQ(s.sensor_thrust, 10.0f);
    EXPECT_FLOAT_EQ(s.sensor_value1, 0.0f);
    const uint8_t none[6] = {0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(s.decodeSensor(none), 0);
    EXPECT_FLOAT_EQ(s.sensor_thrust, 0.0f);
    EXPECT_EQ(s.decodeSensor({}), 0);
}

TEST(CEcuLiveState, ResetRestoresTheOfflineValues) {
    CEcuLiveState s;
    s.decodeItemPacket1(Packet1(BitPacker::Header(2, 1)));
    s.decodeItemPacket2(Packet2(BitPacker::Header(2, 2)));
    s.reset();
    EXPECT_EQ(s.engine_rpm, 0);
    EXPECT_EQ(s.egt, 0);
    EXPECT_EQ(s.cpu_temperature, -60);
    EXPECT_FALSE(s.throttle_lock);
    EXPECT_EQ(s.displayState(), 0);
    EXPECT_EQ(s.displayError(), 0);
}

// --- the telemetry read sequence -----------------------------------------------

CEcuTelemetryContext Item() {
    CEcuTelemetryContext c;
    c.generation = EcuGeneration::Item;
    return c;
}

TEST(CEcuTelemetryRead, SetOfTwoArrivingSecondPacketFirst) {
    CEcuTelemetryRead t(Item());
    const auto first = Packet2(BitPacker::Header(2, 2));
    const auto second = Packet1(BitPacker::Header(2, 1));
    int reads = 0;
    while (auto r = t.next()) {
        EXPECT_EQ(r->reg, 1);
        EXPECT_EQ(r->length, 32);
        t.feed(reads++ == 0 ? std::span<const uint8_t>(first) : std::span<const uint8_t>(second));
        ASSERT_LE(reads, 5);
    }
    EXPECT_EQ(reads, 2);
    CEcuLiveState s;
    EXPECT_EQ(t.apply(s), 1);
    EXPECT_EQ(s.engine_rpm, 123450);
    EXPECT_EQ(s.air_pressure, 98000u);
}

TEST(CEcuTelemetryRead, HeaderZeroEndsTheSet) {
    CEcuTelemetryRead t(Item());
    ASSERT_TRUE(t.next().has_value());
    t.feed(std::array<uint8_t, 32>{});
    EXPECT_FALSE(t.next().has_value());
    CEcuLiveState s;
    s.engine_rpm = 777;
    EXPECT_EQ(t.apply(s), 1);
    EXPECT_EQ(s.engine_rpm, 777);
}

TEST(CEcuTelemetryRead, ASetCutShortStillDecodesWhatArrived) {
    CEcuTelemetryRead t(Item());
    t.feed(Packet1(BitPacker::Header(3, 1)));
    ASSERT_TRUE(t.next().has_value());
    t.fail();
    EXPECT_FALSE(t.next().has_value());
    CEcuLiveState s;
    s.air_pressure = 5;
    EXPECT_EQ(t.apply(s), 1);
    EXPECT_EQ(s.engine_rpm, 123450);
    EXPECT_EQ(s.air_pressure, 5u);
}

TEST(CEcuTelemetryRead, BlockNeedsBothRegisters) {
    CEcuTelemetryContext ctx;
    ctx.generation = EcuGeneration::Block;
    ctx.formatVersion = 3;
    std::array<uint8_t, 32> r1{};
    r1[1] = 6;
    {
        CEcuTelemetryRead t(ctx);
        EXPECT_EQ(t.next()->reg, 1);
        t.feed(r1);
        EXPECT_EQ(t.next()->reg, 4);
        t.fail();
        EXPECT_FALSE(t.next().has_value());
        CEcuLiveState s;
        EXPECT_EQ(t.apply(s), 0);
        EXPECT_EQ(s.engine_state, 0);
    }
    {
        CEcuTelemetryRead t(ctx);
        t.feed(r1);
        t.feed(std::array<uint8_t, 32>{});
        EXPECT_FALSE(t.next().has_value());
        CEcuLiveState s;
        EXPECT_EQ(t.apply(s), 1);
        EXPECT_EQ(s.engine_state, 6);
    }
}

TEST(CEcuTelemetryRead, NothingIsReadBeforeTheGenerationIsKnown) {
    CEcuTelemetryRead t{CEcuTelemetryContext{}};
    EXPECT_FALSE(t.next().has_value());
    CEcuLiveState s;
    EXPECT_EQ(t.apply(s), 0);
}

} // namespace
