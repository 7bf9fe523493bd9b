#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The engineering page's start buttons as pure functions: each parses its
// edits (text to number; unparsable text gives 0), tests its condition,
// clamps the values and gives the register-1 command to send with the texts
// to write back into the edits. No command (std::nullopt) means the button
// does nothing.
//
// Set-points and what is sent:
//   pump      voltage mV = trunc((V + 0.00001) x 1000), 100..32000, shown
//             "%.2f" V; pressure = trunc((MPa + 0.00001) x 10000),
//             0..10000, shown "%.3f" of value / 10000; needs a time and
//             either set-point not 0 before clamping; long form 11
//             (mV, time, flags, pressure)
//   glow plug 10 mV units = trunc((V + 0.00001) x 100), 100..3200, shown
//             "%.2f" V; needs a time and a voltage; long form 8 (time,
//             voltage, 0, 0)
//   starter   as the glow plug, 10..3200; long form 12
//   tick test frequency 0..10 Hz; long form 9 (time, frequency, lines, 0)
//   open test long form 9 (time, 0, lines, 0)
//   oxygen    short form 18 (time)
// Times are whole seconds, shown "%d". A negative time does nothing and a
// time above 65535 s is clamped to it: the ECU takes 16 bits.
//
// Thread safety: pure functions; any thread.
struct KvrwCommand {
    // The kinds of test, in the order the page numbers them.
    enum Kind : int32_t { kPump = 0, kGlow = 1, kStarter = 2, kTick = 3, kOpen = 4, kOxygen = 5 };
    static constexpr int32_t kKindCount = 6;

    // Register-1 command codes of the kinds.
    static constexpr uint8_t kCodePump = 11;
    static constexpr uint8_t kCodeGlow = 8;
    static constexpr uint8_t kCodeStarter = 12;
    static constexpr uint8_t kCodeValve = 9;
    static constexpr uint8_t kCodeOxygen = 18;

    Kind kind = kPump;
    bool longForm = true;
    uint8_t code = 0;
    std::array<uint16_t, 4> args{}; // short form: args[0] only
    int32_t time = 0;               // s, the remaining time to show

    // Texts written back (empty where the kind has no such edit).
    std::string voltage, pressure, frequency, timeText;

    // --- the six buttons -----------------------------------------------------
    [[nodiscard]] static std::optional<KvrwCommand> Pump(std::string_view volts,
                                                         std::string_view megapascals,
                                                         std::string_view seconds,
                                                         uint8_t flags);
    [[nodiscard]] static std::optional<KvrwCommand> Glow(std::string_view volts,
                                                         std::string_view seconds);
    [[nodiscard]] static std::optional<KvrwCommand> Starter(std::string_view volts,
                                                            std::string_view seconds);
    [[nodiscard]] static std::optional<KvrwCommand>
    Tick(std::string_view hertz, std::string_view seconds, uint8_t lines);
    [[nodiscard]] static std::optional<KvrwCommand> Open(std::string_view seconds, uint8_t lines);
    [[nodiscard]] static std::optional<KvrwCommand> Oxygen(std::string_view seconds);

    // The stop of a running test: short form of its code with argument 0.
    // The oxygen valve has none (std::nullopt).
    [[nodiscard]] static std::optional<KvrwCommand> Stop(Kind kind);

    // Pump flags: bit 0 power-offset calibration, bit 3 supply-voltage
    // calibration, bit 4 pressure closed loop, each set while its "turn off"
    // box is clear.
    [[nodiscard]] static uint8_t PumpFlags(bool offsetOff, bool supplyOff, bool closedLoopOff);
    // Valve lines: bit 0 the main line, bit 1 the ignition line.
    [[nodiscard]] static uint8_t LineFlags(bool mainLine, bool ignitionLine);

    // Text to number as the C library's atof and atoi read it (leading
    // blanks, then the longest number; anything else gives 0). Infinite or
    // not-a-number values give 0; integers beyond 32 bits saturate.
    [[nodiscard]] static double ParseNumber(std::string_view text);
    [[nodiscard]] static int32_t ParseInteger(std::string_view text);
};
