#pragma once

#include "engine/EcuTypes.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class CEcuParameters;

namespace cli {

// The parameter block as "turbexctl params" shows it, copied under the
// protocol object's lock so that formatting is a pure function.
struct ParameterSnapshot {
    struct Entry {
        int textId = 0;
        std::string name; // turbexctl's name (ParameterNames)
        std::string key;  // parameter-file key, "" for ids the file does not keep
        std::string text; // as getText formats it
        int32_t value = 0;
        bool supported = false;
    };
    EcuGeneration generation = EcuGeneration::Unknown;
    uint8_t formatVersion = 0;
    std::vector<Entry> entries; // text ids 1..79 in order
    int temperatureUnit = 0;
    int pumpMode = 0;
    int telemetryProtocol = 0;
    uint8_t telemetryProtocolMask = 0;
    uint8_t pumpTypeMask = 0;
    std::string engineName; // UTF-8
};

[[nodiscard]] ParameterSnapshot TakeParameters(const CEcuParameters& parameters);

// Which parts a listing shows: every entry (ids empty, extras set), or only
// the named ids and extras (the read-back of "set").
struct ParameterSelection {
    std::set<int> ids;            // text ids shown when all is false
    std::set<std::string> extras; // names of ExtraSetting values to show
    bool all = true;
};

[[nodiscard]] std::string FormatParametersText(const ParameterSnapshot& p,
                                               const ParameterSelection& sel);
[[nodiscard]] std::string
FormatParametersJson(const ParameterSnapshot& p, const ParameterSelection& sel, bool pretty);

} // namespace cli
