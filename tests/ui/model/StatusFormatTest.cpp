#include "ui/model/StatusFormat.h"

#include "foundation/CTextTable.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

constexpr int32_t kZh = 0;
constexpr int32_t kEn = 1;

std::map<int32_t, std::string> AsMap(const std::vector<StatusValue>& values) {
    std::map<int32_t, std::string> out;
    for (const auto& v : values) {
        EXPECT_EQ(out.count(v.controlId), 0u) << "control " << v.controlId << " set twice";
        out[v.controlId] = v.text;
    }
    return out;
}

// Every value control of the status panel except the learned throttle
// points, the version and the link rate.
const int32_t kLiveControls[] = {1023, 1024, 1026, 1030, 1031, 1032, 1033, 1035, 1037, 1038, 1039,
                                 1040, 1041, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051,
                                 1052, 1053, 1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1069};

TEST(StatusFormat, NothingConnectedLeavesEveryValueEmpty) {
    const auto values = AsMap(StatusFormat::LiveValues(nullptr, kEn));
    EXPECT_EQ(values.size(), std::size(kLiveControls));
    for (int32_t id : kLiveControls) {
        ASSERT_EQ(values.count(id), 1u) << id;
        EXPECT_EQ(values.at(id), "") << id;
    }
}

TEST(StatusFormat, ConnectedFillsEveryGroupOnce) {
    EcuLiveView live;
    live.starter_fitted = live.starter_answering = true;
    live.tcu_fitted = live.tcu_answering = true;
    live.main_pump_ecu_kind = 1;
    live.ignition_pump_state = 4;
    live.alternator_present = true;
    const auto values = AsMap(StatusFormat::LiveValues(&live, kEn));
    for (int32_t id : kLiveControls) {
        ASSERT_EQ(values.count(id), 1u) << id;
    }
}

TEST(StatusFormat, StateBoxFormats) {
    EcuLiveView live;
    live.display_state = 11;
    live.cpu_load = 37;
    live.cpu_temperature = 45;
    live.rc_voltage = 5.04f;
    live.battery_voltage = 12.34f;
    live.current = 3.456f;
    live.air_pressure = 101325;
    live.altitude = -12;
    const auto en = AsMap(StatusFormat::StateGroup(&live, kEn));
    EXPECT_EQ(en.at(1044), "Running");
    EXPECT_EQ(en.at(1023), "37");
    EXPECT_EQ(en.at(1051), "45");
    EXPECT_EQ(en.at(1030), "5.0");
    EXPECT_EQ(en.at(1031), "12.3");
    EXPECT_EQ(en.at(1033), "3.46");
    EXPECT_EQ(en.at(1038), "101.325");
    EXPECT_EQ(en.at(1057), "-12");
    EXPECT_EQ(AsMap(StatusFormat::StateGroup(&live, kZh)).at(1044), "运行");
}

TEST(StatusFormat, CpuTemperatureBelowMinus59IsUnknown) {
    const struct {
        int32_t celsius;
        const char* shown;
    } cases[] = {{-60, "???"}, {-100, "???"}, {-59, "-59"}, {0, "0"}, {195, "195"}};
    for (const auto& c : cases) {
        EcuLiveView live;
        live.cpu_temperature = c.celsius;
        EXPECT_EQ(AsMap(StatusFormat::StateGroup(&live, kEn)).at(1051), c.shown) << c.celsius;
    }
}

TEST(StatusFormat, StarterShowsValuesOnlyWhenFittedAndAnswering) {
    const struct {
        bool fitted, answering;
        const char* type;
        bool values;
    } cases[] = {
        {false, false, "Unsupport", false},
        {false, true, "Unsupport", false},
        {true, false, "Fault", false},
        {true, true, "Normally", true},
    };
    for (const auto& c : cases) {
        EcuLiveView live;
        live.starter_fitted = c.fitted;
        live.starter_answering = c.answering;
        live.starter_state = 2;
        live.starter_rpm = 12340;
        live.starter_temperature = -5;
        const auto v = AsMap(StatusFormat::StarterGroup(&live, kEn));
        EXPECT_EQ(v.at(1024), c.type);
        EXPECT_EQ(v.at(1037), c.values ? "Run" : "");
        EXPECT_EQ(v.at(1039), c.values ? "12340" : "");
        EXPECT_EQ(v.at(1040), c.values ? "-5" : "");
    }
}

