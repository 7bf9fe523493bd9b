#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using cli::CliOptions;

namespace {

bool Parse(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
    return cli::ParseArguments(args, o, error);
}

} // namespace

TEST(CliOptions, AcceptedCommandLines) {
    struct Case {
        std::vector<std::string> args;
        std::string command, subcommand;
        size_t operands;
    };
    const Case cases[] = {
        {{"status"}, "status", "", 0},
        {{"--json", "status", "--timeout", "0.5"}, "status", "", 0},
        {{"watch", "--count=3"}, "watch", "", 0},
        {{"params"}, "params", "", 0},
        {{"params", "save", "engine_cfg.txt"}, "params", "save", 1},
        {{"params", "load", "--", "-odd-name.txt"}, "params", "load", 1},
        {{"set", "max-egt=950", "13=-5", "engine-name="}, "set", "", 3},
        {{"log", "download", "-o", "run.csv", "--abort-bulk"}, "log", "download", 0},
        {{"log", "info", "run.csv"}, "log", "info", 1},
        {{"flash", "fw.bin", "--port", "9000"}, "flash", "", 1},
        {{"command", "test-extension-valve", "2"}, "command", "", 2},
        {{"help", "set"}, "help", "", 1},
        {{"set", "--help"}, "set", "", 0}, // help needs no operands
    };
    for (const Case& c : cases) {
        CliOptions o;
        std::string error;
        SCOPED_TRACE(c.args.front());
        ASSERT_TRUE(Parse(c.args, o, error)) << error;
        EXPECT_EQ(o.command, c.command);
        EXPECT_EQ(o.subcommand, c.subcommand);
        EXPECT_EQ(o.operands.size(), c.operands);
    }
}

TEST(CliOptions, OptionValuesAndDefaults) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"status"}, o, error));
    EXPECT_EQ(o.timeoutMs, 5000);
    EXPECT_EQ(o.port, 8987);
    EXPECT_EQ(o.language, 1);
    EXPECT_FALSE(o.json);
    EXPECT_EQ(o.output, "engine_log.csv");

    CliOptions p;
    ASSERT_TRUE(Parse({"--lang",
                       "zh",
                       "log",
                       "download",
                       "--output=x.csv",
                       "--timeout=2.25",
                       "--port=1",
                       "--serial-port",
                       "/dev/pts/7"},
                      p,
                      error))
        << error;
    EXPECT_EQ(p.language, 0);
    EXPECT_EQ(p.output, "x.csv");
    EXPECT_TRUE(p.outputGiven);
    EXPECT_EQ(p.timeoutMs, 2250);
    EXPECT_EQ(p.port, 1);
    EXPECT_EQ(p.serialPort, "/dev/pts/7");

    CliOptions q;
    ASSERT_TRUE(Parse({"watch", "--count", "12"}, q, error));
    EXPECT_EQ(q.count, 12);
    CliOptions h;
    ASSERT_TRUE(Parse({"-h"}, h, error));
    EXPECT_TRUE(h.help);
    EXPECT_TRUE(h.command.empty());

    // --version stands alone or beside anything; --verbose beside a command.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"status", "--version"}, {"bogus-command", "--version"}}) {
        CliOptions v;
        EXPECT_TRUE(Parse(args, v, error)) << error;
        EXPECT_TRUE(v.version);
    }
    CliOptions verbose;
    ASSERT_TRUE(Parse({"--verbose", "status", "--json"}, verbose, error));
    EXPECT_TRUE(verbose.verbose);
    EXPECT_FALSE(verbose.version);
    EXPECT_FALSE(o.verbose);
}

TEST(CliOptions, RefusedCommandLinesSayWhy) {
    struct Case {
        std::vector<std::string> args;
        const char* reason; // part of the message
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"bogus"}, "unknown command \"bogus\""},
        {{"status", "extra"}, "usage: turbexctl status"},
        {{"status", "--frobnicate"}, "unknown option --frobnicate"},
        {{"status", "--timeout"}, "--timeout needs a value"},
        {{"status", "--timeout", "soon"}, "seconds"},
        {{"status", "--timeout", "-1"}, "seconds"},
        {{"status", "--timeout", "90000"}, "seconds"},
        {{"status", "--port", "0"}, "--port"},
        {{"status", "--port", "65536"}, "--port"},
        {{"status", "--port", "12ab"}, "--port"},
        {{"status", "--lang", "fr"}, "--lang"},
        {{"status", "--json=yes"}, "takes no value"},
        {{"status", "--verbose=1"}, "takes no value"},
        {{"--version=2"}, "takes no value"},
        {{"--verbose"}, "no command"},
        {{"status", "-o", "x.csv"}, "belongs to \"log download\""},
        {{"log", "info", "x.csv", "--abort-bulk"}, "belongs to \"log download\""},
        {{"status", "--count", "2"}, "belongs to \"watch\""},
        {{"watch", "--count", "0"}, "--count"},
        {{"params", "dump"}, "unknown params subcommand"},
        {{"params", "save"}, "usage: turbexctl params save FILE"},
        {{"params", "load", "a", "b"}, "usage: turbexctl params load FILE"},
        {{"set"}, "usage: turbexctl set"},
        {{"set", "max-egt"}, "is not ID=VALUE"},
        {{"set", "=5"}, "is not ID=VALUE"},
        {{"log"}, "download|info"},
        {{"log", "upload"}, "unknown log subcommand"},
        {{"log", "download", "x"}, "usage: turbexctl log download"},
        {{"flash"}, "usage: turbexctl flash"},
        {{"command"}, "usage: turbexctl command"},
        {{"help", "bogus"}, "unknown command \"bogus\""},
    };
    for (const Case& c : cases) {
        CliOptions o;
        std::string error;
        std::ostringstream name;
        for (const auto& a : c.args) {
            name << a << ' ';
        }
        SCOPED_TRACE(name.str());
        EXPECT_FALSE(Parse(c.args, o, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(CliOptions, NumbersAreWholeAndInRange) {
    int64_t n = 0;
    EXPECT_TRUE(cli::ParseInteger("-3", -5, 5, n));
    EXPECT_EQ(n, -3);
    EXPECT_FALSE(cli::ParseInteger("6", -5, 5, n));
    EXPECT_FALSE(cli::ParseInteger("1.0", 0, 5, n));
    EXPECT_FALSE(cli::ParseInteger(" 1", 0, 5, n));
    EXPECT_FALSE(cli::ParseInteger("", 0, 5, n));
    int32_t ms = 0;
    EXPECT_TRUE(cli::ParseSeconds("0", ms));
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(cli::ParseSeconds("86400", ms));
    EXPECT_EQ(ms, 86400000);
    EXPECT_FALSE(cli::ParseSeconds("nan", ms));
    EXPECT_FALSE(cli::ParseSeconds("1s", ms));
}
