// turbexctl: the headless companion of the tool. For now it reads the unit
// over the socket link: its identity from the status register and the raw
// bytes of a register, once or repeatedly.

#include "device/CDeviceLinkSocket.h"
#include "platform/Clock.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr uint8_t kUnit = 31;

enum Exit { kOk = 0, kNoUnit = 3, kFailed = 4, kBadArguments = 2 };

std::atomic<int> g_stop{0};
void OnSignal(int) { g_stop = 1; }

void Usage(FILE* out) {
    std::fputs("Usage: turbexctl [--port N] [--timeout S] COMMAND\n"
               "\n"
               "Commands:\n"
               "  status          identity and versions of the unit on the bus\n"
               "  monitor [N]     status and register 1 every 100 ms, N times (default: until Ctrl-C)\n"
               "\n"
               "Options:\n"
               "  --port N        TCP port of the bridge (default 8987)\n"
               "  --timeout S     seconds to wait for the link (default 5)\n"
               "\n"
               "Exit codes: 0 success, 2 bad arguments, 3 no unit online, 4 a transaction failed.\n",
               out);
}

void PrintHex(const char* label, const uint8_t* bytes, int n) {
    std::printf("%s", label);
    for (int i = 0; i < n; ++i) {
        std::printf(" %02X", bytes[i]);
    }
    std::printf("\n");
}

// The status exchange: select the status reply, read its 10 bytes.
bool ReadStatus(CDeviceLinkSocket& link, uint8_t status[10]) {
    const uint8_t select[] = {0x04, 0xFB};
    return link.Write(kUnit, 0, 2, select, 5) == 1 && link.Read(kUnit, 0, 10, status) == 1;
}

void PrintStatus(const uint8_t s[10]) {
    const unsigned hardwareId = ((s[2] & 3u) * 256u + s[3]) * 4u + (s[4] >> 6);
    const bool boot = (s[4] & 0x1F) == 0x1F;
    std::printf("unit id %u, unit type %u, mode %u, hardware id 0x%03X\n", s[0], s[1], s[2] >> 2, hardwareId);
    if (boot) {
        std::printf("BOOT:V%u.%02u\n", s[5], s[6]);
    } else {
        std::printf("APP:V%u.%02u.%02u\n", s[4] & 0x1Fu, s[5], s[6]);
    }
}

} // namespace

int main(int argc, char** argv) {
    long port = CDeviceLinkSocket::kDefaultPort;
    long timeoutS = 5;
    std::string command;
    long repeat = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return kOk;
        }
        if ((arg == "--port" || arg == "--timeout") && i + 1 < argc) {
            char* end = nullptr;
            const long v = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || v < 0 || v > 65535) {
                std::fprintf(stderr, "turbexctl: %s needs a number\n", arg.c_str());
                return kBadArguments;
            }
            (arg == "--port" ? port : timeoutS) = v;
        } else if (command.empty() && (arg == "status" || arg == "monitor")) {
            command = arg;
        } else if (command == "monitor" && repeat < 0) {
            repeat = std::strtol(arg.c_str(), nullptr, 10);
        } else {
            std::fprintf(stderr, "turbexctl: unexpected argument %s (see --help)\n", arg.c_str());
            return kBadArguments;
        }
    }
    if (command.empty()) {
        Usage(stderr);
        return kBadArguments;
    }

    // Accepts the first connection offered, as the device object will.
    struct Link : CDeviceLinkSocket {
        using CDeviceLinkSocket::CDeviceLinkSocket;
        ~Link() override { Stop(); }
        int32_t OnLinkState(int32_t, int32_t) override { return 1; }
    } link(static_cast<uint16_t>(port));
    (void)link.Start();
    const uint32_t start = platform::TickCount();
    while (!link.IsConnected()) {
        if (platform::TickCount() - start > static_cast<uint32_t>(timeoutS * 1000)) {
            std::fprintf(stderr, "turbexctl: no bridge on 127.0.0.1:%ld (%s)\n", port, link.GetLastError().c_str());
            return kNoUnit;
        }
        platform::SleepMs(10);
    }

    uint8_t status[10];
    if (!ReadStatus(link, status)) {
        std::fprintf(stderr, "turbexctl: the unit does not answer (%s)\n", link.GetLastError().c_str());
        return kNoUnit;
    }
    PrintStatus(status);
    if (command == "status") {
        return kOk;
    }

    std::signal(SIGINT, OnSignal);
    int failures = 0;
    for (long n = 0; g_stop.load() == 0 && (repeat < 0 || n < repeat); ++n) {
        uint8_t live[32];
        if (ReadStatus(link, status) && link.Read(kUnit, 1, 32, live) == 1) {
            PrintHex("register 1:", live, 32);
        } else {
            ++failures;
            std::printf("(no answer: %s)\n", link.GetLastError().c_str());
        }
        std::fflush(stdout);
        platform::SleepMs(100);
    }
    return failures == 0 ? kOk : kFailed;
}
