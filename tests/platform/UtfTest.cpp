#include "platform/Utf.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

TEST(Utf, WellFormedUtf8IsToldFromIllFormed) {
    struct Case {
        const char* bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"ascii", true},
        {"温度单位", true},
        {"\xEF\xBF\xBD", true},      // U+FFFD itself
        {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
        {"\xC0\xAF", false},         // overlong '/'
        {"\xE0\x80\xAF", false},     // overlong
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // above U+10FFFF
        {"\xE6\xB8", false},         // cut off
        {"\xF0\x9F\x9A\xFF", false}, // bad fourth byte
        {"\x80", false},             // stray continuation
        {"\xCE\xC2\xB6\xC8", false}, // GBK "温度"
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::IsValidUtf8(c.bytes), c.valid) << c.bytes;
        const std::string clean = platform::SanitizeUtf8(c.bytes);
        EXPECT_TRUE(platform::IsValidUtf8(clean));
        if (c.valid) {
            EXPECT_EQ(clean, c.bytes);
        }
    }
    EXPECT_EQ(platform::SanitizeUtf8("a\xE6\xB8"
                                     "b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(Utf, Utf16LeRoundTripIncludesPairs) {
    const std::string text = "温度 \xF0\x9F\x9A\x80 x";
    std::vector<uint8_t> units;
    platform::AppendUtf16Le(text, units);
    ASSERT_EQ(units.size(), 14u);
    EXPECT_EQ(units[6], 0x3D); // high surrogate D83D, little-endian
    EXPECT_EQ(units[7], 0xD8);
    EXPECT_EQ(platform::Utf16ToUtf8(units, false), text);
}

TEST(CodePage, GbkDecodesAndMarksWhatItCannot) {
    EXPECT_EQ(platform::GbkToUtf8("\xCE\xC2\xB6\xC8=1"), "温度=1");
    EXPECT_EQ(platform::GbkToUtf8("\x80"), "€");
    // 0xFF starts nothing; a lead byte before a byte that cannot trail it (trail
    // bytes are 0x40..0xFE) loses only itself.
    EXPECT_EQ(platform::GbkToUtf8("a\xFF"
                                  "b\xCE"
                                  "0\xCE"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "0\xEF\xBF\xBD");
}

TEST(CodePage, Utf8ToGbkMarksCharactersTheCodePageLacks) {
    bool lossless = false;
    EXPECT_EQ(platform::Utf8ToGbk("温度=1", &lossless), "\xCE\xC2\xB6\xC8=1");
    EXPECT_TRUE(lossless);
    EXPECT_EQ(platform::Utf8ToGbk("a\xF0\x9F\x9A\x80"
                                  "b",
                                  &lossless),
              "a?b");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(platform::Utf8ToGbk("a\xC3", &lossless), "a?");
    EXPECT_FALSE(lossless);
}
