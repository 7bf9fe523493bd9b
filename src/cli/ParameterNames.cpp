#include "cli/ParameterNames.h"

#include <array>

namespace cli {

namespace {

constexpr std::array<std::string_view, 80> kNames = {
    "",
    "throttle-max",
    "throttle-min",
    "throttle-idle",
    "lost-signal-delay",
    "bus-throttle-channel",
    "bus-switch-channel",
    "bus-telemetry-mode",
    "telemetry-baud",
    "telemetry-stop-bits",
    "can-address",
    "can-value2",
    "can-value3",
    "max-egt",
    "min-battery-voltage",
    "starter-eject-time",
    "starter-eject-voltage",
    "starter-run-voltage",
    "starter-stability",
    "starter-pole-pairs",
    "cooling-rpm",
    "ignition-rpm",
    "ignition-main-pump-voltage",
    "ignition-valve-duty",
    "ignition-confirm-temperature",
    "valve-voltage1",
    "valve-voltage2",
    "valve-supply-ignition",
    "valve-supply-main",
    "valve-supply-ext1",
    "valve-supply-ext2",
    "starter-ramp",
    "pump-ramp",
    "fuel-ramp-rpm1",
    "fuel-ramp-rpm2",
    "fuel-ramp-pump1",
    "fuel-ramp-pump2",
    "altitude-run-min-rpm",
    "altitude-run-pressure",
    "altitude-start-pump-ramp",
    "altitude-start-pressure",
    "oxygen-start-rpm",
    "oxygen-start-pump-delay",
    "oxygen-start-pump-voltage",
    "oxygen-start-ramp-time",
    "glow-plug-start-voltage",
    "glow-plug-restart-voltage",
    "preheat-time",
    "preheat-rpm",
    "clutch-release-rpm",
    "ignition-pump-voltage-block",
    "run-min-rpm",
    "run-idle-rpm",
    "run-max-rpm",
    "restart-allowed",
    "pump-test-max-voltage",
    "pump-idle-sensitivity",
    "pump-max-current",
    "calibration1",
    "calibration2",
    "calibration3",
    "calibration4",
    "ignition-pump-voltage",
    "preheat-end-temperature",
    "preheat-forced-delay",
    "throttle-curve-decel",
    "throttle-curve-accel",
    "run-pump-limit",
    "design-max-rpm",
    "rpm-pulses",
    "starter-stop-coefficient",
    "temperature-scale",
    "rpm-control",
    "reduce-cooling-time",
    "no-glow-plug-check",
    "switch-bit2",
    "cooling-after-flameout",
    "standby-beep",
    "no-radio-timeout",
    "linear-rpm",
};

struct Extra {
    std::string_view name;
    ExtraSetting setting;
};
constexpr Extra kExtras[] = {
    {"temperature-unit", ExtraSetting::TemperatureUnit},
    {"pump-mode", ExtraSetting::PumpMode},
    {"telemetry-protocol", ExtraSetting::TelemetryProtocol},
    {"engine-name", ExtraSetting::EngineName},
};

std::string Normalized(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '_') {
            c = '-';
        }
    }
    return out;
}

} // namespace

std::string_view ParameterName(int textId) {
    return textId >= 1 && textId <= 79 ? kNames[static_cast<size_t>(textId)] : std::string_view();
}

std::string_view ExtraSettingName(ExtraSetting setting) {
    for (const Extra& e : kExtras) {
        if (e.setting == setting) {
            return e.name;
        }
    }
    return {};
}

std::optional<ParameterRef> FindParameter(std::string_view nameOrId) {
    if (!nameOrId.empty() && nameOrId.size() <= 2 &&
        nameOrId.find_first_not_of("0123456789") == std::string_view::npos) {
        const int id = std::stoi(std::string(nameOrId));
        if (id >= 1 && id <= 79) {
            return ParameterRef{false, id, ExtraSetting::TemperatureUnit};
        }
        return std::nullopt;
    }
    const std::string name = Normalized(nameOrId);
    for (int id = 1; id <= 79; ++id) {
        if (kNames[static_cast<size_t>(id)] == name) {
            return ParameterRef{false, id, ExtraSetting::TemperatureUnit};
        }
    }
    for (const Extra& e : kExtras) {
        if (e.name == name) {
            return ParameterRef{true, 0, e.setting};
        }
    }
    return std::nullopt;
}

bool IsReadOnly(int textId) {
    return textId >= 1 && textId <= 3;
}

const char* GenerationName(EcuGeneration generation) {
    switch (generation) {
    case EcuGeneration::Item:
        return "item";
    case EcuGeneration::Block:
        return "block";
    case EcuGeneration::Unknown:
        break;
    }
    return "unknown";
}

} // namespace cli
