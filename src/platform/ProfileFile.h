#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A private-profile (INI) file: "[section]" lines, each followed by
// "key=value" lines, read and written the way the Windows profile functions
// do it, so that files move freely between the tool's builds:
//
// - section and key names match without regard to ASCII letter case, and
//   surrounding blanks of names and values are ignored;
// - the first section of a name, and the first key of a name in it, win;
//   later duplicates are kept in the file but never read;
// - a value enclosed in a matching pair of double or single quotes is read
//   without them;
// - lines starting with ';' are comments; lines that are neither a section,
//   a key nor a comment are kept as they are; keys before the first section
//   belong to no section and cannot be read;
// - reading accepts UTF-16 with a byte-order mark (little- or big-endian),
//   UTF-8 with or without one, and, when the bytes are not valid UTF-8, the
//   Chinese code page GBK (936);
// - writing gives UTF-16LE with a byte-order mark and CR LF line ends, which
//   the Windows functions read correctly whatever the system language; every
//   line not written to keeps its text.
//
// All names and values in and out are UTF-8.
//
// Thread safety: a ProfileFile is a plain value; use one from one thread at a
// time. The free functions below may be called from any thread.
class ProfileFile {
public:
    enum class Encoding { None, Utf16Le, Utf16Be, Utf8, Utf8Bom, Gbk };
    enum class LoadResult {
        Loaded,  // read and parsed
        Missing, // no such file: the profile is empty, every read gives its default
        Failed,  // the file exists but could not be read; the profile is empty
    };

    // Files larger than this are not read (a parameter file is a few KiB).
    static constexpr size_t kMaxFileBytes = 16u * 1024u * 1024u;

    ProfileFile() = default;

    // Parses file bytes; never fails (undecodable bytes become U+FFFD).
    [[nodiscard]] static ProfileFile Parse(std::span<const uint8_t> bytes);

    // The file's bytes as they are written: UTF-16LE, byte-order mark, CR LF.
    [[nodiscard]] std::vector<uint8_t> Serialize() const;

    // Replaces the contents with those of the file at path (UTF-8 path). On
    // Failed the failing call is named in *error when error is not null.
    [[nodiscard]] LoadResult Load(const std::string& path, std::string* error = nullptr);

    // Writes Serialize() to path through a temporary file and a rename; the old
    // file survives a failure. Returns false and names the failing call in
    // *error (when not null) on failure.
    [[nodiscard]] bool Save(const std::string& path, std::string* error = nullptr) const;

    // The value of key in section, or nothing when the section or key is
    // missing or a name is empty.
    [[nodiscard]] std::optional<std::string> Find(std::string_view section,
                                                  std::string_view key) const;

    // Find, or defaultValue when nothing is found.
    [[nodiscard]] std::string
    GetString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // Sets key in section to value: an existing key has its line replaced in
    // place; a new key is added after the last key of the section, and a
    // missing section is added at the end of the file (after a blank line
    // unless the file is empty or already ends in one). Names are stored
    // without surrounding blanks. A value that reading would change (leading
    // or trailing blanks, or enclosed in quotes) is written in double quotes
    // so that it reads back unchanged.
    // Returns false, changing nothing, for an empty section or key name, a key
    // name that contains '=' or starts with '[' or ';', a line break in any
    // argument, or text that is not valid UTF-8.
    [[nodiscard]] bool
    SetString(std::string_view section, std::string_view key, std::string_view value);

    // The encoding the parsed bytes were in; None for an empty profile.
    [[nodiscard]] Encoding SourceEncoding() const { return m_encoding; }

    // The text lines, without line ends.
    [[nodiscard]] std::vector<std::string> Lines() const;

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string text; // the whole line as it is written, UTF-8
        Kind kind = Kind::Other;
        std::string name;  // section or key name, trimmed
        std::string value; // key value, trimmed and unquoted
    };

    static Line ParseLine(std::string text);
    // Index of the first section line named section, or npos.
    [[nodiscard]] size_t FindSection(std::string_view section) const;
    // Index of the first key line named key in the section whose header is at
    // sectionLine, or npos.
    [[nodiscard]] size_t FindKey(size_t sectionLine, std::string_view key) const;

    std::vector<Line> m_lines;
    Encoding m_encoding = Encoding::None;
};

// GetPrivateProfileString: the value of key in section of the file at path,
// or defaultValue when the file, the section or the key is missing or the file
// cannot be read.
[[nodiscard]] std::string ReadProfileKey(std::string_view section,
                                         std::string_view key,
                                         std::string_view defaultValue,
                                         const std::string& path);

// WritePrivateProfileString: reads the file at path (a missing file is
// created), sets the key as ProfileFile::SetString does and saves it safely.
// Returns false, leaving the file as it was, when the names or value are
// refused, the file exists but cannot be read, or it cannot be written; the
// reason is stored in *error when error is not null. Writes from threads of
// one process are serialised, so none is lost.
[[nodiscard]] bool WriteProfileKey(std::string_view section,
                                   std::string_view key,
                                   std::string_view value,
                                   const std::string& path,
                                   std::string* error = nullptr);

} // namespace platform
