#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cli {

// The single commands "turbexctl command NAME [ARGS]" sends: the radio
// learning commands, the actuator tests and the temperature calibration.
struct EcuCommandSpec {
    enum class Form : uint8_t {
        Short,          // register-1 short form, argument 0
        ExtensionValve, // long form, first argument 0 or 1 for extension valve 1 or 2
        Calibration,    // the prepare command and the calibration at an ambient °C
    };
    const char* name;
    uint8_t code; // register-1 command code (0 for the calibration)
    Form form;
    const char* arguments;   // "" or the argument's usage, e.g. "1|2"
    const char* description; // one line, English
};

// Every command, in the order the help lists them.
[[nodiscard]] std::span<const EcuCommandSpec> EcuCommands();

// A command with its arguments checked.
struct EcuCommandCall {
    const EcuCommandSpec* spec = nullptr;
    uint16_t argument = 0; // extension valve: 0 or 1; calibration: ambient °C
};

// Resolves name (ASCII case ignored) and checks its arguments. False with a
// reason in error for an unknown name or bad or missing arguments.
[[nodiscard]] bool ResolveEcuCommand(const std::string& name,
                                     const std::vector<std::string>& arguments,
                                     EcuCommandCall& out,
                                     std::string& error);

// The ambient temperatures the calibration offers, °C.
[[nodiscard]] std::span<const uint8_t> CalibrationTemperatures();

} // namespace cli
