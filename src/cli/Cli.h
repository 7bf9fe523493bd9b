#pragma once

#include <cstdio>
#include <ostream>
#include <span>
#include <string>

namespace platform {
class HidPort;
}

namespace cli {

// Where a run of turbexctl writes: results to out, messages and progress to
// err (progress only when err is a terminal), and with --verbose the debug
// traces of the links to debug. debug is a stdio stream because the links'
// threads write to it while the command runs (stdio locks each line); null:
// --verbose shows nothing. hidPort: the HID devices the HID link looks
// through; null: the system's (tests put a simulated dongle there).
struct CliIo {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    std::FILE* debug = nullptr;
    platform::HidPort* hidPort = nullptr;
};

// Runs turbexctl with args (without the program name) and returns its exit
// code (CliExit.h). Blocks until the command is done; Ctrl-C is seen through
// Interrupted() (CliSession.h).
[[nodiscard]] int RunCli(std::span<const std::string> args, CliIo& io);

// What --version prints: "turbexctl (Turbex) VERSION" and a line end.
[[nodiscard]] std::string VersionLine();

} // namespace cli
