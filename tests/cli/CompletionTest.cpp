// The bash completion of turbexctl (packaging/linux/turbexctl.bash) offers
// what turbexctl takes and nothing it refuses: commands, options, command
// names and parameter names, compared with the program's own lists.
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/EcuCommands.h"
#include "cli/ParameterNames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kScript = std::string(TURBEX_SOURCE_DIR) + "/packaging/linux/turbexctl.bash";

std::string Quote(const std::string& word) {
    std::string out = "'";
    for (char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// What the completion offers for the words of a command line, the last one
// being completed.
std::set<std::string> Complete(const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& w : words) {
        array += Quote(w) + " ";
    }
    const std::string script = "source " + Quote(kScript) + " && COMP_WORDS=(" + array +
                               ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                               " && _turbexctl && printf '%s\\n' \"${COMPREPLY[@]}\"";
    const std::string command = "bash --norc --noprofile -c " + Quote(script) + " 2>&1";
    std::set<std::string> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run bash";
        return out;
    }
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
            s.pop_back();
        }
        if (!s.empty()) {
            out.insert(s);
        }
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

bool Parses(const std::vector<std::string>& args) {
    cli::CliOptions o;
    std::string error;
    return cli::ParseArguments(args, o, error);
}

} // namespace

// The commands the tool's help lists (first word of each entry under
// "Commands:").
std::set<std::string> HelpCommands() {
    std::set<std::string> out;
    std::istringstream help(cli::ToolHelp());
    bool inList = false;
    for (std::string line; std::getline(help, line);) {
        if (line == "Commands:") {
            inList = true;
        } else if (line.empty()) {
            inList = false;
        } else if (inList && line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
            // An entry; deeper lines continue its description.
            std::istringstream words(line);
            std::string first;
            words >> first;
            out.insert(first);
        }
    }
    return out;
}

TEST(Completion, CommandsAndSubcommandsAreTheParsersOwn) {
    const std::set<std::string> commands = Complete({"turbexctl", ""});
    EXPECT_EQ(commands, HelpCommands());
    EXPECT_GE(commands.size(), 9u);
    for (const std::string& c : commands) {
        EXPECT_TRUE(Parses({c, "--help"})) << c;
    }
    EXPECT_EQ(Complete({"turbexctl", "st"}), (std::set<std::string>{"status"}));
    EXPECT_EQ(Complete({"turbexctl", "--json", "params", ""}),
              (std::set<std::string>{"save", "load"}));
    EXPECT_EQ(Complete({"turbexctl", "log", ""}), (std::set<std::string>{"download", "info"}));
    EXPECT_EQ(Complete({"turbexctl", "--lang", ""}), (std::set<std::string>{"en", "zh"}));
    EXPECT_EQ(Complete({"turbexctl", "help", ""}), commands);
    EXPECT_TRUE(Complete({"turbexctl", "status", ""}).empty()); // takes no operand
    // history's operand is a unit folder of the archive.
    const std::string home = std::string(::testing::TempDir()) + "/turbex_completion_home";
    std::filesystem::create_directories(home + "/turbex/units/ecu-123-a");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_EQ(Complete({"turbexctl", "history", "ecu"}), (std::set<std::string>{"ecu-123-a"}));
    unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(home);
}

TEST(Completion, EveryOptionOfTheHelpAndNoOther) {
    // Every long option the help names is offered where it belongs ...
    std::set<std::string> documented;
    const std::regex option("(^|[ ,[])(--[a-z-]+)");
    for (const std::string& help : {cli::ToolHelp(),
                                    cli::CommandHelp("watch"),
                                    cli::CommandHelp("log"),
                                    cli::CommandHelp("flash")}) {
        for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
            documented.insert((*it)[2]);
        }
    }
    EXPECT_TRUE(documented.count("--abort-bulk") == 1 && documented.count("--count") == 1 &&
                documented.count("--verbose") == 1);
    std::set<std::string> offered = Complete({"turbexctl", "status", "-"});
    for (const std::string& o : Complete({"turbexctl", "watch", "-"})) {
        offered.insert(o);
    }
    for (const std::string& o : Complete({"turbexctl", "log", "download", "-"})) {
        offered.insert(o);
    }
    for (const std::string& o : Complete({"turbexctl", "flash", "x.bin", "-"})) {
        offered.insert(o);
    }
    for (const std::string& d : documented) {
        EXPECT_TRUE(offered.count(d) == 1) << d << " is documented but not completed";
    }
    // ... and each one offered is taken by the parser there.
    for (const std::string& o : offered) {
        const bool value = o == "--timeout" || o == "--port" || o == "--serial-port" ||
                           o == "--lang" || o == "-o" || o == "--output" || o == "--count";
        std::vector<std::string> args = {"log", "download", o};
        if (o == "--count") {
            args = {"watch", o};
        } else if (o == "--restore" || o == "--no-backup") {
            args = {"flash", "x.bin", o};
        }
        if (value) {
            args.push_back(o == "--lang"                                            ? "en"
                           : (o == "--serial-port" || o == "-o" || o == "--output") ? "x"
                                                                                    : "2");
        }
        EXPECT_TRUE(Parses(args)) << o;
    }
    EXPECT_EQ(Complete({"turbexctl", "status", "-"}).count("--count"), 0u); // watch only
}

TEST(Completion, CommandNamesAreTheEcuCommands) {
    std::set<std::string> names;
    for (const cli::EcuCommandSpec& spec : cli::EcuCommands()) {
        names.insert(spec.name);
    }
    EXPECT_EQ(Complete({"turbexctl", "command", ""}), names);
    EXPECT_EQ(Complete({"turbexctl", "command", "test-extension-valve", ""}),
              (std::set<std::string>{"1", "2"}));
    std::set<std::string> temperatures;
    for (uint8_t t : cli::CalibrationTemperatures()) {
        temperatures.insert(std::to_string(t));
    }
    EXPECT_EQ(Complete({"turbexctl", "command", "calibrate-temperature", ""}), temperatures);
}

TEST(Completion, SetOffersEveryParameterThatCanBeSet) {
    std::set<std::string> settable;
    for (int id = 1; id <= 79; ++id) {
        if (!cli::IsReadOnly(id) && !cli::ParameterName(id).empty()) {
            settable.insert(std::string(cli::ParameterName(id)) + "=");
        }
    }
    for (cli::ExtraSetting e : {cli::ExtraSetting::TemperatureUnit,
                                cli::ExtraSetting::PumpMode,
                                cli::ExtraSetting::TelemetryProtocol,
                                cli::ExtraSetting::EngineName}) {
        settable.insert(std::string(cli::ExtraSettingName(e)) + "=");
    }
    EXPECT_EQ(Complete({"turbexctl", "set", ""}), settable);
    EXPECT_EQ(Complete({"turbexctl", "set", "max-e"}), (std::set<std::string>{"max-egt="}));
    EXPECT_TRUE(Complete({"turbexctl", "set", "max-egt=9"}).empty()); // the value is the user's
}
