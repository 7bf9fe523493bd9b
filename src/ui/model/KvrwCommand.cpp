#include "ui/model/KvrwCommand.h"

#include "foundation/StringPrintf.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// Leading blanks and one '+' skipped, as atof and atoi do.
std::string_view NumberStart(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\f' || text[i] == '\v')) {
        ++i;
    }
    text.remove_prefix(i);
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text[0] == '-') {
            return {}; // one sign only: "+-5" is no number
        }
    }
    return text;
}

// trunc((value + 0.00001) x scale), in double so that no value overflows.
double Scaled(double value, double scale) {
    return std::trunc((value + 0.00001) * scale);
}

uint16_t Clamped(double value, double low, double high) {
    return static_cast<uint16_t>(std::clamp(value, low, high));
}

// The test time: nothing for 0 or less, at most what 16 bits carry.
std::optional<int32_t> Seconds(std::string_view text) {
    const int32_t seconds = KvrwCommand::ParseInteger(text);
    if (seconds <= 0) {
        return std::nullopt;
    }
    return std::min<int32_t>(seconds, std::numeric_limits<uint16_t>::max());
}

KvrwCommand Long(KvrwCommand::Kind kind, uint8_t code, int32_t time, std::array<uint16_t, 4> args) {
    KvrwCommand c;
    c.kind = kind;
    c.longForm = true;
    c.code = code;
    c.args = args;
    c.time = time;
    c.timeText = StringPrintf("%d", time);
    return c;
}

// Glow plug and starter: a voltage in 10 mV units and a time.
std::optional<KvrwCommand> VoltageTest(KvrwCommand::Kind kind,
                                       uint8_t code,
                                       double lowest,
                                       std::string_view volts,
                                       std::string_view seconds) {
    const auto time = Seconds(seconds);
    const double voltage = Scaled(KvrwCommand::ParseNumber(volts), 100.0);
    if (!time || voltage == 0.0) {
        return std::nullopt;
    }
    const uint16_t units = Clamped(voltage, lowest, 3200.0);
    KvrwCommand c = Long(kind, code, *time, {static_cast<uint16_t>(*time), units, 0, 0});
    c.voltage = StringPrintf("%.2f", units / 100.0);
    return c;
}

} // namespace

double KvrwCommand::ParseNumber(std::string_view text) {
    const std::string_view s = NumberStart(text);
    double value = 0.0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    // Beyond double, infinite or not a number: as unreadable as anything else.
    return result.ec == std::errc() && std::isfinite(value) ? value : 0.0;
}

int32_t KvrwCommand::ParseInteger(std::string_view text) {
    std::string_view s = NumberStart(text);
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    uint64_t value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    constexpr uint64_t kMax = std::numeric_limits<int32_t>::max();
    if (result.ec == std::errc::result_out_of_range || value > kMax) {
        return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    }
    if (result.ec != std::errc()) {
        return 0;
    }
    return negative ? -static_cast<int32_t>(value) : static_cast<int32_t>(value);
}

uint8_t KvrwCommand::PumpFlags(bool offsetOff, bool supplyOff, bool closedLoopOff) {
    return static_cast<uint8_t>((offsetOff ? 0 : 0x01) | (supplyOff ? 0 : 0x08) |
                                (closedLoopOff ? 0 : 0x10));
}

uint8_t KvrwCommand::LineFlags(bool mainLine, bool ignitionLine) {
    return static_cast<uint8_t>((mainLine ? 0x01 : 0) | (ignitionLine ? 0x02 : 0));
}

std::optional<KvrwCommand> KvrwCommand::Pump(std::string_view volts,
                                             std::string_view megapascals,
                                             std::string_view seconds,
                                             uint8_t flags) {
    const auto time = Seconds(seconds);
    const double voltage = Scaled(ParseNumber(volts), 1000.0);
    const double pressure = Scaled(ParseNumber(megapascals), 10000.0);
    if (!time || (voltage == 0.0 && pressure == 0.0)) {
        return std::nullopt;
    }
    const uint16_t millivolts = Clamped(voltage, 100.0, 32000.0);
    const uint16_t pressureUnits = Clamped(pressure, 0.0, 10000.0);
    KvrwCommand c = Long(
        kPump, kCodePump, *time, {millivolts, static_cast<uint16_t>(*time), flags, pressureUnits});
    c.voltage = StringPrintf("%.2f", millivolts / 1000.0);
    c.pressure = StringPrintf("%.3f", pressureUnits / 10000.0);
    return c;
}

std::optional<KvrwCommand> KvrwCommand::Glow(std::string_view volts, std::string_view seconds) {
    return VoltageTest(kGlow, kCodeGlow, 100.0, volts, seconds);
}

std::optional<KvrwCommand> KvrwCommand::Starter(std::string_view volts, std::string_view seconds) {
    return VoltageTest(kStarter, kCodeStarter, 10.0, volts, seconds);
}

std::optional<KvrwCommand>
KvrwCommand::Tick(std::string_view hertz, std::string_view seconds, uint8_t lines) {
    const auto time = Seconds(seconds);
    if (!time) {
        return std::nullopt;
    }
    const auto frequency = static_cast<uint16_t>(std::clamp(ParseInteger(hertz), 0, 10));
    KvrwCommand c =
        Long(kTick, kCodeValve, *time, {static_cast<uint16_t>(*time), frequency, lines, 0});
    c.frequency = StringPrintf("%d", frequency);
    return c;
}

std::optional<KvrwCommand> KvrwCommand::Open(std::string_view seconds, uint8_t lines) {
    const auto time = Seconds(seconds);
    if (!time) {
        return std::nullopt;
    }
    return Long(kOpen, kCodeValve, *time, {static_cast<uint16_t>(*time), 0, lines, 0});
}

std::optional<KvrwCommand> KvrwCommand::Oxygen(std::string_view seconds) {
    const auto time = Seconds(seconds);
    if (!time) {
        return std::nullopt;
    }
    KvrwCommand c = Long(kOxygen, kCodeOxygen, *time, {static_cast<uint16_t>(*time), 0, 0, 0});
    c.longForm = false;
    return c;
}

std::optional<KvrwCommand> KvrwCommand::Stop(Kind kind) {
    static constexpr uint8_t kCodes[kKindCount] = {
        kCodePump, kCodeGlow, kCodeStarter, kCodeValve, kCodeValve, 0};
    if (kind < kPump || kind >= kOxygen) {
        return std::nullopt;
    }
    KvrwCommand c;
    c.kind = kind;
    c.longForm = false;
    c.code = kCodes[kind];
    return c;
}
