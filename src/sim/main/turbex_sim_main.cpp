// turbex-sim: a simulated ECU behind a TCP bridge on 127.0.0.1, so that the
// tool can be run and tested without hardware.

#include "foundation/TurbexVersion.h"
#include "platform/Clock.h"
#include "sim/RealTimeDriver.h"
#include "sim/SerialAdapterPty.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::atomic<int> g_stop{0};

void OnSignal(int) { g_stop = 1; }

void Usage(FILE* out) {
    std::fputs("Usage: turbex-sim [options]\n"
               "Simulates an ECU on the engine bus behind a TCP bridge on 127.0.0.1.\n"
               "\n"
               "Bridge and unit:\n"
               "  --port N               TCP port of the bridge (default 8987; 0 picks a free one)\n"
               "  --app-version A.B.C    application version in the status reply (default 1.2.3);\n"
               "                         --version A.B.C says the same\n"
               "  --mode N               unit mode in the status reply (default 1; others refuse transfers)\n"
               "  --marker               report the status marker 'A'\n"
               "  --quiet                print nothing but errors\n"
               "  --serial-pty           also serve the unit as the serial adapter on a pseudo-terminal\n"
               "                         and print its path\n"
               "Boot loader:\n"
               "  --boot                 start in boot-loader mode\n"
               "  --boot-protocol block|classic   transfer protocol offered (default block)\n"
               "  --blocks-per-batch N   block protocol, 1..32 (default 16)\n"
               "  --block-size N         block protocol, 1..31 bytes (default 31)\n"
               "  --erase-time N         classic protocol, units of 10 ms; 255: silent while erasing\n"
               "  --block-write-delay N  classic protocol, ms after each block\n"
               "  --missing BATCH:MASK   block protocol: lose those blocks of that batch once\n"
               "  --refuse-erase-from N  refuse the Nth erase and every later one (1 = the first)\n"
               "  --update-resets-parameters   a finished update sets the parameters to their defaults\n"
               "  --update-version A.B.C  the application version after a finished update\n"
               "Run log:\n"
               "  --log-format 1|2       14-byte or 15-byte records (default 2)\n"
               "  --log-rate 0..3        2, 4, 8 or 16 records per second (default 1)\n"
               "  --log-prefill N        store a generated history of N records\n"
               "ECU:\n",
               out);
    std::fputs(sim::SimEcuOptionsHelp().c_str(), out);
    std::fputs("\n  --help                 this text\n"
               "  --version              turbex-sim's own version (without A.B.C after it)\n"
               "\nRuns until interrupted (Ctrl-C) or terminated.\n", out);
}

