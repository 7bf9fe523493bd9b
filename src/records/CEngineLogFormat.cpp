#include "records/CEngineLogFormat.h"

#include "records/CDeviceECUTracker.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

// The version-4 columns in file order; versions 1-3 read a prefix of them.
// counter, the only unsigned field, is column 0 and handled apart.
constexpr std::array<int32_t CDeviceECUTItem::*, CEngineLogFormat::kValueColumns> kColumns = {
    &CDeviceECUTItem::engine_state, &CDeviceECUTItem::temperature,
    &CDeviceECUTItem::engine_rpm,   &CDeviceECUTItem::pump_vol,
    &CDeviceECUTItem::radio_vol,    &CDeviceECUTItem::engine_vol,
    &CDeviceECUTItem::pressure,     &CDeviceECUTItem::rc_input1,
    &CDeviceECUTItem::rc_input2,    &CDeviceECUTItem::speed,
    &CDeviceECUTItem::pump_st,      &CDeviceECUTItem::pump_rpm,
    &CDeviceECUTItem::error_coe,    &CDeviceECUTItem::current,
    &CDeviceECUTItem::tcu_temp,     &CDeviceECUTItem::ecu_temp,
    &CDeviceECUTItem::thrust,       &CDeviceECUTItem::fuel_temp,
    &CDeviceECUTItem::fuel_press,   &CDeviceECUTItem::combustion_press,
};

constexpr std::array<const char*, 21> kNames = {
    "counter",    "engine_state", "temperature",      "engine_rpm", "pump_vol", "radio_vol",
    "engine_vol", "pressure",     "rc_input1",        "rc_input2",  "speed",    "pump_st",
    "pump_rpm",   "error_coe",    "current",          "tcu_temp",   "ecu_temp", "thrust",
    "fuel_temp",  "fuel_press",   "combustion_press",
};

// Version 203 columns after counter; null marks the ignored third column.
constexpr std::array<int32_t CDeviceECUTItem::*, 15> kColumns203 = {
    &CDeviceECUTItem::engine_state,
    nullptr,
    &CDeviceECUTItem::engine_rpm,
    &CDeviceECUTItem::temperature,
    &CDeviceECUTItem::pump_vol,
    &CDeviceECUTItem::pump_rpm,
    &CDeviceECUTItem::radio_vol,
    &CDeviceECUTItem::engine_vol,
    &CDeviceECUTItem::current,
    &CDeviceECUTItem::error_coe,
    &CDeviceECUTItem::fuel_press,
    &CDeviceECUTItem::fuel_temp,
    &CDeviceECUTItem::thrust,
    &CDeviceECUTItem::starter_vol,
    &CDeviceECUTItem::starter_rpm,
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void AppendInt(std::string& out, int32_t value) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    out.append(text, result.ptr);
}

// A line ends for the reader at its first NUL byte, as a C string would.
std::string_view UpToNul(std::string_view line) {
    const void* nul = std::memchr(line.data(), '\0', line.size());
    return nul == nullptr ? line : line.substr(0, static_cast<const char*>(nul) - line.data());
}

} // namespace

std::string CEngineLogFormat::VersionLine(int recordsPerSecond) {
    std::string line = "version,4,";
    AppendInt(line, recordsPerSecond);
    line += "\r\n";
    return line;
}

const char* CEngineLogFormat::ValueColumnName(size_t i) {
    return i < kValueColumns ? kNames[i + 1] : "";
}

int32_t CEngineLogFormat::ValueColumn(const CDeviceECUTItem& record, size_t i) {
    return i < kValueColumns ? record.*kColumns[i] : 0;
}

std::string CEngineLogFormat::HeaderLine() {
    std::string line;
    line.reserve(kHeaderLength);
    for (size_t i = 0; i < kNames.size(); ++i) {
        line += kNames[i];
        line += i + 1 < kNames.size() ? ",\t\t\t\t\t\t\t" : "\r\n";
    }
    return line;
}

void CEngineLogFormat::AppendRecordLine(const CDeviceECUTItem& record, std::string& out) {
    // The counter is written as a signed number, as the file always had it;
    // a negative counter read from a file thus comes back unchanged.
    AppendInt(out, static_cast<int32_t>(record.counter));
    for (auto column : kColumns) {
        out += ',';
        AppendInt(out, record.*column);
    }
    out += "\r\n";
}

