#include "update/CUnitArchive.h"

#include "foundation/StringPrintf.h"
#include "platform/FileIo.h"
#include "platform/ProfileFile.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace {

constexpr const char* kHeader =
    "time\tunit\tversion_before\tversion_after\timage\tsize\tsha256\tprotocol\tresult\tbackup\t"
    "restored";
constexpr size_t kFieldCount = 11;

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char n = s[++i];
        out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    }
    return out;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (platform::ReadWholeFile(path, bytes, 64u * 1024u * 1024u, nullptr) !=
        platform::FileReadStatus::Ok) {
        return {};
    }
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

} // namespace

CUnitArchive::CUnitArchive(std::string root)
    : m_root(std::move(root)) {}

std::string CUnitArchive::DefaultRoot() {
    const std::string data = platform::UserDataFolder();
    return data.empty() ? std::string() : data + "/turbex/units";
}

std::string CUnitArchive::UnitFolder(const std::string& unitKey) const {
    return m_root + "/" + unitKey;
}

bool CUnitArchive::EnsureUnitFolder(const std::string& unitKey, std::string* error) const {
    if (m_root.empty()) {
        if (error != nullptr) {
            *error = "no folder for the unit archive (neither XDG_DATA_HOME nor HOME is set)";
        }
        return false;
    }
    return platform::MakeFolders(UnitFolder(unitKey), error);
}

std::string CUnitArchive::UtcTime(std::time_t t) {
    std::tm utc{};
    gmtime_r(&t, &utc);
    return StringPrintf("%04d-%02d-%02dT%02d:%02d:%02dZ",
                        utc.tm_year + 1900,
                        utc.tm_mon + 1,
                        utc.tm_mday,
                        utc.tm_hour,
                        utc.tm_min,
                        utc.tm_sec);
}

std::string CUnitArchive::SaveBackup(const CUnitIdentity& unit,
                                     const CEngineParameterFile::Texts& texts,
                                     std::time_t now,
                                     std::string* error) {
    const std::string key = unit.Key();
    if (!EnsureUnitFolder(key, error)) {
        return {};
    }
    platform::ProfileFile file;
    bool ok = file.SetString(kUnitSection, "Unit", key) &&
              file.SetString(kUnitSection, "HardwareId", StringPrintf("0x%03X", unit.hardwareId)) &&
              file.SetString(kUnitSection, "DeviceInfo", unit.DeviceInfoHex()) &&
              file.SetString(kUnitSection, "Firmware", unit.VersionText()) &&
              file.SetString(kUnitSection, "Taken", UtcTime(now));
    ok = CEngineParameterFile::Write(texts, file) && ok;
    if (!ok) {
        if (error != nullptr) {
            *error = "a parameter text cannot be written to the backup file";
        }
        return {};
    }
    std::tm utc{};
    gmtime_r(&now, &utc);
    const std::string stem = UnitFolder(key) + StringPrintf("/params-%04d%02d%02dT%02d%02d%02dZ",
                                                            utc.tm_year + 1900,
                                                            utc.tm_mon + 1,
                                                            utc.tm_mday,
                                                            utc.tm_hour,
                                                            utc.tm_min,
                                                            utc.tm_sec);
    const std::vector<uint8_t> bytes = file.Serialize();
    for (int n = 1; n < 1000; ++n) {
        const std::string path = stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".txt";
        switch (platform::CreateNewFile(path, bytes, error)) {
        case platform::NewFileStatus::Created:
            return path;
        case platform::NewFileStatus::Exists:
            continue;
        case platform::NewFileStatus::Failed:
            return {};
        }
    }
    if (error != nullptr) {
        *error = "too many backups named " + stem;
    }
    return {};
}

bool CUnitArchive::ReadBackup(const std::string& path,
                              CEngineParameterFile::Texts& out,
                              std::string* error) {
    platform::ProfileFile file;
    const auto loaded = file.Load(path, error);
    if (loaded != platform::ProfileFile::LoadResult::Loaded) {
        if (loaded == platform::ProfileFile::LoadResult::Missing && error != nullptr) {
            *error = "no such file: " + path;
        }
        return false;
    }
    out.clear();
    for (const CEngineParameterFile::Row& row : CEngineParameterFile::Rows()) {
        out.emplace_back(row.key,
                         file.GetString(CEngineParameterFile::kSection, row.key, row.defaultValue));
    }
    for (const char* key : {CEngineParameterFile::kKeyTemperatureUnit,
                            CEngineParameterFile::kKeyPumpMode,
                            CEngineParameterFile::kKeyTelemetryProtocol}) {
        out.emplace_back(key, file.GetString(CEngineParameterFile::kSection, key, "0"));
    }
    return true;
}

