#include "MainWindowRig.h"
#include "app/AppIcon.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

// Glyphs that no font of the system has: the layout falls back through the
// fonts and gives glyph index 0 where it found none. Qt prints no warning.
int MissingGlyphs(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    int missing = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 index : run.glyphIndexes()) {
            missing += index == 0 ? 1 : 0;
        }
    }
    return missing;
}

TEST(Fonts, TheChineseFontIsInstalled) {
    const QStringList families = QFontDatabase::families();
    EXPECT_TRUE(families.contains("WenQuanYi Micro Hei"))
        << "the CJK font of the set-up script (fonts-wqy-microhei) is missing";
}

TEST(Fonts, ChineseCaptionsHaveEveryGlyph) {
    MainWindowRig rig(SimRig::DeadPort(), 0x0804);
    QString all;
    for (const auto& pair : CTurbexDlg::CaptionList()) {
        const QString caption = rig.w().GetDlgItemText(pair.controlId);
        ASSERT_FALSE(caption.isEmpty()) << pair.controlId;
        all += caption;
        EXPECT_EQ(MissingGlyphs(caption, rig.w().GetDlgItem(pair.controlId)->font()), 0)
            << pair.controlId << " " << caption.toStdString();
    }
    for (int32_t i = 0; i < rig.w().Tab()->GetItemCount(); ++i) {
        EXPECT_EQ(MissingGlyphs(rig.w().Tab()->GetItemText(i), rig.w().Tab()->font()), 0) << i;
    }
    // The other Chinese texts the window shows.
    for (const char* text : {"校准温度", "工程模式", "中文", "24℃", "USB：", "确定", "取消"}) {
        EXPECT_EQ(MissingGlyphs(QString::fromUtf8(text), rig.w().font()), 0) << text;
    }
    EXPECT_GT(all.size(), 49);
}

TEST(Fonts, TheCounterSeesAMissingGlyph) {
    // A private-use code point no font draws: the check can fail.
    EXPECT_GT(MissingGlyphs(QString(QChar(0xE000)) + QChar(0xF8FF), QFont()), 0);
}

TEST(AppIcon, DrawnFromTheProjectsSvgAtSeveralSizes) {
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(256, 256)));
    // Drawn, not blank: the centre and the corner differ, the centre is opaque.
    const QImage image = icon.pixmap(64, 64).toImage();
    EXPECT_EQ(image.pixelColor(32, 32).alpha(), 255);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    MainWindowRig rig(SimRig::DeadPort(), 0x0409);
    EXPECT_FALSE(rig.w().windowIcon().isNull());
}

} // namespace
