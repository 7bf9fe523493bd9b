#pragma once

#include <cstdint>
#include <string_view>

// The system language as a language identifier, and the text-table language
// it selects at start-up.
//
// Thread safety: pure functions; any thread.
class SystemLanguage {
public:
    static constexpr uint16_t kChinesePrc = 0x0804;
    static constexpr uint16_t kChineseHongKong = 0x0C04;
    static constexpr uint16_t kChineseTaiwan = 0x0404;
    static constexpr uint16_t kChineseSingapore = 0x1004;
    static constexpr uint16_t kChineseMacao = 0x1404;
    static constexpr uint16_t kEnglishUs = 0x0409;

    // The identifier of a locale name such as "zh_CN", "zh_HK.UTF-8",
    // "zh-Hant-HK" or "en_US": Chinese regions map to their identifiers,
    // everything else (other languages, "C", "POSIX", "") to US English.
    [[nodiscard]] static uint16_t LangIdFromLocaleName(std::string_view name);

    // 0 (Chinese) for 0x0804 and 0x0C04, 1 (English) for every other
    // identifier.
    [[nodiscard]] static int32_t TextLanguageFor(uint16_t langId);
};
