#pragma once

#include "sim/EcuParameters.h"
#include "sim/EngineModel.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

// Everything that selects and shapes a simulated ECU.
struct SimEcuConfig {
    EcuFormat format;           // generation, block page format, double range, extended items
    EcuFeatures features;       // parameters this ECU does not have
    uint8_t blockSpareFill = 0; // initial content of page bits no parameter owns

    // Item generation: packets per telemetry set (2..7; 3..7 carry only a
    // header), and the order packet numbers are served in from a poll request
    // on (empty: 1..n). A number 0 or above n serves an impossible header.
    uint8_t telemetryPackets = 2;
    std::vector<uint8_t> telemetryOrder;
    // Item generation: the order parameter packets are served in (empty: 1, 2).
    std::vector<uint8_t> parameterOrder;

    EngineHardware hardware;
    std::vector<EngineFault> faults; // active from the start
    uint8_t errorCode = 0;           // latched from the start (1..19)
    int8_t radioMode = 0;            // register-11 receiver mode: 0 none, 1 off, 2 Futaba, 3 JETI

    bool switchOn = false;  // radio switch on (the engine is ready when stopped)
    double throttle = 0.0;  // radio throttle, %
    bool autoStart = false; // start the engine at once
    // A pilot (DemoPilot) starts the engine, runs the throttle up and down and
    // stops it again, over and over; the switch is on.
    bool demo = false;

    size_t logCapacity = 100000; // commands kept
};

// Parses the simulated-ECU options among args (program name not included):
//   --generation item|block   ECU generation (default item)
//   --format 2|3|4            block page format (implies block; default 3)
//   --double-range            block double-range flag (implies block)
//   --extended-items          item frames with length bytes (implies item)
//   --packets N               item telemetry packets per set, 2..7
//   --unsupported ID[,ID...]  parameters (text ids) the ECU does not have
//   --fault NAME              low-voltage, overload, pump-limit, tcu-offline,
//                             starter-offline, or error=N (1..19); repeatable
//   --radio none|off|futaba|jeti   receiver mode of register 11
//   --no-tcu, --no-starter, --no-alternator, --brushed-pump, --no-thrust,
//   --sensor-group1           what is fitted
//   --records BYTES           run-record storage reported
//   --switch-on, --throttle P, --run   radio switch, throttle %, start at once
//   --demo                    the engine runs up and down on its own, repeatedly
// Options it does not know are returned in rest, in order, for the caller.
// False with error set on a bad value or contradicting options.
[[nodiscard]] bool ParseSimEcuOptions(std::span<const std::string> args,
                                      SimEcuConfig& config,
                                      std::vector<std::string>& rest,
                                      std::string& error);

// One line per option, for a usage text.
[[nodiscard]] std::string SimEcuOptionsHelp();

// "low-voltage", "overload", "pump-limit", "tcu-offline", "starter-offline".
[[nodiscard]] const char* EngineFaultName(EngineFault fault);

} // namespace sim
