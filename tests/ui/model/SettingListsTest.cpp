#include "ui/model/SettingLists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Texts(const ListEntries& entries) {
    std::vector<std::string> out;
    for (const ListEntry& e : entries) {
        out.push_back(e.text);
    }
    return out;
}

std::vector<int32_t> Data(const ListEntries& entries) {
    std::vector<int32_t> out;
    for (const ListEntry& e : entries) {
        out.push_back(e.data);
    }
    return out;
}

using C = SettingLists::Conditional;

} // namespace

TEST(SettingLists, ConditionalListsByLanguageAndSupport) {
    const struct {
        C list;
        bool supported;
        int32_t highest;
        int32_t language;
        size_t size;
        const char* first;
        const char* last;
    } cases[] = {
        {C::MaxCurrent, true, 30, 1, 31, "Invalid", "64.0A"},
        {C::MaxCurrent, true, 30, 0, 31, "无效", "64.0A"},
        {C::MaxCurrent, true, 5, 1, 6, "Invalid", "3.0A"},
        {C::MaxCurrent, true, 0, 1, 1, "Invalid", "Invalid"},
        {C::MaxCurrent, true, 45, 1, 31, "Invalid", "64.0A"}, // beyond the list
        {C::MaxCurrent, true, -3, 1, 1, "Invalid", "Invalid"},
        {C::MaxCurrent, false, 30, 1, 1, "Invalid", "Invalid"},
        {C::IgnitionTemperature, true, 0, 1, 7, "0℃", "35℃"},
        {C::IgnitionTemperature, false, 0, 0, 1, "无效", "无效"},
        {C::HeatingTime, true, 0, 1, 15, "0 sec", "26 sec"},
        {C::HeatingTime, true, 0, 0, 15, "0 秒", "26 秒"},
        {C::PreheatEndTemperature, true, 0, 1, 7, "0℃", "240℃"},
        {C::PreheatForceTime, true, 0, 1, 7, "0 sec", "12 sec"},
        {C::PreheatForceTime, true, 0, 0, 7, "0 秒", "12 秒"},
        {C::PreheatForceTime, false, 0, 1, 1, "Invalid", "Invalid"},
    };
    for (const auto& c : cases) {
        const ListEntries entries =
            SettingLists::ConditionalList(c.list, c.supported, c.highest, c.language);
        ASSERT_EQ(entries.size(), c.size) << int(c.list) << " " << c.highest;
        EXPECT_EQ(entries.front().text, c.first) << int(c.list);
        EXPECT_EQ(entries.back().text, c.last) << int(c.list);
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].data, static_cast<int32_t>(i)) << "entries carry their index";
        }
    }
    // The heating times are not evenly spaced.
    EXPECT_EQ(Texts(SettingLists::ConditionalList(C::HeatingTime, true, 0, 1))[9], "11 sec");
}

