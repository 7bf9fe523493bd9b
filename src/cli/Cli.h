#pragma once

#include <ostream>
#include <span>
#include <string>

namespace cli {

// Where a run of turbexctl writes: results to out, messages and progress to
// err (progress only when err is a terminal).
struct CliIo {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
};

// Runs turbexctl with args (without the program name) and returns its exit
// code (CliExit.h). Blocks until the command is done; Ctrl-C is seen through
// Interrupted() (CliSession.h).
[[nodiscard]] int RunCli(std::span<const std::string> args, CliIo& io);

} // namespace cli
