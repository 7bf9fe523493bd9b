#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Conversions between the Unicode encodings the tool meets in files. Text
// inside the tool is UTF-8; whatever cannot be decoded becomes U+FFFD, so the
// result is always valid UTF-8 and nothing else of the input is dropped.
//
// Thread safety: pure functions.

// True when bytes is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF, no truncated sequence).
[[nodiscard]] bool IsValidUtf8(std::string_view bytes);

// bytes with each ill-formed sequence replaced by U+FFFD.
[[nodiscard]] std::string SanitizeUtf8(std::string_view bytes);

// UTF-16 code units (little- or big-endian byte order) to UTF-8. An unpaired
// surrogate and an odd last byte each become U+FFFD.
[[nodiscard]] std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian);

// UTF-8 to little-endian UTF-16 bytes, appended to out; ill-formed input is
// encoded as U+FFFD.
void AppendUtf16Le(std::string_view utf8, std::vector<uint8_t>& out);

} // namespace platform
