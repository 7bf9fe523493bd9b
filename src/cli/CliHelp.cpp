#include "cli/CliHelp.h"

#include "cli/CliExit.h"
#include "cli/EcuCommands.h"

#include <cstdio>

namespace cli {

const char* ExitCodeTable() {
    return "  0    success\n"
           "  1    unexpected failure inside turbexctl\n"
           "  2    bad arguments\n"
           "  3    no unit online within the time-out\n"
           "  4    the unit refused, or an operation failed\n"
           "  5    a file could not be read or written\n"
           "  130  interrupted (Ctrl-C) before the operation finished\n";
}

namespace {

const char* kOptions =
    "Options (anywhere on the line):\n"
    "  --json           output for scripts: one JSON document (watch: one object a line)\n"
    "  --timeout S      seconds to wait for a unit to come online and answer (default 5)\n"
    "  --port N         TCP port of the bridge on 127.0.0.1 (default 8987)\n"
    "  --serial-port P  reach the serial adapter through device node P\n"
    "  --lang en|zh     language of state, error and unit texts (default en)\n"
    "  --verbose        the links' debug traces (serial ports found, link up and down)\n"
    "                   on standard error, each line starting \"debug: \"\n"
    "  -h, --help       this help, or the help of a command\n"
    "  --version        the version of turbexctl\n";

} // namespace

std::string ToolHelp() {
    std::string s =
        "Usage: turbexctl [OPTIONS] COMMAND [ARGS]\n"
        "\n"
        "The headless companion of the Turbex service tool: reads and sets the ECU of a\n"
        "model jet turbine through the USB dongle, the serial adapter or the TCP bridge.\n"
        "\n"
        "Commands:\n"
        "  status                   link, identity, versions and the live state, once\n"
        "  watch [--count N]        the live state on every telemetry update, until Ctrl-C\n"
        "  params                   every parameter: text id, name, text, value, supported\n"
        "  params save FILE         write the parameters to a parameter file (engine_cfg.txt)\n"
        "  params load FILE         send the parameters of a parameter file to the ECU\n"
        "  set ID=VALUE...          change parameters by text id or name, then read them back\n"
        "  log download [-o FILE]   download the run log into a CSV file (engine_log.csv)\n"
        "  log info FILE            version, rate, records, duration and maxima of a run log\n"
        "  flash FILE.bin           update the unit's firmware through its boot loader,\n"
        "                           keeping a backup of its parameters [--restore] [--no-backup]\n"
        "  history [UNIT]           the firmware updates of each unit (or of one)\n"
        "  command NAME [ARGS]      learning commands, actuator tests, temperature calibration\n"
        "  help [COMMAND]           this text, or the help of a command\n"
        "\n";
    s += kOptions;
    s += "\nExit codes:\n";
    s += ExitCodeTable();
    return s;
}

std::string CommandHelp(const std::string& command) {
    std::string s;
    if (command == "status") {
        s = "Usage: turbexctl status [--json] [--lang en|zh]\n"
            "\n"
            "Waits for a unit to come online and prints the link type, the unit's identity and\n"
            "versions, and, for an ECU in application mode, the whole decoded live state once:\n"
            "engine state and error (as the main window names them), RPM, EGT, voltages,\n"
            "current, pressure, altitude, pumps, starter, TCU, alternator and fuel readings.\n"
            "A unit in boot-loader mode or of another type shows its identity only.\n";
    } else if (command == "watch") {
        s = "Usage: turbexctl watch [--count N] [--json] [--lang en|zh]\n"
            "\n"
            "Prints the live state on every telemetry update (about ten a second): one line,\n"
            "or with --json one JSON object a line. Runs until Ctrl-C, or N updates with\n"
            "--count. When the unit goes offline it says so on standard error and waits for\n"
            "it to come back.\n";
    } else if (command == "params") {
        s = "Usage: turbexctl params [--json]\n"
            "       turbexctl params save FILE\n"
            "       turbexctl params load FILE\n"
            "\n"
            "params lists every text id (1-79) with its name, its text as the settings dialog\n"
            "shows it, its integer value (a list index or switch state where it is one) and\n"
            "whether the connected ECU supports it; then temperature unit, pump mode,\n"
            "telemetry protocol and engine name.\n"
            "\n"
            "params save writes the parameter file: section ENGINE, one key per parameter of\n"
            "the settings dialog plus 温度单位, 油泵模式 and 回传协议, UTF-16 with a byte-order\n"
            "mark. Baud rate and stop bits are kept as the 1-based list entry. An existing\n"
            "file keeps its other sections and keys.\n"
            "\n"
            "params load reads such a file (UTF-16, UTF-8 or GBK), takes the default of every\n"
            "missing key, sends the values to the ECU at once and prints them as read back.\n"
            "A file that does not exist is refused (exit code 5), so that a mistyped name\n"
            "never sends the defaults.\n";
    } else if (command == "set") {
        s = "Usage: turbexctl set ID=VALUE... [--json]\n"
            "\n"
            "Changes the named parameters and nothing else, commits them to the ECU and\n"
            "prints what the ECU reports back (values outside a parameter's range are\n"
            "clamped by the ECU's rules). ID is a text id (1-79) or a name as \"params\" lists\n"
            "it; VALUE is written as \"params\" shows it: a number (\"2.5\", \"950\"), a list\n"
            "index or switch state (0, 1, ...), hexadecimal for can-address. Four settings\n"
            "have names only: temperature-unit=0|1, pump-mode=0..3, telemetry-protocol=0..7\n"
            "and engine-name=TEXT (block generation only, at most 28 bytes).\n"
            "A parameter the ECU does not support refuses the whole command (exit code 4)\n"
            "before anything is sent.\n"
            "\n"
            "Example: turbexctl set max-egt=950 13=950 telemetry-baud=6 standby-beep=0\n";
    } else if (command == "log") {
        s = "Usage: turbexctl log download [-o FILE] [--abort-bulk] [--json]\n"
            "       turbexctl log info FILE [--json]\n"
            "\n"
            "log download waits for the ECU, downloads the run log it holds and writes it as\n"
            "engine_log.csv (version 4), or FILE with -o. Progress shows on a terminal only.\n"
            "Ctrl-C ends the download early and saves what arrived (exit code 130).\n"
            "A download that ends before the ECU says it has nothing more (the engine\n"
            "started, the unit went offline, its run log stopped answering) also saves what\n"
            "arrived and exits with 4; with --json, \"complete\" is false and \"ended_by\" says\n"
            "why. Failed reads are tried again; after any, the whole log is read once more.\n"
            "With --abort-bulk the stored log is skipped: the tool records the new records\n"
            "of the running engine until Ctrl-C, then saves them (exit code 0).\n"
            "An ECU that reports no stored records is an error (exit code 4).\n"
            "\n"
            "log info prints a run-log file's version, records per second, record count,\n"
            "duration and the largest value of each column.\n";
    } else if (command == "flash") {
        s = "Usage: turbexctl flash FILE.bin [--restore] [--no-backup] [--json]\n"
            "\n"
            "Sends the firmware image, unchanged, through the unit's boot loader (block or\n"
            "classic protocol, as the unit offers) and starts its application again. A\n"
            "progress bar shows on a terminal; the result is the exit code (0 updated,\n"
            "4 failed). Ctrl-C is refused once during the transfer; a second Ctrl-C\n"
            "abandons it, leaving the unit in its boot loader for another try.\n"
            "\n"
            "Before the transfer the unit's parameters are read and saved as a parameter\n"
            "file in the unit's folder of the archive ($XDG_DATA_HOME/turbex/units/UNIT/,\n"
            "else ~/.local/share/turbex/units/UNIT/), named with the date and time. After\n"
            "it, once the new firmware answers, the parameters are read again and every one\n"
            "that differs from the backup is listed. With --restore those are sent back,\n"
            "committed, read back and confirmed (exit code 4 when one does not take);\n"
            "without it the command that restores them is printed. --no-backup skips the\n"
            "backup and the comparison.\n"
            "\n"
            "A unit found waiting in its boot loader (an update that failed or lost its\n"
            "link) is updated all the same; when this tool began that update, the comparison\n"
            "uses the backup taken before it. Every attempt adds a line to the unit's\n"
            "history (see turbexctl history).\n";
    } else if (command == "history") {
        s = "Usage: turbexctl history [UNIT] [--json]\n"
            "\n"
            "Prints the firmware updates this tool made, one line each: the time (UTC), the\n"
            "unit, the versions before and after, the image's name, size and SHA-256, the\n"
            "boot protocol, the result, the backup taken and whether the parameters were\n"
            "restored. UNIT is a unit's folder name as the list shows it (ecu-HHH-...);\n"
            "without it, every unit's updates. Needs no unit online.\n";
    } else if (command == "command") {
        s = "Usage: turbexctl command NAME [ARGS]\n"
            "\n"
            "Sends one command to the ECU. Names:\n";
        for (const EcuCommandSpec& c : EcuCommands()) {
            char line[160];
            std::snprintf(line,
                          sizeof line,
                          "  %-32s %s\n",
                          (std::string(c.name) +
                           (c.arguments[0] != '\0' ? std::string(" ") + c.arguments : ""))
                              .c_str(),
                          c.description);
            s += line;
        }
        s += "\nExample: turbexctl command test-extension-valve 2\n";
    } else if (command == "help") {
        s = "Usage: turbexctl help [COMMAND]\n";
    } else {
        return "";
    }
    s += "\n";
    s += kOptions;
    return s;
}

} // namespace cli
