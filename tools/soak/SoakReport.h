#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace soak {

// The faults the simulator injects, in the report's order.
enum class Fault : uint8_t {
    DropConnection, // the bridge closes the connection
    RestartBridge,  // the bridge goes away for a moment and listens again
    LateReply,      // replies after the tool's reply window
    SplitReply,     // a reply in two segments
    WrongPreamble,  // a reply that starts FF FE FC
    NoWriteAck,     // a write applied but answered 00
    SilentReply,    // a request handled but never answered
    LogBusy,        // the ECU leaves its run log unanswered for a while
    BootHiccup,     // the next transfer's boot loader loses blocks, answers busy, erases slowly
    kCount,
};
[[nodiscard]] const char* FaultName(Fault fault);
// Its short name for --faults: drop, restart, late, split, preamble, no-ack,
// silent, log-busy, boot.
[[nodiscard]] const char* FaultKey(Fault fault);

// Everything a soak run counts, and the verdict. A plain value.
struct SoakReport {
    uint32_t seconds = 0; // asked for
    uint32_t seed = 0;
    uint16_t port = 0;
    double elapsedSeconds = 0;

    std::array<uint32_t, static_cast<size_t>(Fault::kCount)> faults{};
    uint32_t reconnects = 0;                    // link up after the first one
    std::vector<uint32_t> upToOnline;           // ms from the bridge up again to the unit online
    std::vector<uint32_t> upToOnlineInTransfer; // the same when a transfer was running

    uint32_t downloadsCorrect = 0;          // complete, and the saved CSV equals the simulated log
    uint32_t downloadsIncomplete = 0;       // said so by the tool
    uint32_t downloadsWrong = 0;            // said complete, but the CSV differs
    std::array<uint32_t, 8> incompleteBy{}; // by CEcuDownloadResult::End
    uint64_t failedReadsRetried = 0;
    uint64_t passes = 0;

    uint32_t writesConfirmed = 0; // committed, read back and stored by the ECU
    uint32_t writesFailed = 0;    // the commit said it failed, or the unit went away
    uint32_t writesWrong = 0;     // said committed, but another value came back or was stored

    uint32_t transfersCorrect = 0;    // success, and the unit holds the image
    uint32_t transfersFailed = 0;     // event 4 with 0, or no begin within 10 s of the request
    uint32_t transfersNotStarted = 0; // of those, requests that never began
    uint32_t transfersWrong = 0;      // success, but the unit holds other bytes

    int fdsStart = 0, fdsEnd = 0;
    uint64_t rssStartKiB = 0, rssEndKiB = 0;
    int fdBound = 0;
    uint64_t rssBoundKiB = 0;

    bool hung = false;
    std::string hangWhere; // what the run was doing when progress stopped

    [[nodiscard]] uint32_t wrong() const { return downloadsWrong + writesWrong + transfersWrong; }
    [[nodiscard]] bool grew() const;
    // 0 pass, 1 a wrong result, 3 a hang, 4 descriptors or memory grew.
    [[nodiscard]] int exitCode() const;
    [[nodiscard]] std::string Format() const;
};

// The p-th percentile (0..100) of samples by nearest rank; 0 when empty.
[[nodiscard]] uint32_t Percentile(std::vector<uint32_t> samples, double p);

} // namespace soak
