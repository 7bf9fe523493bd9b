// turbex-sim: the simulated unit behind a TCP bridge on 127.0.0.1, so that the
// tool can be run and tested without hardware.

#include "platform/Clock.h"
#include "sim/Bus.h"
#include "sim/SimUnit.h"
#include "sim/TcpBridge.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<int> g_stop{0};

void OnSignal(int) { g_stop = 1; }

void Usage(FILE* out) {
    std::fputs("Usage: turbex-sim [options]\n"
               "Simulates a unit on the engine bus behind a TCP bridge on 127.0.0.1.\n"
               "\n"
               "  --port N        TCP port of the bridge (default 8987; 0 picks a free one)\n"
               "  --unit-type N   unit type in the status reply (default 2, the ECU)\n"
               "  --version A.B.C application version in the status reply (default 1.2.3)\n"
               "  --marker        report the status marker 'A'\n"
               "  --quiet         print nothing but errors\n"
               "  --help          this text\n"
               "\n"
               "Runs until interrupted (Ctrl-C) or terminated.\n",
               out);
}

bool ParseNumber(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || v < low || v > high) {
        return false;
    }
    *value = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    long port = 8987;
    bool quiet = false;
    sim::Bus bus;
    sim::SimUnit unit;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        long value = 0;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--port") {
            const char* v = next();
            if (v == nullptr || !ParseNumber(v, 0, 65535, &port)) {
                std::fprintf(stderr, "turbex-sim: --port needs a number 0..65535\n");
                return 2;
            }
        } else if (arg == "--unit-type") {
            const char* v = next();
            if (v == nullptr || !ParseNumber(v, 0, 255, &value)) {
                std::fprintf(stderr, "turbex-sim: --unit-type needs a number 0..255\n");
                return 2;
            }
            unit.status.identity.unitType = static_cast<uint8_t>(value);
        } else if (arg == "--version") {
            const char* v = next();
            unsigned a = 0, b = 0, c = 0;
            if (v == nullptr || std::sscanf(v, "%u.%u.%u", &a, &b, &c) != 3 || a > 30 || b > 255 || c > 255) {
                std::fprintf(stderr, "turbex-sim: --version needs A.B.C (A 0..30, B and C 0..255)\n");
                return 2;
            }
            unit.status.identity.major = static_cast<uint8_t>(a);
            unit.status.identity.minor = static_cast<uint8_t>(b);
            unit.status.identity.patch = static_cast<uint8_t>(c);
        } else if (arg == "--marker") {
            unit.status.identity.marker = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else {
            std::fprintf(stderr, "turbex-sim: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    bus.Attach(31, &unit);
    sim::TcpBridge bridge(bus, static_cast<uint16_t>(port));
    if (!bridge.Start()) {
        std::fprintf(stderr, "turbex-sim: cannot listen on 127.0.0.1:%ld: %s\n", port, bridge.GetLastError().c_str());
        return 1;
    }
    if (!quiet) {
        std::printf("turbex-sim: bridge listening on 127.0.0.1:%u\n", bridge.GetPort());
        std::fflush(stdout);
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (g_stop.load() == 0) {
        platform::SleepMs(50);
    }
    bridge.Stop();
    if (!quiet) {
        std::printf("turbex-sim: stopped after %u connections, %u requests\n", bridge.GetConnections(),
                    bridge.GetRequests());
    }
    return 0;
}