bool CUnitArchive::SetPending(const std::string& unitKey,
                              const Pending& pending,
                              std::string* error) {
    if (!EnsureUnitFolder(unitKey, error)) {
        return false;
    }
    const std::string text = "backup=" + Escape(pending.backup) +
                             "\nversion_before=" + Escape(pending.versionBefore) +
                             "\nstarted=" + Escape(pending.started) + "\n";
    return platform::ReplaceFileContents(
        UnitFolder(unitKey) + "/" + kPendingFile, Bytes(text), error);
}

std::optional<CUnitArchive::Pending> CUnitArchive::GetPending(const std::string& unitKey) const {
    std::vector<uint8_t> bytes;
    if (m_root.empty() || platform::ReadWholeFile(
                              UnitFolder(unitKey) + "/" + kPendingFile, bytes, 1u << 20, nullptr) !=
                              platform::FileReadStatus::Ok) {
        return std::nullopt;
    }
    Pending p;
    for (const std::string& line : Lines({bytes.begin(), bytes.end()})) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, eq);
        const std::string value = Unescape(line.substr(eq + 1));
        if (name == "backup") {
            p.backup = value;
        } else if (name == "version_before") {
            p.versionBefore = value;
        } else if (name == "started") {
            p.started = value;
        }
    }
    return p;
}

bool CUnitArchive::ClearPending(const std::string& unitKey, std::string* error) {
    return platform::RemoveFile(UnitFolder(unitKey) + "/" + kPendingFile, error);
}

std::string CUnitArchive::FormatHistoryLine(const CUpdateRecord& r) {
    const std::array<std::string, kFieldCount> fields = {r.time,
                                                         r.unit,
                                                         r.versionBefore,
                                                         r.versionAfter,
                                                         r.image,
                                                         std::to_string(r.imageSize),
                                                         r.imageSha256,
                                                         r.protocol,
                                                         r.result,
                                                         r.backup,
                                                         r.restored};
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "" : "\t") + Escape(fields[i]);
    }
    return line;
}

std::optional<CUpdateRecord> CUnitArchive::ParseHistoryLine(const std::string& line) {
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        f.push_back(Unescape(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos) {
            break;
        }
        start = tab + 1;
    }
    if (f.size() != kFieldCount || f[0] == "time") {
        return std::nullopt;
    }
    CUpdateRecord r;
    r.time = f[0];
    r.unit = f[1];
    r.versionBefore = f[2];
    r.versionAfter = f[3];
    r.image = f[4];
    char* end = nullptr;
    r.imageSize = std::strtoull(f[5].c_str(), &end, 10);
    if (f[5].empty() || end == nullptr || *end != '\0') {
        return std::nullopt;
    }
    r.imageSha256 = f[6];
    r.protocol = f[7];
    r.result = f[8];
    r.backup = f[9];
    r.restored = f[10];
    return r;
}

bool CUnitArchive::AppendHistory(const CUpdateRecord& record, std::string* error) {
    if (!EnsureUnitFolder(record.unit, error)) {
        return false;
    }
    const std::string path = UnitFolder(record.unit) + "/" + kHistoryFile;
    std::string text = ReadText(path);
    if (text.empty()) {
        text = std::string(kHeader) + "\n";
    } else if (text.back() != '\n') {
        text += '\n';
    }
    text += FormatHistoryLine(record) + "\n";
    return platform::ReplaceFileContents(path, Bytes(text), error);
}

std::vector<CUpdateRecord> CUnitArchive::ReadHistory(const std::string& unitKey) const {
    std::vector<CUpdateRecord> out;
    if (m_root.empty()) {
        return out;
    }
    for (const std::string& line : Lines(ReadText(UnitFolder(unitKey) + "/" + kHistoryFile))) {
        if (auto r = ParseHistoryLine(line)) {
            out.push_back(std::move(*r));
        }
    }
    return out;
}

std::vector<std::string> CUnitArchive::Units() const {
    std::vector<std::string> out;
    if (m_root.empty()) {
        return out;
    }
    for (const std::string& name : platform::ListFolder(m_root)) {
        if (name.rfind("ecu-", 0) == 0) {
            out.push_back(name);
        }
    }
    return out;
}
