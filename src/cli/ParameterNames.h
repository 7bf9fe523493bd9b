#pragma once

#include "engine/EcuTypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The names turbexctl gives the engine parameters, so that a script can say
// "set max-egt=950" instead of "set 13=950". Text ids 1..79 have one name
// each; four settings without a text id have their own.
enum class ExtraSetting { TemperatureUnit, PumpMode, TelemetryProtocol, EngineName };

// The name of a text id 1..79, or "" outside that range.
[[nodiscard]] std::string_view ParameterName(int textId);
[[nodiscard]] std::string_view ExtraSettingName(ExtraSetting setting);

// What a name or number given on the command line means.
struct ParameterRef {
    bool extra = false;
    int textId = 0;
    ExtraSetting setting = ExtraSetting::TemperatureUnit;
};

// "13", "max-egt" (ASCII case ignored, '_' taken as '-'), "engine-name"; nothing
// for an unknown name or a number outside 1..79.
[[nodiscard]] std::optional<ParameterRef> FindParameter(std::string_view nameOrId);

// "item", "block" or "unknown", as reports and JSON name the generation.
[[nodiscard]] const char* GenerationName(EcuGeneration generation);

// Read-only text ids (the learned throttle points 1..3).
[[nodiscard]] bool IsReadOnly(int textId);

} // namespace cli
