#pragma once

#include "records/CDeviceECUTItem.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CDeviceECUTracker;

// The lines of engine_log.csv, without any file I/O: version 4 as written,
// and the record lines of every version read (1, 2, 3, 4: prefixes of the
// version-4 columns with 13, 17, 18 and 21 fields; 203: its own 16 columns).
//
// Numbers are read as the tool always read them: leading blanks before a
// number are skipped, a comma must follow a number directly, and anything
// after the last field of a line is ignored. A number outside the 32-bit
// signed range makes the whole line unreadable.
//
// Thread safety: pure functions; Serialize reads the tracker, whose lock the
// caller holds.
class CEngineLogFormat {
public:
    static constexpr int kVersionWritten = 4;
    static constexpr int kVersionUnknown = 255;
    static constexpr size_t kHeaderLength = 348;

    // "version,4,<records per second>\r\n".
    [[nodiscard]] static std::string VersionLine(int recordsPerSecond);

    // The 21 column names, each followed by a comma and seven TABs except the
    // last, which ends the line with CR LF (348 bytes).
    [[nodiscard]] static std::string HeaderLine();

    // The 20 version-4 columns after counter, in file order: their names
    // ("engine_state" ... "combustion_press") and a record's values.
    static constexpr size_t kValueColumns = 20;
    [[nodiscard]] static const char* ValueColumnName(size_t i);
    [[nodiscard]] static int32_t ValueColumn(const CDeviceECUTItem& record, size_t i);

    // The 21 version-4 fields of record, comma-separated, ending in CR LF.
    static void AppendRecordLine(const CDeviceECUTItem& record, std::string& out);

    // The whole version-4 file: version line, header, records oldest first.
    [[nodiscard]] static std::string Serialize(const CDeviceECUTracker& tracker);

    struct VersionInfo {
        int version = kVersionUnknown; // 255 when the line cannot be read
        int rate = 0;                  // third field, 0 when missing
        int fieldsRead = 0;            // 0..3, as the line reader counts them
    };
    // Reads the first line as "name,version,rate" (name: anything up to the
    // first comma, at least one character; it is not checked).
    [[nodiscard]] static VersionInfo ParseVersionLine(std::string_view line);

    // Records per second the version line gives: its rate when the version is
    // 2, 3, 4 or 203, all three fields were read and the rate is 2, 4, 8, 16
    // or 100; otherwise 0 (the log keeps its default of 2).
    [[nodiscard]] static int AcceptedRate(const VersionInfo& info);

    // Fills record from one line of the given version. 1 when the line has
    // the field count of its version (203: 13 to 16 fields, fuel_press
    // then divided by 10); 0 for any other line or version, record then
    // unspecified.
    [[nodiscard]] static int
    ParseRecordLine(int version, std::string_view line, CDeviceECUTItem& record);

    // Reads up to out.size() comma-separated integers from the front of line
    // into out. Returns how many were read, or -1 when one was out of range.
    [[nodiscard]] static int ParseIntegers(std::string_view line, std::span<int32_t> out);
};
