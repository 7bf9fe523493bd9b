#include "platform/ProfileFile.h"

#include "platform/CodePage.h"
#include "platform/FileIo.h"
#include "platform/Utf.h"

#include <mutex>

namespace platform {

namespace {

constexpr size_t npos = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// The text a key line is written with, such that reading it gives value back.
std::string KeyLine(std::string_view name, std::string_view value) {
    std::string line(name);
    line += '=';
    const bool changedByReading =
        !value.empty() &&
        (IsBlank(value.front()) || IsBlank(value.back()) ||
         (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()));
    if (changedByReading) {
        line += '"';
        line += value;
        line += '"';
    } else {
        line += value;
    }
    return line;
}

std::mutex& WriteLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

ProfileFile::Line ProfileFile::ParseLine(std::string text) {
    Line line;
    const std::string_view t = Trim(text);
    if (t.empty() || t.front() == ';') {
        // Blank or comment.
    } else if (t.front() == '[') {
        // The name runs to the last ']', so a name may itself hold one; text
        // after it is ignored. Without a ']' the line is no header.
        const size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::Section;
            line.name = std::string(Trim(t.substr(1, close - 1)));
        }
    } else {
        const size_t equals = t.find('=');
        if (equals != std::string_view::npos) {
            line.kind = Kind::Key;
            line.name = std::string(Trim(t.substr(0, equals)));
            std::string_view value = Trim(t.substr(equals + 1));
            if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()) {
                value = value.substr(1, value.size() - 2);
            }
            line.value = std::string(value);
        }
    }
    line.text = std::move(text);
    return line;
}

ProfileFile ProfileFile::Parse(std::span<const uint8_t> bytes) {
    ProfileFile file;
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        file.m_encoding = Encoding::Utf16Le;
        text = Utf16ToUtf8(bytes.subspan(2), false);
    } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        file.m_encoding = Encoding::Utf16Be;
        text = Utf16ToUtf8(bytes.subspan(2), true);
    } else {
        std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") {
            file.m_encoding = Encoding::Utf8Bom;
            text = SanitizeUtf8(raw.substr(3));
        } else if (raw.empty()) {
            file.m_encoding = Encoding::None;
        } else if (IsValidUtf8(raw)) {
            // Pure ASCII lands here too; it reads the same in every encoding.
            file.m_encoding = Encoding::Utf8;
            text = std::string(raw);
        } else {
            // GBK text is almost never valid UTF-8: its lead bytes 0x81..0xFE
            // are followed by bytes that seldom form UTF-8 continuations.
            file.m_encoding = Encoding::Gbk;
            text = GbkToUtf8(raw);
        }
    }

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == npos;
        if (last) {
            end = text.size();
        }
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') {
            --stop;
        }
        file.m_lines.push_back(ParseLine(text.substr(start, stop - start)));
        start = end + 1;
    }
    return file;
}

std::vector<uint8_t> ProfileFile::Serialize() const {
    std::vector<uint8_t> out{0xFF, 0xFE};
    for (const Line& line : m_lines) {
        AppendUtf16Le(line.text, out);
        AppendUtf16Le("\r\n", out);
    }
    return out;
}

ProfileFile::LoadResult ProfileFile::Load(const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    const FileReadStatus status = ReadWholeFile(path, bytes, kMaxFileBytes, error);
    if (status != FileReadStatus::Ok) {
        *this = ProfileFile();
        return status == FileReadStatus::NotFound ? LoadResult::Missing : LoadResult::Failed;
    }
    *this = Parse(bytes);
    return LoadResult::Loaded;
}

bool ProfileFile::Save(const std::string& path, std::string* error) const {
    const std::vector<uint8_t> bytes = Serialize();
    return ReplaceFileContents(path, bytes, error);
}

size_t ProfileFile::FindSection(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && EqualsIgnoringAsciiCase(m_lines[i].name, section)) {
            return i;
        }
    }
    return npos;
}

size_t ProfileFile::FindKey(size_t sectionLine, std::string_view key) const {
    for (size_t i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section) {
            break;
        }
        if (m_lines[i].kind == Kind::Key && EqualsIgnoringAsciiCase(m_lines[i].name, key)) {
            return i;
        }
    }
    return npos;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) {
        return std::nullopt;
    }
    const size_t header = FindSection(section);
    if (header == npos) {
        return std::nullopt;
    }
    const size_t line = FindKey(header, key);
    if (line == npos) {
        return std::nullopt;
    }
    return m_lines[line].value;
}

std::string ProfileFile::GetString(std::string_view section,
                                   std::string_view key,
                                   std::string_view defaultValue) const {
    std::optional<std::string> value = Find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

bool ProfileFile::SetString(std::string_view section,
                            std::string_view key,
                            std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || key.find('=') != std::string_view::npos || key.front() == '[' ||
        key.front() == ';' || !IsValidUtf8(section) || !IsValidUtf8(key) || !IsValidUtf8(value)) {
        return false;
    }

    size_t header = FindSection(section);
    if (header == npos) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty()) {
            m_lines.push_back(ParseLine(std::string()));
        }
        m_lines.push_back(ParseLine("[" + std::string(section) + "]"));
        m_lines.push_back(ParseLine(KeyLine(key, value)));
        return true;
    }

    const size_t existing = FindKey(header, key);
    if (existing != npos) {
        // Keep the key as the file spells it; only the value changes.
        const std::string name = m_lines[existing].name;
        m_lines[existing] = ParseLine(KeyLine(name, value));
        return true;
    }

    // After the section's last key, so that blank lines and comments that
    // separate it from the next section stay where they are.
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (m_lines[i].kind == Kind::Key) {
            insertAt = i + 1;
        }
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   ParseLine(KeyLine(key, value)));
    return true;
}

std::vector<std::string> ProfileFile::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(m_lines.size());
    for (const Line& line : m_lines) {
        lines.push_back(line.text);
    }
    return lines;
}

std::string ReadProfileKey(std::string_view section,
                           std::string_view key,
                           std::string_view defaultValue,
                           const std::string& path) {
    ProfileFile file;
    (void)file.Load(path);
    return file.GetString(section, key, defaultValue);
}

bool WriteProfileKey(std::string_view section,
                     std::string_view key,
                     std::string_view value,
                     const std::string& path,
                     std::string* error) {
    std::lock_guard<std::mutex> guard(WriteLock());
    ProfileFile file;
    if (file.Load(path, error) == ProfileFile::LoadResult::Failed) {
        return false;
    }
    if (!file.SetString(section, key, value)) {
        if (error != nullptr) {
            *error = "refused section, key or value for " + path;
        }
        return false;
    }
    return file.Save(path, error);
}

} // namespace platform
