#include "ui/model/SettingLists.h"

#include "foundation/CTextTable.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr const char* kInvalidEnglish = "Invalid";
constexpr const char* kInvalidChinese = "无效";

const char* Invalid(int32_t language) {
    return language == 1 ? kInvalidEnglish : kInvalidChinese;
}

template <size_t N>
ListEntries Indexed(const char* const (&texts)[N]) {
    ListEntries out;
    out.reserve(N);
    for (size_t i = 0; i < N; ++i) {
        out.push_back({texts[i], static_cast<int32_t>(i)});
    }
    return out;
}

// "0 sec" in English, "0 秒" in Chinese: the number, a blank and the unit.
template <size_t N>
ListEntries Seconds(const int (&values)[N], int32_t language) {
    ListEntries out;
    out.reserve(N);
    for (size_t i = 0; i < N; ++i) {
        out.push_back({std::to_string(values[i]) + (language == 1 ? " sec" : " 秒"),
                       static_cast<int32_t>(i)});
    }
    return out;
}

constexpr const char* kCurrents[] = {
    "", // entry 0 is "Invalid" / "无效"
    "1.0A",  "1.5A",  "2.0A",  "2.5A",  "3.0A",  "3.4A",  "3.8A",  "4.3A",  "4.9A",  "5.5A",
    "6.2A",  "7.0A",  "8.0A",  "9.0A",  "10.2A", "11.5A", "13.0A", "14.7A", "16.6A", "18.8A",
    "21.2A", "24.0A", "27.0A", "30.0A", "35.0A", "39.0A", "44.0A", "50.0A", "56.0A", "64.0A",
};
static_assert(std::size(kCurrents) == SettingLists::kMaxCurrentIndex + 1);

constexpr const char* kIgnitionTemperatures[] = {"0℃", "3℃", "6℃", "10℃", "15℃", "25℃", "35℃"};
constexpr const char* kPreheatEndTemperatures[] = {
    "0℃", "80℃", "100℃", "125℃", "156℃", "195℃", "240℃"};
constexpr int kHeatingSeconds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 14, 17, 20, 23, 26};
constexpr int kForceSeconds[] = {0, 1, 2, 3, 5, 8, 12};

} // namespace

ListEntries SettingLists::ConditionalList(Conditional which,
                                          bool supported,
                                          int32_t highestIndex,
                                          int32_t language) {
    if (!supported) {
        return {{Invalid(language), 0}};
    }
    switch (which) {
    case Conditional::MaxCurrent: {
        const int32_t last = std::clamp<int32_t>(highestIndex, 0, kMaxCurrentIndex);
        ListEntries out{{Invalid(language), 0}};
        for (int32_t i = 1; i <= last; ++i) {
            out.push_back({kCurrents[i], i});
        }
        return out;
    }
    case Conditional::IgnitionTemperature:
        return Indexed(kIgnitionTemperatures);
    case Conditional::HeatingTime:
        return Seconds(kHeatingSeconds, language);
    case Conditional::PreheatEndTemperature:
        return Indexed(kPreheatEndTemperatures);
    case Conditional::PreheatForceTime:
        return Seconds(kForceSeconds, language);
    }
    return {};
}

ListEntries SettingLists::SbusThrottleChannels() {
    ListEntries out;
    for (int32_t i = 0; i < 8; ++i) {
        out.push_back({std::to_string(i + 1), i});
    }
    return out;
}

ListEntries SettingLists::SbusSwitchChannels() {
    ListEntries out{{kInvalidEnglish, 0}}; // "Invalid" in both languages
    for (int32_t i = 1; i <= 16; ++i) {
        out.push_back({std::to_string(i), i});
    }
    return out;
}

ListEntries SettingLists::SbusTelemetryModes() {
    static constexpr const char* kModes[] = {"1/1", "1/2", "2/2", "1/4", "2/4", "3/4", "4/4"};
    return Indexed(kModes);
}

ListEntries SettingLists::ValveSupplies() {
    static constexpr const char* kSupplies[] = {"1", "2"};
    return Indexed(kSupplies);
}

ListEntries SettingLists::StopBits() {
    static constexpr const char* kStopBits[] = {"1", "1.5", "2"};
    return Indexed(kStopBits);
}

ListEntries SettingLists::SerialBaudRates() {
    static constexpr const char* kRates[] = {"2400",
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
                                             "921600"};
    return Indexed(kRates);
}

ListEntries SettingLists::CanSpeeds() {
    static constexpr const char* kSpeeds[] = {"50 kbps",
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
                                              "1000 kbps"};
    return Indexed(kSpeeds);
}

ListEntries SettingLists::TemperatureUnits(int32_t language) {
    return {{CTextTable::GetText(202, language), 0}, {CTextTable::GetText(203, language), 1}};
}

ListEntries SettingLists::PumpTypes(uint8_t mask) {
    static constexpr const char* kTypes[] = {"DC Pump", "DC Pump(Sensor)", "BS Pump"};
    ListEntries out;
    if ((mask & 0x07) == 0) {
        out.push_back({kTypes[0], 0});
        return out;
    }
    for (int32_t bit = 0; bit < 3; ++bit) {
        if ((mask >> bit) & 1) {
            out.push_back({kTypes[bit], bit});
        }
    }
    return out;
}

ListEntries SettingLists::TelemetryProtocols(uint8_t mask, int32_t language) {
    static constexpr const char* kNames[] = {"Other", "ZK", "AMT", "GSX", "ZGBQ203", "CANBus"};
    if (mask == 0) {
        return {{Invalid(language), 0}};
    }
    ListEntries out;
    for (int32_t bit = 0; bit < static_cast<int32_t>(std::size(kNames)); ++bit) {
        if ((mask >> bit) & 1) {
            out.push_back({kNames[bit], bit + 1});
        }
    }
    return out;
}

bool SettingLists::SbusApplies(uint8_t protocolMask, int32_t selectedProtocol) {
    return protocolMask == 0 || selectedProtocol < 2;
}

int32_t SettingLists::IndexOfData(const ListEntries& entries, int32_t data) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].data == data) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}
