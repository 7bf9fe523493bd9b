#include "cli/LogInfo.h"

#include "cli/JsonWriter.h"
#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFile.h"
#include "records/CEngineLogFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cli {

namespace {

constexpr const char* kColumnNames[LogInfo::kColumns] = {
    "engine_state", "temperature", "engine_rpm", "pump_vol",   "radio_vol",
    "engine_vol",   "pressure",    "rc_input1",  "rc_input2",  "speed",
    "pump_st",      "pump_rpm",    "error_coe",  "current",    "tcu_temp",
    "ecu_temp",     "thrust",      "fuel_temp",  "fuel_press", "combustion_press",
};

std::array<int32_t, LogInfo::kColumns> Columns(const CDeviceECUTItem& r) {
    return {r.engine_state, r.temperature, r.engine_rpm, r.pump_vol,   r.radio_vol,
            r.engine_vol,   r.pressure,    r.rc_input1,  r.rc_input2,  r.speed,
            r.pump_st,      r.pump_rpm,    r.error_coe,  r.current,    r.tcu_temp,
            r.ecu_temp,     r.thrust,      r.fuel_temp,  r.fuel_press, r.combustion_press};
}

// The first line of the file, without its line end; false when unreadable.
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
    return i < LogInfo::kColumns ? kColumnNames[i] : "";
}

LogInfo SummarizeLog(const CDeviceECUTracker& tracker, int version) {
    LogInfo info;
    info.version = version;
    info.recordsPerSecond = tracker.getRecordsPerSecond();
    info.count = tracker.GetCount();
    bool first = true;
    for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next) {
        const auto cols = Columns(*static_cast<CDeviceECUTItem*>(n));
        for (size_t i = 0; i < LogInfo::kColumns; ++i) {
            info.maxima[i] = first ? cols[i] : std::max(info.maxima[i], cols[i]);
        }
        first = false;
    }
    if (const CDeviceECUTItem* oldest = tracker.oldest()) {
        info.firstCounter = oldest->counter;
        info.lastCounter = tracker.newest()->counter;
        // A loaded file keeps its lines' order; take the real extremes.
        for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next) {
            const uint32_t c = static_cast<CDeviceECUTItem*>(n)->counter;
            info.firstCounter = std::min(info.firstCounter, c);
            info.lastCounter = std::max(info.lastCounter, c);
        }
        info.durationS = static_cast<double>(info.lastCounter - info.firstCounter) /
                         std::max(1, info.recordsPerSecond);
    }
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
    std::string out;
    char buf[200];
    std::snprintf(buf, sizeof buf, "File:                %s\n", path.c_str());
    out += buf;
    std::snprintf(buf, sizeof buf, "Version:             %d\n", info.version);
    out += buf;
    std::snprintf(buf, sizeof buf, "Records per second:  %d\n", info.recordsPerSecond);
    out += buf;
    std::snprintf(buf, sizeof buf, "Records:             %d\n", info.count);
    out += buf;
    std::snprintf(buf,
                  sizeof buf,
                  "Duration:            %.1f s (counter %u to %u)\n",
                  info.durationS,
                  info.firstCounter,
                  info.lastCounter);
    out += buf;
    out += "Column maxima:\n";
    for (size_t i = 0; i < LogInfo::kColumns; ++i) {
        std::snprintf(buf, sizeof buf, "  %-18s %d\n", kColumnNames[i], info.maxima[i]);
        out += buf;
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
        w.field(kColumnNames[i], info.maxima[i]);
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
