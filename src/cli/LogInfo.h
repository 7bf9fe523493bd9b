#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "records/CEngineLogFormat.h"

class CDeviceECUTracker;

namespace cli {

// What "turbexctl log info" reports of an engine_log.csv.
struct LogInfo {
    static constexpr size_t kColumns = CEngineLogFormat::kValueColumns;

    int version = 255;        // of the version line; 255 when it cannot be read
    int recordsPerSecond = 2; // as the loader takes it
    int32_t count = 0;
    uint32_t firstCounter = 0; // oldest record
    uint32_t lastCounter = 0;  // newest record
    double durationS = 0;      // (last - first) / records per second
    // Largest value of each column over the records (0 without records),
    // in the order of ColumnName.
    std::array<int32_t, kColumns> maxima{};
    // The tracker's own maxima, which the charts scale by.
    uint32_t chartPumpVolMax = 0, chartPumpRpmMax = 0, chartRpmMax = 0, chartStarterVolMax = 0;
    int32_t chartCurrentMax = 0, chartThrustMax = 0;
};

// Column i (0..19) of the version-4 file after counter: "engine_state", ...
[[nodiscard]] const char* ColumnName(size_t i);

// The summary of a loaded log; version is what the file's first line said.
[[nodiscard]] LogInfo SummarizeLog(const CDeviceECUTracker& tracker, int version);

// Loads path. 1 on success; 0 with a reason in error when the file cannot
// be read or its first line is not a version line.
[[nodiscard]] int ReadLogInfo(const std::string& path, LogInfo& out, std::string& error);

[[nodiscard]] std::string FormatLogInfoText(const std::string& path, const LogInfo& info);
[[nodiscard]] std::string
FormatLogInfoJson(const std::string& path, const LogInfo& info, bool pretty);

} // namespace cli
