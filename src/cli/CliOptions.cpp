#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>

namespace cli {

namespace {

bool IsNegativeNumber(const std::string& a) {
    if (a.size() < 2 || a[0] != '-') {
        return false;
    }
    for (size_t i = 1; i < a.size(); ++i) {
        if ((a[i] < '0' || a[i] > '9') && a[i] != '.') {
            return false;
        }
    }
    return true;
}

bool LooksLikeOption(const std::string& a) {
    return a.size() > 1 && a[0] == '-' && !IsNegativeNumber(a);
}

const char* const kCommands[] = {
    "status", "watch", "params", "set", "log", "flash", "history", "command", "help"};

bool KnownCommand(const std::string& c) {
    for (const char* k : kCommands) {
        if (c == k) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& out) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != end || v < low || v > high) {
        return false;
    }
    out = v;
    return true;
}

bool ParseSeconds(const std::string& text, int32_t& ms) {
    double s = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, s);
    if (text.empty() || r.ec != std::errc() || r.ptr != end || !std::isfinite(s) || s < 0 ||
        s > 86400) {
        return false;
    }
    ms = static_cast<int32_t>(std::lround(s * 1000.0));
    return true;
}

bool ParseArguments(std::span<const std::string> args, CliOptions& out, std::string& error) {
    std::vector<std::string> positional;
    bool endOfOptions = false;
    std::vector<std::string> downloadOnly; // options given that only log download takes
    std::vector<std::string> watchOnly;
    std::vector<std::string> flashOnly;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (endOfOptions || !LooksLikeOption(a)) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            endOfOptions = true;
            continue;
        }
        std::string name = a;
        std::string inlineValue;
        bool hasInline = false;
        if (const size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            inlineValue = a.substr(eq + 1);
            hasInline = true;
        }
        auto takeValue = [&](std::string& v) {
            if (hasInline) {
                v = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        auto noValue = [&] {
            if (hasInline) {
                error = name + " takes no value";
                return false;
            }
            return true;
        };

        std::string v;
        if (name == "-h" || name == "--help") {
            if (!noValue()) {
                return false;
            }
            out.help = true;
        } else if (name == "--version") {
            if (!noValue()) {
                return false;
            }
            out.version = true;
        } else if (name == "--verbose") {
            if (!noValue()) {
                return false;
            }
            out.verbose = true;
        } else if (name == "--json") {
            if (!noValue()) {
                return false;
            }
            out.json = true;
        } else if (name == "--timeout") {
            if (!takeValue(v)) {
                return false;
            }
            if (!ParseSeconds(v, out.timeoutMs)) {
                error = "--timeout needs a number of seconds from 0 to 86400, not \"" + v + "\"";
                return false;
            }
        } else if (name == "--port") {
            if (!takeValue(v)) {
                return false;
            }
            int64_t port = 0;
            if (!ParseInteger(v, 1, 65535, port)) {
                error = "--port needs a TCP port from 1 to 65535, not \"" + v + "\"";
                return false;
            }
            out.port = static_cast<uint16_t>(port);
        } else if (name == "--lang") {
            if (!takeValue(v)) {
                return false;
            }
            if (v == "en") {
                out.language = 1;
            } else if (v == "zh") {
                out.language = 0;
            } else {
                error = "--lang takes en or zh, not \"" + v + "\"";
                return false;
            }
        } else if (name == "--serial-port") {
            if (!takeValue(v)) {
                return false;
            }
            if (v.empty()) {
                error = "--serial-port needs a device node";
                return false;
            }
            out.serialPort = v;
        } else if (name == "-o" || name == "--output") {
            if (!takeValue(v)) {
                return false;
            }
            if (v.empty()) {
                error = name + " needs a file name";
                return false;
            }
            out.output = v;
            out.outputGiven = true;
            downloadOnly.push_back(name);
        } else if (name == "--abort-bulk") {
            if (!noValue()) {
                return false;
            }
            out.abortBulk = true;
            downloadOnly.push_back(name);
        } else if (name == "--count") {
            if (!takeValue(v)) {
                return false;
            }
            if (!ParseInteger(v, 1, INT64_MAX, out.count)) {
                error = "--count needs a whole number above 0, not \"" + v + "\"";
                return false;
            }
            watchOnly.push_back(name);
        } else if (name == "--restore" || name == "--no-backup") {
            if (!noValue()) {
                return false;
            }
            (name == "--restore" ? out.restore : out.noBackup) = true;
            flashOnly.push_back(name);
        } else {
            error = "unknown option " + name;
            return false;
        }
    }

    if (out.version) {
        return true; // the version, whatever else the line says
    }
    if (positional.empty()) {
        if (out.help) {
            return true; // the tool's help
        }
        error = "no command given";
        return false;
    }
    out.command = positional.front();
    positional.erase(positional.begin());
    if (!KnownCommand(out.command)) {
        error = "unknown command \"" + out.command + "\"";
        return false;
    }
    if ((out.command == "params" || out.command == "log") && !positional.empty()) {
        out.subcommand = positional.front();
        positional.erase(positional.begin());
    }
    out.operands = std::move(positional);

    const bool isDownload = out.command == "log" && out.subcommand == "download";
    if (!downloadOnly.empty() && !isDownload && !(out.help && out.command == "log")) {
        error = downloadOnly.front() + " belongs to \"log download\"";
        return false;
    }
    if (!watchOnly.empty() && out.command != "watch") {
        error = watchOnly.front() + " belongs to \"watch\"";
        return false;
    }
    if (!flashOnly.empty() && out.command != "flash") {
        error = flashOnly.front() + " belongs to \"flash\"";
        return false;
    }
    if (out.restore && out.noBackup) {
        error = "--restore needs the backup that --no-backup leaves out";
        return false;
    }
    if (out.help) {
        return true; // no operands are needed to show a command's help
    }

    const size_t n = out.operands.size();
    auto expect = [&](bool ok, const std::string& usage) {
        if (!ok) {
            error = "usage: turbexctl " + usage;
        }
        return ok;
    };
    if (out.command == "help") {
        if (n > 1 || (n == 1 && !KnownCommand(out.operands[0]))) {
            error = n > 1 ? "usage: turbexctl help [COMMAND]"
                          : "unknown command \"" + out.operands[0] + "\"";
            return false;
        }
        return true;
    }
    if (out.command == "status" || out.command == "watch") {
        return expect(n == 0, out.command);
    }
    if (out.command == "params") {
        if (out.subcommand.empty()) {
            return true;
        }
        if (out.subcommand != "save" && out.subcommand != "load") {
            error = "unknown params subcommand \"" + out.subcommand + "\" (save or load)";
            return false;
        }
        return expect(n == 1 && !out.operands[0].empty(), "params " + out.subcommand + " FILE");
    }
    if (out.command == "set") {
        if (n == 0) {
            return expect(false, "set ID=VALUE...");
        }
        for (const std::string& op : out.operands) {
            const size_t eq = op.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "\"" + op + "\" is not ID=VALUE";
                return false;
            }
        }
        return true;
    }
    if (out.command == "log") {
        if (out.subcommand == "download") {
            return expect(n == 0, "log download [-o FILE] [--abort-bulk]");
        }
        if (out.subcommand == "info") {
            return expect(n == 1 && !out.operands[0].empty(), "log info FILE");
        }
        error = out.subcommand.empty()
                    ? "usage: turbexctl log download|info"
                    : "unknown log subcommand \"" + out.subcommand + "\" (download or info)";
        return false;
    }
    if (out.command == "flash") {
        return expect(n == 1 && !out.operands[0].empty(),
                      "flash FILE.bin [--restore] [--no-backup]");
    }
    if (out.command == "history") {
        return expect(n <= 1, "history [UNIT]");
    }
    // command
    return expect(n >= 1, "command NAME [ARGS]");
}

} // namespace cli
