#include "sim/SimEcuConfig.h"

#include <charconv>

namespace sim {

namespace {

bool ParseInt(const std::string& text, long minimum, long maximum, long& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && value >= minimum && value <= maximum;
}

bool ParseNumber(const std::string& text, double minimum, double maximum, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && value >= minimum && value <= maximum;
}

} // namespace

const char* EngineFaultName(EngineFault fault) {
    switch (fault) {
    case EngineFault::LowVoltage:
        return "low-voltage";
    case EngineFault::Overload:
        return "overload";
    case EngineFault::PumpLimit:
        return "pump-limit";
    case EngineFault::TcuNotAnswering:
        return "tcu-offline";
    case EngineFault::StarterNotAnswering:
        return "starter-offline";
    default:
        return "?";
    }
}

std::string SimEcuOptionsHelp() {
    return "  --generation item|block    ECU generation (default item)\n"
           "  --format 2|3|4             block page format (implies block; default 3)\n"
           "  --double-range             block double-range flag (implies block)\n"
           "  --extended-items           item frames with length bytes (implies item)\n"
           "  --packets N                item telemetry packets per set, 2..7\n"
           "  --unsupported ID[,ID...]   parameters (text ids) the ECU does not have\n"
           "  --fault NAME               low-voltage, overload, pump-limit, tcu-offline,\n"
           "                             starter-offline or error=N (1..19); repeatable\n"
           "  --radio none|off|futaba|jeti   receiver mode the ECU reports\n"
           "  --no-tcu --no-starter --no-alternator --brushed-pump --no-thrust\n"
           "  --sensor-group1            what is fitted around the ECU\n"
           "  --records BYTES            run-record storage reported\n"
           "  --switch-on --throttle P --run   radio switch, throttle %, start at once\n"
           "  --demo                     the engine starts, runs up and down the throttle\n"
           "                             range and cools down on its own, over and over\n";
}

bool ParseSimEcuOptions(std::span<const std::string> args,
                        SimEcuConfig& config,
                        std::vector<std::string>& rest,
                        std::string& error) {
    bool explicitGeneration = false;
    bool blockOption = false;
    bool itemOption = false;
    auto value = [&](size_t& i, std::string& out) {
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        out = args[++i];
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string text;
        long number = 0;
        if (arg == "--generation") {
            if (!value(i, text))
                return false;
            if (text == "item") {
                config.format.generation = EcuGeneration::Item;
            } else if (text == "block") {
                config.format.generation = EcuGeneration::Block;
            } else {
                error = "--generation takes item or block, not " + text;
                return false;
            }
            explicitGeneration = true;
        } else if (arg == "--format") {
            if (!value(i, text))
                return false;
            if (!ParseInt(text, 2, 4, number)) {
                error = "--format takes 2, 3 or 4, not " + text;
                return false;
            }
            config.format.blockFormat = static_cast<uint8_t>(number);
            blockOption = true;
        } else if (arg == "--double-range") {
            config.format.doubleRange = true;
            blockOption = true;
        } else if (arg == "--extended-items") {
            config.format.extendedItems = true;
            itemOption = true;
        } else if (arg == "--packets") {
            if (!value(i, text))
                return false;
            if (!ParseInt(text, 2, 7, number)) {
                error = "--packets takes 2..7, not " + text;
                return false;
            }
            config.telemetryPackets = static_cast<uint8_t>(number);
            itemOption = true;
        } else if (arg == "--unsupported") {
            if (!value(i, text))
                return false;
            size_t start = 0;
            while (start <= text.size()) {
                const size_t comma = text.find(',', start);
                const std::string id = text.substr(
                    start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!ParseInt(id, 1, 79, number)) {
                    error = "--unsupported takes text ids 1..79, not " + id;
                    return false;
                }
                config.features.unsupported.set(static_cast<size_t>(number));
                if (comma == std::string::npos) {
                    break;
                }
                start = comma + 1;
            }
        } else if (arg == "--fault") {
            if (!value(i, text))
                return false;
            bool found = false;
            for (int f = 0; f < static_cast<int>(EngineFault::Count); ++f) {
                if (text == EngineFaultName(static_cast<EngineFault>(f))) {
                    config.faults.push_back(static_cast<EngineFault>(f));
                    found = true;
                }
            }
            if (!found && text.rfind("error=", 0) == 0 && ParseInt(text.substr(6), 1, 19, number)) {
                config.errorCode = static_cast<uint8_t>(number);
                found = true;
            }
            if (!found) {
                error = "unknown fault " + text;
                return false;
            }
        } else if (arg == "--radio") {
            if (!value(i, text))
                return false;
            if (text == "none") {
                config.radioMode = 0;
            } else if (text == "off") {
                config.radioMode = 1;
            } else if (text == "futaba") {
                config.radioMode = 2;
            } else if (text == "jeti") {
                config.radioMode = 3;
            } else {
                error = "--radio takes none, off, futaba or jeti, not " + text;
                return false;
            }
        } else if (arg == "--no-tcu") {
            config.hardware.tcuFitted = false;
        } else if (arg == "--no-starter") {
            config.hardware.starterFitted = false;
        } else if (arg == "--no-alternator") {
            config.hardware.alternatorFitted = false;
        } else if (arg == "--brushed-pump") {
            config.hardware.brushlessPump = false;
        } else if (arg == "--no-thrust") {
            config.hardware.thrustSensor = false;
        } else if (arg == "--sensor-group1") {
            config.hardware.sensorGroup1 = true;
        } else if (arg == "--records") {
            if (!value(i, text))
                return false;
            if (!ParseInt(text, 0, 255 * 512, number)) {
                error = "--records takes 0..130560 bytes, not " + text;
                return false;
            }
            config.hardware.recordStorage = static_cast<uint32_t>(number);
        } else if (arg == "--switch-on") {
            config.switchOn = true;
        } else if (arg == "--throttle") {
            if (!value(i, text))
                return false;
            double percent = 0.0;
            if (!ParseNumber(text, 0.0, 100.0, percent)) {
                error = "--throttle takes 0..100, not " + text;
                return false;
            }
            config.throttle = percent;
        } else if (arg == "--run") {
            config.autoStart = true;
            config.switchOn = true;
        } else if (arg == "--demo") {
            config.demo = true;
            config.switchOn = true;
        } else {
            rest.push_back(arg);
        }
    }
    if (blockOption && itemOption) {
        error = "block-generation and item-generation options together";
        return false;
    }
    if (explicitGeneration) {
        if ((config.format.generation == EcuGeneration::Item && blockOption) ||
            (config.format.generation == EcuGeneration::Block && itemOption)) {
            error = "an option does not apply to the chosen generation";
            return false;
        }
    } else if (blockOption) {
        config.format.generation = EcuGeneration::Block;
    } else if (itemOption) {
        config.format.generation = EcuGeneration::Item;
    }
    return true;
}

} // namespace sim
