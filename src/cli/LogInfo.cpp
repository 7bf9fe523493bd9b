#include "cli/LogInfo.h"

#include "cli/JsonWriter.h"
#include "foundation/StringPrintf.h"
#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFile.h"
#include "records/CEngineLogFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cli {

namespace {

// The first line of the file, without its line end; false when unreadable.
// Read apart, so that a file that is no log is refused before it is parsed.
bool FirstLine(const std::string& path, std::string& line, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    char buf[512];
    const size_t n = std::fread(buf, 1, sizeof buf, f.get());
    line.assign(buf, n);
    line = line.substr(0, line.find_first_of("\r\n"));
    return true;
}

} // namespace

const char* ColumnName(size_t i) {
    return CEngineLogFormat::ValueColumnName(i);
}

LogInfo SummarizeLog(const CDeviceECUTracker& tracker, int version) {
    LogInfo info;
    info.version = version;
    info.recordsPerSecond = tracker.getRecordsPerSecond();
    info.count = tracker.GetCount();
    // A loaded file keeps its lines' order, so the counters' extremes are
    // looked for, not taken from the ends of the list.
    bool first = true;
    for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next) {
        const auto& r = *static_cast<CDeviceECUTItem*>(n);
        for (size_t i = 0; i < LogInfo::kColumns; ++i) {
            const int32_t v = CEngineLogFormat::ValueColumn(r, i);
            info.maxima[i] = first ? v : std::max(info.maxima[i], v);
        }
        info.firstCounter = first ? r.counter : std::min(info.firstCounter, r.counter);
        info.lastCounter = first ? r.counter : std::max(info.lastCounter, r.counter);
        first = false;
    }
    info.durationS = static_cast<double>(info.lastCounter - info.firstCounter) /
                     std::max(1, info.recordsPerSecond);
    info.chartPumpVolMax = tracker.getPumpVolMax();
    info.chartPumpRpmMax = tracker.getPumpRpmMax();
    info.chartRpmMax = tracker.getRpmMax();
    info.chartStarterVolMax = tracker.getStarterVolMax();
    info.chartCurrentMax = tracker.getCurrentMax();
    info.chartThrustMax = tracker.getThrustMax();
    return info;
}

int ReadLogInfo(const std::string& path, LogInfo& out, std::string& error) {
    std::string line;
    if (!FirstLine(path, line, error)) {
        return 0;
    }
    const auto version = CEngineLogFormat::ParseVersionLine(line);
    if (version.version == CEngineLogFormat::kVersionUnknown) {
        error = path + " is not an engine log (no version line)";
        return 0;
    }
    CDeviceECUTracker tracker;
    CEngineLogFile file;
    if (file.Load(tracker, path) != 1) {
        error = "cannot read " + path + ": " + file.LastError();
        return 0;
    }
    CMLockGuard lock(tracker.getLock());
    out = SummarizeLog(tracker, version.version);
    return 1;
}

std::string FormatLogInfoText(const std::string& path, const LogInfo& info) {
    std::string out = StringPrintf("File:                %s\n", path.c_str());
    out += StringPrintf("Version:             %d\n", info.version);
    out += StringPrintf("Records per second:  %d\n", info.recordsPerSecond);
    out += StringPrintf("Records:             %d\n", info.count);
    out += StringPrintf("Duration:            %.1f s (counter %u to %u)\n",
                        info.durationS,
                        info.firstCounter,
                        info.lastCounter);
    out += "Column maxima:\n";
    for (size_t i = 0; i < LogInfo::kColumns; ++i) {
        out += StringPrintf("  %-18s %d\n", ColumnName(i), info.maxima[i]);
    }
    return out;
}

std::string FormatLogInfoJson(const std::string& path, const LogInfo& info, bool pretty) {
    JsonWriter w(pretty);
    w.beginObject()
        .field("file", path)
        .field("version", info.version)
        .field("records_per_second", info.recordsPerSecond)
        .field("records", info.count)
        .field("first_counter", info.firstCounter)
        .field("last_counter", info.lastCounter)
        .field("duration_s", info.durationS);
    w.key("maxima").beginObject();
    for (size_t i = 0; i < LogInfo::kColumns; ++i) {
        w.field(ColumnName(i), info.maxima[i]);
    }
    w.endObject();
    w.key("chart_maxima")
        .beginObject()
        .field("pump_vol", info.chartPumpVolMax)
        .field("pump_rpm", info.chartPumpRpmMax)
        .field("rpm", info.chartRpmMax)
        .field("current", info.chartCurrentMax)
        .field("thrust", info.chartThrustMax)
        .field("starter_vol", info.chartStarterVolMax)
        .endObject();
    w.endObject();
    return w.str();
}

} // namespace cli
