#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cli {

// The command line of turbexctl, parsed. Options may stand anywhere, before
// or after the command; "--" ends them, so that a file named "-x" can be
// given. Values go as "--timeout 2" or "--timeout=2".
struct CliOptions {
    std::string
        command; // status, watch, params, set, log, flash, history, command, help; empty: none
    std::string subcommand;            // params: "", save, load; log: download, info
    std::vector<std::string> operands; // what follows the command (and subcommand)

    bool help = false;    // -h/--help: the help of the command, or of the tool
    bool version = false; // --version: the program's version, nothing else
    bool verbose = false; // --verbose: the links' debug traces on standard error
    bool json = false;
    int32_t timeoutMs = 5000; // --timeout S, seconds (fractions allowed), 0..86400
    uint16_t port = 8987;     // --port N, 1..65535
    int32_t language = 1;     // --lang en|zh: CTextTable's 1 English, 0 Chinese
    std::string serialPort;   // --serial-port PATH: the serial adapter's device node

    // log download
    std::string output = "engine_log.csv"; // -o/--output FILE
    bool outputGiven = false;
    bool abortBulk = false; // --abort-bulk
    // watch
    int64_t count = -1; // --count N: stop after N updates; -1 until interrupted
    // flash
    bool restore = false;  // --restore: send back the backed-up parameters that changed
    bool noBackup = false; // --no-backup: neither back up nor compare
};

// Parses args (without the program name). On failure returns false with a
// one-line reason in error (no "turbexctl:" prefix) and out partly filled.
// Checks the command's shape: operand counts, subcommands, and options that
// belong to another command.
[[nodiscard]] bool
ParseArguments(std::span<const std::string> args, CliOptions& out, std::string& error);

// A number of seconds ("5", "0.25") in milliseconds, 0..86400 s; false for
// anything else.
[[nodiscard]] bool ParseSeconds(const std::string& text, int32_t& ms);

// A whole decimal number in [low, high], nothing else in text.
[[nodiscard]] bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& out);

} // namespace cli