bool ParseNumber(const std::string& text, long low, long high, long* value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || v < low || v > high) {
        return false;
    }
    *value = v;
    return true;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "turbex-sim: %s (see --help)\n", text.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            Usage(stdout);
            return 0;
        }
        // "--version A.B.C" sets the simulated unit's version; alone, or
        // before another option, it asks for this program's.
        if (args[i] == "--version" && (i + 1 == args.size() || args[i + 1].rfind('-', 0) == 0)) {
            std::printf("turbex-sim (Turbex) %s\n", TurbexVersion());
            return 0;
        }
    }
    sim::SimEcuConfig config;
    std::vector<std::string> rest;
    std::string error;
    if (!sim::ParseSimEcuOptions(args, config, rest, error)) {
        return Fail(error);
    }

    long port = 8987, logFormat = 2, logRate = 1, prefill = 0;
    bool quiet = false;
    bool serialPty = false;
    sim::UnitIdentity identity;
    sim::BootLoaderConfig boot;
    sim::SimEcuSystem::UpdateEffect updateEffect;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        const bool hasValue = i + 1 < rest.size();
        const std::string value = hasValue ? rest[i + 1] : std::string();
        long n = 0;
        auto number = [&](long low, long high) {
            if (!hasValue || !ParseNumber(value, low, high, &n)) {
                return false;
            }
            ++i;
            return true;
        };
        if (arg == "--port") {
            if (!number(0, 65535)) return Fail("--port needs a number 0..65535");
            port = n;
        } else if (arg == "--app-version" || arg == "--version") {
            unsigned a = 0, b = 0, c = 0;
            if (!hasValue || std::sscanf(value.c_str(), "%u.%u.%u", &a, &b, &c) != 3 || a > 30 || b > 255 || c > 255)
                return Fail(arg + " needs A.B.C (A 0..30, B and C 0..255)");
            ++i;
            identity.major = static_cast<uint8_t>(a);
            identity.minor = static_cast<uint8_t>(b);
            identity.patch = static_cast<uint8_t>(c);
        } else if (arg == "--mode") {
            if (!number(0, 63)) return Fail("--mode needs a number 0..63");
            identity.mode = static_cast<uint8_t>(n);
        } else if (arg == "--marker") {
            identity.marker = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--serial-pty") {
            serialPty = true;
        } else if (arg == "--boot") {
            identity.bootLoader = true;
        } else if (arg == "--boot-protocol") {
            if (value != "block" && value != "classic") return Fail("--boot-protocol is block or classic");
            boot.blockProtocol = value == "block";
            ++i;
        } else if (arg == "--blocks-per-batch") {
            if (!number(1, 32)) return Fail("--blocks-per-batch needs 1..32");
            boot.blocksPerBatch = static_cast<uint8_t>(n);
        } else if (arg == "--block-size") {
            if (!number(1, 31)) return Fail("--block-size needs 1..31");
            boot.blockSize = static_cast<uint8_t>(n);
        } else if (arg == "--erase-time") {
            if (!number(0, 255)) return Fail("--erase-time needs 0..255");
            boot.eraseTimeCode = static_cast<uint8_t>(n);
        } else if (arg == "--block-write-delay") {
            if (!number(0, 255)) return Fail("--block-write-delay needs 0..255");
            boot.blockWriteDelayMs = static_cast<uint8_t>(n);
        } else if (arg == "--missing") {
            unsigned batch = 0, mask = 0;
            if (!hasValue || std::sscanf(value.c_str(), "%u:%i", &batch, reinterpret_cast<int*>(&mask)) != 2)
                return Fail("--missing needs BATCH:MASK");
            ++i;
            boot.missingBatch = static_cast<int>(batch);
            boot.missingMask = mask;
        } else if (arg == "--refuse-erase-from") {
            if (!number(1, 1000000)) return Fail("--refuse-erase-from needs a number from 1");
            boot.refuseEraseFrom = static_cast<int>(n);
        } else if (arg == "--update-resets-parameters") {
            updateEffect.resetParameters = true;
        } else if (arg == "--update-version") {
            unsigned a = 0, b = 0, c = 0;
            if (!hasValue || std::sscanf(value.c_str(), "%u.%u.%u", &a, &b, &c) != 3 || a > 30 || b > 255 || c > 255)
                return Fail("--update-version needs A.B.C (A 0..30, B and C 0..255)");
            ++i;
            updateEffect.newVersion = true;
            updateEffect.major = static_cast<uint8_t>(a);
            updateEffect.minor = static_cast<uint8_t>(b);
            updateEffect.patch = static_cast<uint8_t>(c);
        } else if (arg == "--log-format") {
            if (!number(1, 2)) return Fail("--log-format is 1 or 2");
            logFormat = n;
        } else if (arg == "--log-rate") {
            if (!number(0, 3)) return Fail("--log-rate is 0..3");
            logRate = n;
        } else if (arg == "--log-prefill") {
            if (!number(0, 1000000)) return Fail("--log-prefill needs a count");
            prefill = n;
        } else {
            return Fail("unknown option " + arg);
        }
    }

    sim::SimEcuSystem system(config, static_cast<uint8_t>(logFormat), static_cast<uint8_t>(logRate));
    system.unit.status.identity = identity;
    system.unit.bootLoader.config = boot;
    system.updateEffect = updateEffect;
    if (prefill > 0) {
        system.Prefill(static_cast<uint32_t>(prefill));
    }

    sim::TcpBridge bridge(system.bus, static_cast<uint16_t>(port));
    if (!bridge.Start()) {
        std::fprintf(stderr, "turbex-sim: cannot listen on 127.0.0.1:%ld: %s\n", port, bridge.GetLastError().c_str());
        return 1;
    }
    sim::SerialAdapterPty serial(system.bus);
    if (serialPty) {
        std::string ptyError;
        if (!serial.Start(&ptyError)) {
            std::fprintf(stderr, "turbex-sim: %s\n", ptyError.c_str());
            return 1;
        }
        std::printf("turbex-sim: serial adapter on %s\n", serial.PtyPath().c_str());
        std::fflush(stdout);
    }
    sim::RealTimeDriver driver([&](uint32_t ms) { system.Step(ms); });
    (void)driver.Start();
    if (!quiet) {
        std::printf("turbex-sim: bridge listening on 127.0.0.1:%u\n", bridge.GetPort());
        std::fflush(stdout);
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (g_stop.load() == 0) {
        platform::SleepMs(50);
    }
    driver.Stop();
    bridge.Stop();
    if (!quiet) {
        std::printf("turbex-sim: stopped after %u connections, %u requests\n", bridge.GetConnections(),
                    bridge.GetRequests());
    }
    return 0;
}
