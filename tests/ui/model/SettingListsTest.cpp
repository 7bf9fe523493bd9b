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
