// turbex-soak: the tool's device and ECU objects against the simulated ECU
// over the socket link for a while, with faults injected every few seconds;
// prints a report and exits non-zero on a wrong result, a hang or growth.

#include "soak/SoakRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void Usage(FILE* out) {
    std::fputs(
        "Usage: turbex-soak [options]\n"
        "Runs the tool's device and ECU objects against a simulated ECU behind its TCP\n"
        "bridge on 127.0.0.1, in this process, while the simulator misbehaves every few\n"
        "seconds (dropped connections, a restarting bridge, late, split and unanswered\n"
        "replies, wrong preambles, writes without acknowledgement, a busy run log, a\n"
        "boot loader that loses blocks, answers busy or erases slowly). Meanwhile it\n"
        "downloads the run log and compares it byte for byte with the simulated one,\n"
        "writes a parameter and reads it back, and now and then transfers firmware.\n"
        "\n"
        "  --seconds N        how long (default 60)\n"
        "  --minutes N        the same in minutes\n"
        "  --seed N           the faults' and images' random seed (default 1)\n"
        "  --port N           the bridge's port (default 0: a free one)\n"
        "  --fault-every MS   mean time between faults (default 3000)\n"
        "  --records N        stored run-log records (default 1500)\n"
        "  --block            block generation with 14-byte records (default item, 15-byte)\n"
        "  --transfer-every N a firmware transfer every N work cycles (default 4)\n"
        "  --fd-bound N       descriptors it may end with beyond its start (default 3)\n"
        "  --rss-bound-mib N  resident memory it may end with beyond its start (default 8)\n"
        "  --faults LIST      only these faults, comma-separated: drop, restart, late,\n"
        "                     split, preamble, no-ack, silent, log-busy, boot (default all)\n"
        "  --quiet            no progress line every 30 s\n"
        "\n"
        "Exit code: 0 pass; 1 a wrong result (a download said complete that differs from\n"
        "the log, a parameter or image that came back other than written); 2 bad\n"
        "arguments or no bridge; 3 a hang (no result for 30 s); 4 descriptors or memory\n"
        "grew beyond the bound.\n",
        out);
}

bool Number(const std::string& text, long low, long high, long& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "turbex-soak: %s (see --help)\n", text.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    soak::SoakOptions o;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        long n = 0;
        auto value = [&](long low, long high) {
            return i + 1 < args.size() && Number(args[++i], low, high, n);
        };
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else if (a == "--seconds") {
            if (!value(1, 7 * 24 * 3600))
                return Fail("--seconds needs 1..604800");
            o.seconds = static_cast<uint32_t>(n);
        } else if (a == "--minutes") {
            if (!value(1, 7 * 24 * 60))
                return Fail("--minutes needs 1..10080");
            o.seconds = static_cast<uint32_t>(n * 60);
        } else if (a == "--seed") {
            if (!value(0, 0x7FFFFFFF))
                return Fail("--seed needs a number");
            o.seed = static_cast<uint32_t>(n);
        } else if (a == "--port") {
            if (!value(0, 65535))
                return Fail("--port needs 0..65535");
            o.port = static_cast<uint16_t>(n);
        } else if (a == "--fault-every") {
            if (!value(100, 600000))
                return Fail("--fault-every needs 100..600000 ms");
            o.faultEveryMs = static_cast<uint32_t>(n);
        } else if (a == "--records") {
            if (!value(1, 8000))
                return Fail("--records needs 1..8000");
            o.records = static_cast<uint32_t>(n);
        } else if (a == "--block") {
            o.block = true;
        } else if (a == "--transfer-every") {
            if (!value(1, 1000))
                return Fail("--transfer-every needs 1..1000");
            o.transferEvery = static_cast<uint32_t>(n);
        } else if (a == "--fd-bound") {
            if (!value(0, 1000))
                return Fail("--fd-bound needs 0..1000");
            o.fdBound = static_cast<int>(n);
        } else if (a == "--rss-bound-mib") {
            if (!value(0, 100000))
                return Fail("--rss-bound-mib needs a number");
            o.rssBoundMiB = static_cast<uint32_t>(n);
        } else if (a == "--faults") {
            if (i + 1 >= args.size())
                return Fail("--faults needs a list");
            o.faultMask = 0;
            std::string list = args[++i];
            size_t start = 0;
            while (start <= list.size()) {
                const size_t comma = std::min(list.find(',', start), list.size());
                const std::string name = list.substr(start, comma - start);
                bool known = false;
                for (uint32_t k = 0; k < static_cast<uint32_t>(soak::Fault::kCount); ++k) {
                    if (name == soak::FaultKey(static_cast<soak::Fault>(k))) {
                        o.faultMask |= 1u << k;
                        known = true;
                    }
                }
                if (!known)
                    return Fail("unknown fault \"" + name + "\"");
                start = comma + 1;
            }
        } else if (a == "--quiet") {
            o.quiet = true;
        } else {
            return Fail("unknown option " + a);
        }
    }

    auto run = std::make_unique<soak::SoakRun>(o);
    std::string error;
    if (!run->Start(error)) {
        std::fprintf(stderr, "turbex-soak: %s\n", error.c_str());
        return 2;
    }
    const soak::SoakReport report = run->Run();
    std::fputs(report.Format().c_str(), stdout);
    std::fflush(stdout);
    if (report.hung) {
        // Its threads may be stuck: leave without waiting for them.
        std::_Exit(report.exitCode());
    }
    run.reset();
    return report.exitCode();
}
