#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The entries of the settings dialog's drop-down lists: the visible text
// (UTF-8) and the integer each entry carries, which is what the dialog stores
// or sends. Unless said otherwise an entry carries its index.
struct ListEntry {
    std::string text;
    int32_t data = 0;

    bool operator==(const ListEntry&) const = default;
};
using ListEntries = std::vector<ListEntry>;

// The lists themselves, as pure functions of what the ECU reports and of the
// language (0 Chinese, 1 English).
//
// Thread safety: pure functions; any thread.
class SettingLists {
public:
    // Telemetry protocol entries carry the 1-based protocol number; 6 is the
    // CAN bus, whose baud list holds CAN speeds instead of serial rates.
    static constexpr int32_t kCanProtocol = 6;
    // The current-limit list has entries 0..30.
    static constexpr int32_t kMaxCurrentIndex = 30;

    // The lists that exist only while the ECU reports their parameter.
    enum class Conditional : uint8_t {
        MaxCurrent,            // "Invalid", "1.0A" ... entries 0..highest index
        IgnitionTemperature,   // "0℃" ... "35℃"
        HeatingTime,           // "0 sec" ... "26 sec" / "0 秒" ...
        PreheatEndTemperature, // "0℃" ... "240℃"
        PreheatForceTime,      // "0 sec" ... "12 sec" / "0 秒" ...
    };

    // An unsupported list is the single entry "Invalid" / "无效" carrying 0.
    // highestIndex only matters for MaxCurrent (clamped to 0..30).
    [[nodiscard]] static ListEntries
    ConditionalList(Conditional which, bool supported, int32_t highestIndex, int32_t language);

    // Fixed lists.
    [[nodiscard]] static ListEntries SbusThrottleChannels();             // "1" .. "8"
    [[nodiscard]] static ListEntries SbusSwitchChannels();               // "Invalid", "1" .. "16"
    [[nodiscard]] static ListEntries SbusTelemetryModes();               // "1/1" .. "4/4"
    [[nodiscard]] static ListEntries ValveSupplies();                    // "1", "2"
    [[nodiscard]] static ListEntries StopBits();                         // "1", "1.5", "2"
    [[nodiscard]] static ListEntries SerialBaudRates();                  // "2400" .. "921600"
    [[nodiscard]] static ListEntries CanSpeeds();                        // "50 kbps" .. "1000 kbps"
    [[nodiscard]] static ListEntries TemperatureUnits(int32_t language); // texts 202, 203

    // Pump types from the mask of three bits (0 "DC Pump", 1 "DC
    // Pump(Sensor)", 2 "BS Pump"), each carrying its bit number; a mask of 0
    // gives "DC Pump" alone, carrying 0.
    [[nodiscard]] static ListEntries PumpTypes(uint8_t mask);
    // Telemetry protocols from the 8-bit mask: bit i adds the protocol named
    // for i (0 "Other", 1 "ZK", 2 "AMT", 3 "GSX", 4 "ZGBQ203", 5 "CANBus";
    // bits 6 and 7 have no name and add nothing), carrying i + 1. A mask of
    // 0 gives "Invalid" / "无效" alone, carrying 0.
    [[nodiscard]] static ListEntries TelemetryProtocols(uint8_t mask, int32_t language);

    // The bus (SBUS) channel and telemetry-mode lists apply while no protocol
    // is reported or the protocol selected is "Other" (or none).
    [[nodiscard]] static bool SbusApplies(uint8_t protocolMask, int32_t selectedProtocol);

    // The index of the first entry carrying data, or -1.
    [[nodiscard]] static int32_t IndexOfData(const ListEntries& entries, int32_t data);
};
