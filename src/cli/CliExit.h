#pragma once

namespace cli {

// turbexctl's exit codes; scripts rely on them, so they never change meaning.
enum ExitCode : int {
    kExitOk = 0,            // the command did what it was asked
    kExitInternal = 1,      // an unexpected failure inside the tool
    kExitUsage = 2,         // bad arguments: unknown command or option, bad value
    kExitNoUnit = 3,        // no unit came online within the time-out
    kExitFailed = 4,        // the unit refused or an operation failed
    kExitFile = 5,          // a file could not be read or written, or is not what was expected
    kExitInterrupted = 130, // stopped by Ctrl-C before the operation finished
};

// One line per exit code, for the help text.
[[nodiscard]] const char* ExitCodeTable();

} // namespace cli
