#pragma once

#include <string>
#include <string_view>

namespace platform {

// Conversions between UTF-8 and the Chinese Windows code page (936, GBK),
// the encoding of text files written by the tool's Windows builds on Chinese
// systems and of the narrow texts the ECU keeps.
//
// Thread safety: every function may be called from any thread.

// GBK bytes to UTF-8. A byte that does not start a character, a lead byte
// with an invalid trail byte and a lead byte cut off at the end each become
// U+FFFD; a valid trail byte that follows an invalid lead is decoded on its
// own, so no readable text is lost.
[[nodiscard]] std::string GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK. Characters the code page lacks, and ill-formed UTF-8, become
// '?'; *lossless (when not null) tells whether that happened.
[[nodiscard]] std::string Utf8ToGbk(std::string_view utf8, bool* lossless = nullptr);

} // namespace platform