TEST(StatusFormat, StarterStatesAndOutOfRange) {
    const char* expected[] = {"Stop", "Start", "Run", "Brake", ""};
    for (int state = 0; state <= 4; ++state) {
        EcuLiveView live;
        live.starter_fitted = live.starter_answering = true;
        live.starter_state = static_cast<uint8_t>(state);
        EXPECT_EQ(AsMap(StatusFormat::StarterGroup(&live, kEn)).at(1037), expected[state]) << state;
    }
}

TEST(StatusFormat, MainPumpKindsAndPresenceRule) {
    const struct {
        uint8_t ecuKind, tcuKind;
        const char* ecuText;
        const char* tcuText;
        bool reported;
    } cases[] = {
        {0, 0, "DC Motor", "Unsupport", false},
        {0, 1, "DC Motor", "DC Motor", false},
        {0, 2, "DC Motor", "BLDC Motor", true},
        {0, 3, "DC Motor", "Fault", true},
        {1, 0, "BLDC Motor", "Unsupport", true},
        {2, 0, "Fault", "Unsupport", true},
        {3, 1, "DC Motor", "DC Motor", true},
    };
    for (const auto& c : cases) {
        EcuLiveView live;
        live.main_pump_ecu_kind = c.ecuKind;
        live.main_pump_tcu_kind = c.tcuKind;
        live.main_pump_state = 3;
        live.main_pump_rpm = 4560;
        live.main_pump_temperature = 41;
        const auto v = AsMap(StatusFormat::MainPumpGroup(&live, kEn));
        SCOPED_TRACE(testing::Message() << int(c.ecuKind) << "/" << int(c.tcuKind));
        EXPECT_EQ(v.at(1047), c.ecuText);
        EXPECT_EQ(v.at(1026), c.tcuText);
        EXPECT_EQ(StatusFormat::MainPumpReported(live), c.reported);
        EXPECT_EQ(v.at(1041), c.reported ? "Brake" : "");
        EXPECT_EQ(v.at(1043), c.reported ? "4560" : "");
        EXPECT_EQ(v.at(1046), c.reported ? "41" : "");
    }
}

TEST(StatusFormat, TcuVersionOfflineOrUnsupported) {
    const struct {
        bool fitted, answering;
        const char* version;
        bool values;
    } cases[] = {
        {false, false, "Unsupport", false},
        {true, false, "Offline", true},
        {true, true, "TCU:2.10.255", true},
        {false, true, "TCU:2.10.255", true}, // a TCU that answers is present
    };
    for (const auto& c : cases) {
        EcuLiveView live;
        live.tcu_fitted = c.fitted;
        live.tcu_answering = c.answering;
        live.tcu_version = {2, 10, 255};
        live.tcu_voltage = 120;
        live.tcu_temperature = 33;
        const auto v = AsMap(StatusFormat::TcuGroup(&live, kEn));
        EXPECT_EQ(v.at(1045), c.version);
        EXPECT_EQ(v.at(1054), c.values ? "120" : "");
        EXPECT_EQ(v.at(1056), c.values ? "33" : "");
    }
    EcuLiveView silent;
    silent.tcu_fitted = true;
    EXPECT_EQ(AsMap(StatusFormat::TcuGroup(&silent, kZh)).at(1045), CTextTable::GetText(88, kZh));
}

TEST(StatusFormat, IgnitionPumpStatesAndValues) {
    const char* texts[] = {"Unsupport", "Offline", "Stop", "Start", "Run", "Brake", "", ""};
    for (int state = 0; state <= 7; ++state) {
        EcuLiveView live;
        live.ignition_pump_state = static_cast<uint8_t>(state);
        live.ignition_pump_rpm = 51100;
        live.ignition_pump_temperature = 70;
        const auto v = AsMap(StatusFormat::IgnitionPumpGroup(&live, kEn));
        EXPECT_EQ(v.at(1052), texts[state]) << state;
        EXPECT_EQ(v.at(1053), state >= 2 ? "51100" : "") << state;
        EXPECT_EQ(v.at(1058), state >= 2 ? "70" : "") << state;
    }
}

