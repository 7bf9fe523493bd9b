// turbexctl: the headless companion of the tool (see "turbexctl --help").

#include "cli/Cli.h"
#include "cli/CliExit.h"
#include "cli/CliSession.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void OnSignal(int) {
    cli::RequestInterrupt();
}

} // namespace

int main(int argc, char** argv) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed pipe ends the output, not the process in the middle of a transfer.
    std::signal(SIGPIPE, SIG_IGN);

    const std::vector<std::string> args(argv + 1, argv + argc);
    cli::CliIo io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1, stderr};
    try {
        return cli::RunCli(args, io);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "turbexctl: unexpected failure: %s\n", e.what());
        return cli::kExitInternal;
    }
}
