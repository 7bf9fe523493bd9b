#include "cli/EcuCommands.h"

#include "cli/CliOptions.h"

#include <array>

namespace cli {

namespace {

using F = EcuCommandSpec::Form;

constexpr EcuCommandSpec kCommands[] = {
    {"learn-start", 2, F::Short, "", "start learning the radio throttle range"},
    {"learn-stop", 3, F::Short, "", "stop learning the radio throttle range"},
    {"learn-min", 4, F::Short, "", "learn the minimum throttle (stick down)"},
    {"learn-idle", 5, F::Short, "", "learn the idle throttle"},
    {"learn-max", 6, F::Short, "", "learn the maximum throttle (stick up)"},
    {"test-glowplug", 8, F::Short, "", "glow-plug test"},
    {"test-fuel-valve", 9, F::Short, "", "main fuel valve test"},
    {"test-ignition-valve", 10, F::Short, "", "ignition fuel valve test"},
    {"test-pump", 11, F::Short, "", "main pump test"},
    {"test-starter", 12, F::Short, "", "starter motor test"},
    {"test-extension-valve", 13, F::ExtensionValve, "1|2", "extension valve 1 or 2 test"},
    {"test-oxygen-valve", 18, F::Short, "", "oxygen valve test"},
    {"test-ignition-pump", 19, F::Short, "", "ignition pump test"},
    {"test-pump-hall", 20, F::Short, "", "main pump test with Hall-sensor learning"},
    {"calibrate-temperature",
     0,
     F::Calibration,
     "AMBIENT",
     "temperature-sensor calibration at AMBIENT degC (0, 10, 12, ... 30)"},
};

constexpr std::array<uint8_t, 12> kAmbient = {0, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};

bool SameIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c == '_') {
            c = '-';
        }
        if (c != b[i]) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

} // namespace

std::span<const EcuCommandSpec> EcuCommands() {
    return kCommands;
}

std::span<const uint8_t> CalibrationTemperatures() {
    return kAmbient;
}

bool ResolveEcuCommand(const std::string& name,
                       const std::vector<std::string>& arguments,
                       EcuCommandCall& out,
                       std::string& error) {
    const EcuCommandSpec* spec = nullptr;
    for (const EcuCommandSpec& c : kCommands) {
        if (SameIgnoringCase(name, c.name)) {
            spec = &c;
        }
    }
    if (spec == nullptr) {
        error = "unknown ECU command \"" + name + "\" (see turbexctl help command)";
        return false;
    }
    out = EcuCommandCall{spec, 0};
    const std::string usage =
        std::string("usage: turbexctl command ") + spec->name +
        (spec->arguments[0] != '\0' ? std::string(" ") + spec->arguments : "");
    switch (spec->form) {
    case F::Short:
        if (!arguments.empty()) {
            error = usage;
            return false;
        }
        return true;
    case F::ExtensionValve: {
        int64_t valve = 0;
        if (arguments.size() != 1 || !ParseInteger(arguments[0], 1, 2, valve)) {
            error = usage;
            return false;
        }
        out.argument = static_cast<uint16_t>(valve - 1);
        return true;
    }
    case F::Calibration: {
        int64_t ambient = -1;
        if (arguments.size() == 1 && ParseInteger(arguments[0], 0, 30, ambient)) {
            for (uint8_t t : kAmbient) {
                if (t == ambient) {
                    out.argument = t;
                    return true;
                }
            }
        }
        error = usage + " (AMBIENT one of 0, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30)";
        return false;
    }
    }
    return false;
}

} // namespace cli
