#pragma once

#include "engine/CEngineParameterFile.h"
#include "update/CUnitIdentity.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

// One firmware update attempt, one line of a unit's history.
struct CUpdateRecord {
    std::string time;          // UTC, "2026-12-09T04:05:06Z"
    std::string unit;          // CUnitIdentity::Key()
    std::string versionBefore; // "1.2.3", "boot 1.02"
    std::string versionAfter;  // "" when the unit did not come back
    std::string image;         // the image's file name, without its folder
    uint64_t imageSize = 0;    // bytes
    std::string imageSha256;   // 64 lower-case hex digits
    std::string protocol;      // "block" or "classic"
    std::string result;        // "success" or "failed"
    std::string backup;        // path of the backup taken before, "" when none
    // "yes" (restored and confirmed), "failed", "no" (differences left as
    // they are), "not needed" (no differences), "" (nothing to compare).
    std::string restored;

    bool operator==(const CUpdateRecord&) const = default;
};

// The tool's archive of units it has updated: one folder per unit
// (CUnitIdentity::Key) under the root, holding
//   params-<UTC time>.txt  a backup of the parameters taken before an update,
//                          in engine_cfg.txt's format (so that
//                          `turbexctl params load FILE` restores it by hand),
//                          with the unit's identity in section "UNIT";
//   pending.txt            the backup of an update that has not finished
//                          (the unit may wait in its boot loader);
//   history.tsv            one tab-separated line per update attempt.
// Backups are never replaced (a second one in the same second gets a suffix);
// the pending and history files are rewritten through a temporary file and a
// rename, so a failure leaves the old file as it was.
//
// Thread safety: none of its own; the file operations are safe from any one
// thread at a time per unit.
class CUnitArchive {
public:
    static constexpr const char* kHistoryFile = "history.tsv";
    static constexpr const char* kPendingFile = "pending.txt";
    static constexpr const char* kUnitSection = "UNIT";

    // root: the folder holding one folder per unit.
    explicit CUnitArchive(std::string root);
    // <the user's data folder>/turbex/units ($XDG_DATA_HOME, else
    // ~/.local/share); "" when neither is known.
    [[nodiscard]] static std::string DefaultRoot();

    [[nodiscard]] const std::string& Root() const { return m_root; }
    [[nodiscard]] std::string UnitFolder(const std::string& unitKey) const;

    // Saves the parameter texts (CEngineParameterFile::Collect) of unit as a
    // new backup taken at now; returns its path, or "" with *error.
    [[nodiscard]] std::string SaveBackup(const CUnitIdentity& unit,
                                         const CEngineParameterFile::Texts& texts,
                                         std::time_t now,
                                         std::string* error);
    // The parameter texts of a backup (or any parameter file) in the order
    // Collect gives them; keys missing from the file take their defaults.
    [[nodiscard]] static bool
    ReadBackup(const std::string& path, CEngineParameterFile::Texts& out, std::string* error);

    // An update that began and has not finished.
    struct Pending {
        std::string backup;        // "" when none could be taken
        std::string versionBefore; // as CUpdateRecord
        std::string started;       // UTC time
        bool operator==(const Pending&) const = default;
    };
    [[nodiscard]] bool
    SetPending(const std::string& unitKey, const Pending& pending, std::string* error);
    [[nodiscard]] std::optional<Pending> GetPending(const std::string& unitKey) const;
    [[nodiscard]] bool ClearPending(const std::string& unitKey, std::string* error);

    // Adds record as the last line of its unit's history.
    [[nodiscard]] bool AppendHistory(const CUpdateRecord& record, std::string* error);
    // The unit's history, oldest first (lines that do not parse are skipped).
    [[nodiscard]] std::vector<CUpdateRecord> ReadHistory(const std::string& unitKey) const;
    // The keys of every unit folder, sorted.
    [[nodiscard]] std::vector<std::string> Units() const;

    // "YYYY-MM-DDTHH:MM:SSZ".
    [[nodiscard]] static std::string UtcTime(std::time_t t);

    // One history line (no line end) and back; the fields are separated by
    // tabs, and a backslash, tab, CR or LF inside a field is escaped as \\,
    // \t, \r, \n.
    [[nodiscard]] static std::string FormatHistoryLine(const CUpdateRecord& record);
    [[nodiscard]] static std::optional<CUpdateRecord> ParseHistoryLine(const std::string& line);

private:
    [[nodiscard]] bool EnsureUnitFolder(const std::string& unitKey, std::string* error) const;

    std::string m_root;
};
