#include "ui/model/DialogUnits.h"
#include "ui/model/FileFilter.h"
#include "ui/model/SystemLanguage.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemLanguage, LocaleNamesToIdentifiers) {
    const struct {
        const char* name;
        uint16_t id;
        int32_t language;
    } cases[] = {
        {"zh_CN", 0x0804, 0},
        {"zh_CN.UTF-8", 0x0804, 0},
        {"zh_HK", 0x0C04, 0},
        {"zh_HK.UTF-8", 0x0C04, 0},
        {"zh-Hant-HK", 0x0C04, 0},
        {"zh_Hans_CN", 0x0804, 0},
        {"zh", 0x0804, 0},
        {"ZH_cn", 0x0804, 0},
        {"zh_TW", 0x0404, 1},
        {"zh_SG", 0x1004, 1},
        {"zh_MO", 0x1404, 1},
        {"en_US.UTF-8", 0x0409, 1},
        {"de_DE", 0x0409, 1},
        {"C", 0x0409, 1},
        {"POSIX", 0x0409, 1},
        {"", 0x0409, 1},
        {"zu_ZA", 0x0409, 1},
        {"zhx", 0x0409, 1},
    };
    for (const auto& c : cases) {
        const uint16_t id = SystemLanguage::LangIdFromLocaleName(c.name);
        EXPECT_EQ(id, c.id) << c.name;
        EXPECT_EQ(SystemLanguage::TextLanguageFor(id), c.language) << c.name;
    }
}

TEST(DialogUnits, ReferenceFontGivesTheLayoutsPixels) {
    const DialogUnits reference(6, 13);
    // The tab strip's 206 px top edge is the template's 127 units.
    EXPECT_EQ(reference.Y(127), 206);
    EXPECT_EQ(reference.X(603), 905); // 904.5 rounds up
    EXPECT_EQ(reference.ReferenceX(294), 294);
    EXPECT_EQ(reference.ReferenceY(206), 206);
}

TEST(DialogUnits, LargerFontKeepsProportions) {
    const DialogUnits units(8, 18);
    EXPECT_EQ(units.X(4), 8);
    EXPECT_EQ(units.Y(8), 18);
    EXPECT_EQ(units.X(603), 1206);
    EXPECT_EQ(units.Y(422), 950); // 949.5
    EXPECT_EQ(units.ReferenceX(294), 392);
    EXPECT_EQ(units.ReferenceY(10), 14); // 13.8
    EXPECT_EQ(units.X(-3), -6);
}

TEST(DialogUnits, BaseWidthFromAlphabetAndDegenerateValues) {
    EXPECT_EQ(DialogUnits::BaseXFromAlphabetWidth(312), 6); // exactly 6 per letter
    EXPECT_EQ(DialogUnits::BaseXFromAlphabetWidth(338), 7); // 6.5 rounds up
    EXPECT_EQ(DialogUnits::BaseXFromAlphabetWidth(336), 6); // 6.46
    const DialogUnits broken(0, -4);
    EXPECT_EQ(broken.BaseX(), 1);
    EXPECT_EQ(broken.BaseY(), 1);
}

TEST(FileFilter, WindowsFiltersBecomeToolkitFilters) {
    EXPECT_EQ(FileFilter::ToToolkit("engine_log (*.csv)|*.csv||"), "engine_log (*.csv)");
    EXPECT_EQ(FileFilter::ToToolkit("Firmware|*.bin|All|*.*||"), "Firmware (*.bin);;All (*.*)");
    EXPECT_EQ(FileFilter::ToToolkit("Text|*.txt;*.cfg||"), "Text (*.txt *.cfg)");
    EXPECT_EQ(FileFilter::ToToolkit("Text|*.txt"), "Text (*.txt)"); // no closing bars
    EXPECT_EQ(FileFilter::ToToolkit(""), "");
    EXPECT_EQ(FileFilter::ToToolkit("lonely"), ""); // a name without patterns
}

} // namespace
