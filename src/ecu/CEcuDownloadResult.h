#pragma once

#include <cstdint>

// How the last run-log download of CDeviceECU went: what a caller needs to
// tell a complete log from a partial one (turbexctl's report, the records
// page). A plain value, copied out by CDeviceECU::downloadResult().
//
// The download's bulk phase reads register 13 until the ECU has nothing
// more. A read that fails on the link is tried again and never taken for
// "nothing more"; only reads the ECU answered without a record count toward
// the empty reads that end the phase. A failed read may still have been
// answered by the ECU, its records lost on the way, so a pass with failed
// reads is followed by another pass over the whole log (the list is emptied
// first); the log is complete once a pass ends on the ECU's empty reads with
// no failed read.
struct CEcuDownloadResult {
    enum class End : uint8_t {
        None,         // no download has finished yet
        EmptyReads,   // the ECU answered more than ten reads in a row without a record
        Abort,        // abortDownload (the user, or turbexctl's --abort-bulk and Ctrl-C)
        EngineStart,  // the engine left states 0 and 1
        Offline,      // the ECU went offline or a firmware transfer began
        ReadFailures, // reads kept failing while the ECU stayed online (kFailureLimitMs)
        Stopped,      // the ECU object was destroyed
    };

    // Reads failing in a row for this long end the bulk phase (End::ReadFailures).
    static constexpr uint32_t kFailureLimitMs = 5000;
    // Passes over the whole log at most, the first one included.
    static constexpr int32_t kMaxPasses = 4;

    // 1 for the first download that finished since construction, then 2, ...;
    // 0 while none has. A caller waits for it to change.
    uint32_t sequence = 0;
    // Records the last pass added to the run-log list.
    int32_t records = 0;
    // Bulk reads that failed on the link and were tried again, all passes.
    int32_t failedReads = 0;
    // Passes over the log: 1, or more when failed reads made it read again.
    int32_t passes = 0;
    End endedBy = End::None;
    // True only when the last pass ended on the ECU's empty reads and none of
    // its reads failed: the ECU itself said there is nothing more, and every
    // record it handed out arrived.
    bool complete = false;
};

// A short English name of end, for reports: "none", "empty-reads", "abort",
// "engine-start", "offline", "read-failures", "stopped".
[[nodiscard]] const char* ToString(CEcuDownloadResult::End end);