TEST(SettingLists, PumpTypesFromTheMask) {
    const struct {
        uint8_t mask;
        std::vector<std::string> texts;
        std::vector<int32_t> data;
    } cases[] = {
        {0, {"DC Pump"}, {0}},
        {1, {"DC Pump"}, {0}},
        {2, {"DC Pump(Sensor)"}, {1}},
        {4, {"BS Pump"}, {2}},
        {5, {"DC Pump", "BS Pump"}, {0, 2}},
        {7, {"DC Pump", "DC Pump(Sensor)", "BS Pump"}, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        const ListEntries entries = SettingLists::PumpTypes(c.mask);
        EXPECT_EQ(Texts(entries), c.texts) << int(c.mask);
        EXPECT_EQ(Data(entries), c.data) << int(c.mask);
    }
}

TEST(SettingLists, TelemetryProtocolsFromTheMask) {
    const struct {
        uint8_t mask;
        int32_t language;
        std::vector<std::string> texts;
        std::vector<int32_t> data;
    } cases[] = {
        {0x00, 1, {"Invalid"}, {0}},
        {0x00, 0, {"无效"}, {0}},
        {0x3F, 1, {"Other", "ZK", "AMT", "GSX", "ZGBQ203", "CANBus"}, {1, 2, 3, 4, 5, 6}},
        {0x21, 0, {"Other", "CANBus"}, {1, 6}},
        {0xE4, 1, {"AMT", "CANBus"}, {3, 6}}, // bits 6 and 7 have no name
        {0xC0, 1, {}, {}},
    };
    for (const auto& c : cases) {
        const ListEntries entries = SettingLists::TelemetryProtocols(c.mask, c.language);
        EXPECT_EQ(Texts(entries), c.texts) << int(c.mask);
        EXPECT_EQ(Data(entries), c.data) << int(c.mask);
    }
    EXPECT_EQ(SettingLists::IndexOfData(SettingLists::TelemetryProtocols(0x21, 1), 6), 1);
    EXPECT_EQ(SettingLists::IndexOfData(SettingLists::TelemetryProtocols(0x21, 1), 2), -1);
}

TEST(SettingLists, SbusAppliesWithoutAProtocolOrWithOther) {
    const struct {
        uint8_t mask;
        int32_t selected;
        bool applies;
    } cases[] = {
        {0x00, 0, true},
        {0x00, 5, true},
        {0x3F, 0, true},
        {0x3F, 1, true},
        {0x3F, 2, false},
        {0x3F, 6, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingLists::SbusApplies(c.mask, c.selected), c.applies)
            << int(c.mask) << " " << c.selected;
    }
}

TEST(SettingLists, FixedListsHoldEveryEntryInOrder) {
    using Strings = std::vector<std::string>;
    const struct {
        const char* name;
        ListEntries entries;
        Strings texts;
    } cases[] = {
        {"throttle channel",
         SettingLists::SbusThrottleChannels(),
         {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {"switch channel",
         SettingLists::SbusSwitchChannels(),
         {"Invalid",
          "1",
          "2",
          "3",
          "4",
          "5",
          "6",
          "7",
          "8",
          "9",
          "10",
          "11",
          "12",
          "13",
          "14",
          "15",
          "16"}},
        {"telemetry mode",
         SettingLists::SbusTelemetryModes(),
         {"1/1", "1/2", "2/2", "1/4", "2/4", "3/4", "4/4"}},
        {"valve supply", SettingLists::ValveSupplies(), {"1", "2"}},
        {"stop bits", SettingLists::StopBits(), {"1", "1.5", "2"}},
        {"serial rates",
         SettingLists::SerialBaudRates(),
         {"2400",
          "4800",
          "9600",
          "19200",
          "38400",
          "57600",
          "115200",
          "128000",
          "230400",
          "256000",
          "460800",
          "921600"}},
        {"CAN speeds",
         SettingLists::CanSpeeds(),
         {"50 kbps",
          "100 kbps",
          "125 kbps",
          "200 kbps",
          "250 kbps",
          "400 kbps",
          "500 kbps",
          "600 kbps",
          "666 kbps",
          "800 kbps",
          "900 kbps",
          "1000 kbps"}},
        {"units, Chinese", SettingLists::TemperatureUnits(0), {"摄氏度", "华氏度"}},
        {"units, English", SettingLists::TemperatureUnits(1), {"Celsius", "Fahrenheit"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Texts(c.entries), c.texts) << c.name;
        for (size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(c.entries[i].data, static_cast<int32_t>(i)) << c.name;
        }
    }
    // The conditional lists in full.
    const Strings currents = Texts(SettingLists::ConditionalList(C::MaxCurrent, true, 30, 1));
    EXPECT_EQ(currents,
              (Strings{"Invalid", "1.0A",  "1.5A",  "2.0A",  "2.5A",  "3.0A",  "3.4A",  "3.8A",
                       "4.3A",    "4.9A",  "5.5A",  "6.2A",  "7.0A",  "8.0A",  "9.0A",  "10.2A",
                       "11.5A",   "13.0A", "14.7A", "16.6A", "18.8A", "21.2A", "24.0A", "27.0A",
                       "30.0A",   "35.0A", "39.0A", "44.0A", "50.0A", "56.0A", "64.0A"}));
    EXPECT_EQ(Texts(SettingLists::ConditionalList(C::HeatingTime, true, 0, 0)),
              (Strings{"0 秒",
                       "1 秒",
                       "2 秒",
                       "3 秒",
                       "4 秒",
                       "5 秒",
                       "6 秒",
                       "7 秒",
                       "8 秒",
                       "11 秒",
                       "14 秒",
                       "17 秒",
                       "20 秒",
                       "23 秒",
                       "26 秒"}));
    EXPECT_EQ(Texts(SettingLists::ConditionalList(C::PreheatForceTime, true, 0, 1)),
              (Strings{"0 sec", "1 sec", "2 sec", "3 sec", "5 sec", "8 sec", "12 sec"}));
    EXPECT_EQ(Texts(SettingLists::ConditionalList(C::IgnitionTemperature, true, 0, 1)),
              (Strings{"0℃", "3℃", "6℃", "10℃", "15℃", "25℃", "35℃"}));
    EXPECT_EQ(Texts(SettingLists::ConditionalList(C::PreheatEndTemperature, true, 0, 0)),
              (Strings{"0℃", "80℃", "100℃", "125℃", "156℃", "195℃", "240℃"}));
}
