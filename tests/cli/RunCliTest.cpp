// The paths of RunCli that end before any unit is looked for: arguments,
// help and file errors, with their exit codes and where the words go.
#include "cli/Cli.h"
#include "cli/CliExit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct CliRun {
    int code;
    std::string out, err;
};

CliRun RunArgs(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    cli::CliIo io{out, err, false};
    const int code = cli::RunCli(args, io);
    return {code, out.str(), err.str()};
}

std::string TempPath(const char* name) {
    return std::string(::testing::TempDir()) + "/turbex_runcli_" + std::to_string(getpid()) + "_" +
           name;
}

} // namespace

TEST(RunCli, BadArgumentsExitWithTwoAndWriteOnlyToStandardError) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"bogus"},
                                               {"status", "--port", "x"},
                                               {"set", "nonsense=1"},
                                               {"set", "13=hot"},
                                               {"set", "1=1200"},
                                               {"set", "telemetry-baud=1.5"},
                                               {"set", "can-address=xyz"},
                                               {"set", "temperature-unit=2"},
                                               {"set", "engine-name=" + std::string(29, 'x')},
                                               {"command", "test-nothing"},
                                               {"command", "calibrate-temperature", "25"}}) {
        const CliRun r = RunArgs(args);
        SCOPED_TRACE(args.empty() ? std::string("(none)") : args.back());
        EXPECT_EQ(r.code, cli::kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("turbexctl: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.back(), '\n');
    }
}

TEST(RunCli, HelpGoesToStandardOutput) {
    const CliRun tool = RunArgs({"--help"});
    EXPECT_EQ(tool.code, cli::kExitOk);
    EXPECT_EQ(tool.out.rfind("Usage: turbexctl [OPTIONS] COMMAND", 0), 0u);
    EXPECT_EQ(tool.err, "");
    EXPECT_EQ(RunArgs({"help"}).out, tool.out);
    const CliRun set = RunArgs({"set", "--help"});
    EXPECT_EQ(set.code, cli::kExitOk);
    EXPECT_EQ(set.out.rfind("Usage: turbexctl set", 0), 0u);
    EXPECT_EQ(RunArgs({"help", "set"}).out, set.out);
    EXPECT_EQ(RunArgs({"log", "--help"}).out.rfind("Usage: turbexctl log download", 0), 0u);
}

TEST(RunCli, VersionGoesToStandardOutputAndLooksForNoUnit) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"status", "--version", "--timeout", "60"}}) {
        const CliRun r = RunArgs(args);
        EXPECT_EQ(r.code, cli::kExitOk);
        EXPECT_EQ(r.out, cli::VersionLine());
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(cli::VersionLine().rfind("turbexctl (Turbex) ", 0), 0u);
    EXPECT_EQ(cli::VersionLine().back(), '\n');
}

TEST(RunCli, FileErrorsExitWithFiveBeforeLookingForAUnit) {
    const std::string missing = TempPath("missing");
    const std::string empty = TempPath("empty.bin");
    FILE* f = std::fopen(empty.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"log", "info", missing}, "cannot open"},
        {{"log", "info", empty}, "not an engine log"},
        {{"params", "load", missing}, "no such file"},
        {{"params", "load", ::testing::TempDir()}, "cannot read"},
        {{"flash", missing}, "no such file"},
        {{"flash", empty}, "is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        // A port nothing listens on: these must fail before any link is tried.
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--port", "1", "--timeout", "30"});
        const CliRun r = RunArgs(args);
        EXPECT_EQ(r.code, cli::kExitFile);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    std::remove(empty.c_str());
}
