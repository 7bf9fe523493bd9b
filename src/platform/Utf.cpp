#include "platform/Utf.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one scalar value at bytes[pos]. Returns the number of bytes it takes
// and stores the value, or returns the length of the ill-formed part (at least
// 1, the longest prefix that could have started a valid sequence) and stores
// kReplacement with *wellFormed false.
size_t DecodeUtf8(std::string_view bytes, size_t pos, char32_t* value, bool* wellFormed) {
    *wellFormed = false;
    const auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    const uint8_t lead = at(pos);
    if (lead < 0x80) {
        *value = lead;
        *wellFormed = true;
        return 1;
    }
    size_t length = 0;
    char32_t cp = 0;
    // The allowed range of the second byte rules out overlong forms,
    // surrogates and values past U+10FFFF.
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        *value = kReplacement;
        return 1;
    }
    for (size_t i = 1; i < length; ++i) {
        if (pos + i >= bytes.size()) {
            *value = kReplacement;
            return i;
        }
        const uint8_t b = at(pos + i);
        const uint8_t lo = i == 1 ? low : 0x80;
        const uint8_t hi = i == 1 ? high : 0xBF;
        if (b < lo || b > hi) {
            *value = kReplacement;
            return i;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    *value = cp;
    *wellFormed = true;
    return length;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUnit(uint16_t unit, std::vector<uint8_t>& out) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t cp = 0;
        bool wellFormed = false;
        pos += DecodeUtf8(bytes, pos, &cp, &wellFormed);
        if (!wellFormed) {
            return false;
        }
    }
    return true;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t cp = 0;
        bool wellFormed = false;
        pos += DecodeUtf8(bytes, pos, &cp, &wellFormed);
        AppendUtf8(cp, out);
    }
    return out;
}

std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const size_t units = bytes.size() / 2;
    const auto unitAt = [&](size_t i) -> uint16_t {
        const uint8_t a = bytes[2 * i];
        const uint8_t b = bytes[2 * i + 1];
        return bigEndian ? static_cast<uint16_t>((a << 8) | b)
                         : static_cast<uint16_t>((b << 8) | a);
    };
    for (size_t i = 0; i < units; ++i) {
        const uint16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint16_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(0x10000 + ((static_cast<char32_t>(u - 0xD800) << 10) | (next - 0xDC00)),
                           out);
                ++i;
                continue;
            }
        }
        AppendUtf8(u >= 0xD800 && u <= 0xDFFF ? kReplacement : u, out);
    }
    if (bytes.size() % 2 != 0) {
        AppendUtf8(kReplacement, out);
    }
    return out;
}

void AppendUtf16Le(std::string_view utf8, std::vector<uint8_t>& out) {
    size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = 0;
        bool wellFormed = false;
        pos += DecodeUtf8(utf8, pos, &cp, &wellFormed);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            AppendUnit(static_cast<uint16_t>(0xD800 + (v >> 10)), out);
            AppendUnit(static_cast<uint16_t>(0xDC00 + (v & 0x3FF)), out);
        } else {
            AppendUnit(static_cast<uint16_t>(cp), out);
        }
    }
}

} // namespace platform