std::string CEngineLogFormat::Serialize(const CDeviceECUTracker& tracker) {
    std::string text = VersionLine(tracker.getRecordsPerSecond());
    text += HeaderLine();
    text.reserve(text.size() + static_cast<size_t>(tracker.GetCount()) * 96);
    for (CMNode* node = tracker.GetTail(); node != nullptr; node = node->prev) {
        AppendRecordLine(*static_cast<const CDeviceECUTItem*>(node), text);
    }
    return text;
}

int CEngineLogFormat::ParseIntegers(std::string_view line, std::span<int32_t> out) {
    line = UpToNul(line);
    size_t at = 0;
    int count = 0;
    for (size_t field = 0; field < out.size(); ++field) {
        if (field > 0) {
            if (at >= line.size() || line[at] != ',') {
                break;
            }
            ++at;
        }
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        size_t digits = at;
        if (digits < line.size() && (line[digits] == '+' || line[digits] == '-')) {
            ++digits;
        }
        if (digits >= line.size() || line[digits] < '0' || line[digits] > '9') {
            break;
        }
        // from_chars takes no leading '+'.
        const char* first = line.data() + (line[at] == '+' ? at + 1 : at);
        int32_t value = 0;
        const auto result = std::from_chars(first, line.data() + line.size(), value);
        if (result.ec == std::errc::result_out_of_range) {
            return -1;
        }
        if (result.ec != std::errc()) {
            break;
        }
        out[field] = value;
        ++count;
        at = static_cast<size_t>(result.ptr - line.data());
    }
    return count;
}

CEngineLogFormat::VersionInfo CEngineLogFormat::ParseVersionLine(std::string_view line) {
    VersionInfo info;
    line = UpToNul(line);
    const size_t comma = line.find(',');
    if (comma == 0 || line.empty()) {
        return info; // the name needs at least one character
    }
    if (comma == std::string_view::npos) {
        info.fieldsRead = 1;
        return info;
    }
    int32_t numbers[2] = {0, 0};
    const int read = ParseIntegers(line.substr(comma + 1), numbers);
    if (read <= 0) {
        info.fieldsRead = 1;
        return info;
    }
    info.version = numbers[0];
    info.rate = read > 1 ? numbers[1] : 0;
    info.fieldsRead = 1 + read;
    return info;
}

int CEngineLogFormat::AcceptedRate(const VersionInfo& info) {
    const bool version =
        info.version == 2 || info.version == 3 || info.version == 4 || info.version == 203;
    // 16 is the ECU's fastest rate and the tool writes it; it is read back
    // as well so a saved 16-per-second log keeps its time axis.
    const bool rate =
        info.rate == 2 || info.rate == 4 || info.rate == 8 || info.rate == 16 || info.rate == 100;
    return version && rate && info.fieldsRead == 3 ? info.rate : 0;
}

int CEngineLogFormat::ParseRecordLine(int version, std::string_view line, CDeviceECUTItem& record) {
    std::array<int32_t, 21> values{};
    switch (version) {
    case 1:
    case 2:
    case 3:
    case 4: {
        const int fields = version == 1 ? 13 : version == 2 ? 17 : version == 3 ? 18 : 21;
        if (ParseIntegers(line, std::span(values).first(static_cast<size_t>(fields))) != fields) {
            return 0;
        }
        record.counter = static_cast<uint32_t>(values[0]);
        for (int i = 1; i < fields; ++i) {
            record.*kColumns[static_cast<size_t>(i - 1)] = values[static_cast<size_t>(i)];
        }
        return 1;
    }
    case 203: {
        const int read = ParseIntegers(line, std::span(values).first(16));
        if (read < 13) {
            return 0;
        }
        record.counter = static_cast<uint32_t>(values[0]);
        for (size_t i = 1; i < 16; ++i) {
            if (kColumns203[i - 1] != nullptr) {
                record.*kColumns203[i - 1] = values[i]; // fields not read stay 0
            }
        }
        record.fuel_press /= 10;
        return 1;
    }
    default:
        return 0;
    }
}