TEST(StatusFormat, AlternatorShowsItsVoltageOnlyWhenPresent) {
    EcuLiveView live;
    live.alternator_voltage = 14.2f;
    EXPECT_EQ(AsMap(StatusFormat::AlternatorGroup(&live)).at(1049), "");
    live.alternator_present = true;
    const auto v = AsMap(StatusFormat::AlternatorGroup(&live));
    EXPECT_EQ(v.at(1049), "14.2");
    EXPECT_EQ(v.at(1035), "");
    EXPECT_EQ(v.at(1048), "");
    EXPECT_EQ(v.at(1050), "");
}

TEST(StatusFormat, RcFuelAndRecords) {
    EcuLiveView live;
    live.rc_throttle_input = 1520;
    live.rc_switch_input = 990;
    live.fuel_temperature = -3;
    live.fuel_pressure = 0.1234f;
    live.combustion_pressure = 1.5f;
    live.record_storage = 3u * 512u;
    const auto rc = AsMap(StatusFormat::RcInputs(&live));
    EXPECT_EQ(rc.at(1032), "1520");
    EXPECT_EQ(rc.at(1055), "990");
    const auto fuel = AsMap(StatusFormat::FuelGroup(&live));
    EXPECT_EQ(fuel.at(1059), "-3");
    EXPECT_EQ(fuel.at(1060), "0.123");
    EXPECT_EQ(fuel.at(1061), "1.500");
    EXPECT_EQ(AsMap(StatusFormat::Records(&live)).at(1069), "1536");
}

TEST(StatusFormat, LearnedThrottleGoesToMaxMinIdle) {
    const auto v = AsMap(StatusFormat::LearnedThrottle("1900", "1100", "1200"));
    EXPECT_EQ(v.at(1025), "1900");
    EXPECT_EQ(v.at(1036), "1100");
    EXPECT_EQ(v.at(1029), "1200");
}

TEST(StatusFormat, VersionTexts) {
    EXPECT_EQ(StatusFormat::Version(false, 3, 10, 5), "APP:V3.10.05");
    EXPECT_EQ(StatusFormat::Version(false, 1, 2, 3), "APP:V1.02.03");
    EXPECT_EQ(StatusFormat::Version(true, 2, 1, 0), "BOOT:V2.01");
}

TEST(StatusFormat, DisplayStateAndErrorTexts) {
    const struct {
        int32_t state;
        const char* en;
    } states[] = {{0, "Stop"},
                  {2, "Ignition (StickDown)"},
                  {6, "Run - Learn Rc,Stick Up"},
                  {7, "Run - Learn Rc,Stick Down"},
                  {11, "Running"},
                  {12, "Coolling"},
                  {18, "Test Starter"},
                  {19, "Drain Fuel"},
                  {20, "Lock Control"},
                  {21, ""},
                  {-1, ""}};
    for (const auto& s : states) {
        EXPECT_EQ(StatusFormat::DisplayStateText(s.state, kEn), s.en) << s.state;
    }
    EXPECT_EQ(StatusFormat::DisplayStateText(7, kZh), "运行-学习,油门最小");
    EXPECT_EQ(StatusFormat::ErrorText(0, kEn), "Error: No");
    EXPECT_EQ(StatusFormat::ErrorText(19, kEn), "Error: Pump Limit");
    EXPECT_EQ(StatusFormat::ErrorText(1, kZh), "错误: 超时");
    EXPECT_EQ(StatusFormat::ErrorText(20, kEn), "");
    EXPECT_EQ(StatusFormat::ErrorText(-1, kEn), "");
}

TEST(StatusFormat, ParseInt) {
    int32_t v = 7;
    EXPECT_TRUE(StatusFormat::ParseInt("850", &v));
    EXPECT_EQ(v, 850);
    EXPECT_TRUE(StatusFormat::ParseInt(" 160000 rpm", &v));
    EXPECT_EQ(v, 160000);
    EXPECT_FALSE(StatusFormat::ParseInt("", &v));
    EXPECT_FALSE(StatusFormat::ParseInt("abc", &v));
    EXPECT_FALSE(StatusFormat::ParseInt("99999999999", &v));
    EXPECT_EQ(v, 160000); // unchanged on failure
}

} // namespace
