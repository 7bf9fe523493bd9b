#pragma once

#include <cstddef>
#include <string>

class CDeviceECUTracker;

// engine_log.csv on disk. Parsing and formatting are CEngineLogFormat's and
// CEngineLogReader's; this class only moves the bytes.
//
// Thread safety: an object serves one call at a time; see each operation for
// the tracker's lock.
class CEngineLogFile {
public:
    // Bytes read per chunk when loading.
    static constexpr size_t kChunkSize = 0xFFC00;

    explicit CEngineLogFile(size_t chunkSize = kChunkSize)
        : m_chunkSize(chunkSize == 0 ? kChunkSize : chunkSize) {}

    // Writes the log as version 4. The caller holds the tracker's lock. The
    // file is written beside path under a temporary name and renamed over
    // path only when complete, so a failed save leaves the old file as it
    // was. 1 on success; 0 with LastError() naming the failing step.
    [[nodiscard]] int Save(const CDeviceECUTracker& tracker, const std::string& path);

    // Reads path into a private tracker, then replaces the tracker's log and
    // settings with it under the tracker's lock (taken here; the caller must
    // not hold it). A file that cannot be opened leaves the tracker as it
    // was. A read error part-way keeps what was read before it and returns 0.
    [[nodiscard]] int Load(CDeviceECUTracker& tracker, const std::string& path);

    [[nodiscard]] const std::string& LastError() const { return m_lastError; }

private:
    size_t m_chunkSize;
    std::string m_lastError;
};
