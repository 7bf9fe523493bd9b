#pragma once

#include <cstdint>
#include <span>
#include <string>

class CDeviceECUTracker;

// Reads engine_log.csv from consecutive chunks of its bytes, however they are
// cut: a line split across two chunks is joined before it is parsed. The
// first line gives the version and the rate; every further line (the column
// header included) becomes a record at the front of the tracker when it reads
// as its version requires, and is skipped otherwise. Once the tracker holds
// 32767 records the rest is read but ignored.
//
// Lines longer than kMaxLineLength bytes are skipped whole (no valid line
// comes near it), so memory stays bounded on any input. A last line without
// LF is parsed at Finish.
//
// Thread safety: none. The target tracker is private to the reader's user,
// or the user holds its lock for the whole read.
class CEngineLogReader {
public:
    static constexpr size_t kMaxLineLength = 4096;
    static constexpr int32_t kMaxRecords = 32767;

    // Clears target and sets its rate to 2 records per second.
    explicit CEngineLogReader(CDeviceECUTracker& target);

    void Feed(std::span<const uint8_t> chunk);
    // Parses a pending last line; call once after the last Feed.
    void Finish();

    // 255 until a version line was read (and for ever when it could not be).
    [[nodiscard]] int Version() const { return m_version; }
    // Lines after the version line that did not become records, the header
    // included; lines past the record limit are not counted.
    [[nodiscard]] int32_t SkippedLines() const { return m_skipped; }
    [[nodiscard]] bool Full() const;

private:
    void Line(std::string_view line);

    CDeviceECUTracker& m_target;
    std::string m_pending; // start of a line whose LF is still to come
    bool m_overlong = false;
    bool m_firstLine = true;
    int m_version;
    int32_t m_skipped = 0;
};
