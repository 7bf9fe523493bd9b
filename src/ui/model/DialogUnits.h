#pragma once

#include <cstdint>

// Dialog units, the measure window layouts are given in: one horizontal unit
// is a quarter of the font's average character width, one vertical unit an
// eighth of its height, so a layout keeps its proportions with any font.
//
// Lengths given in pixels at the reference font (6 x 13 base units, the
// font the layout was drawn with) are scaled the same way.
//
// Thread safety: a plain value.
class DialogUnits {
public:
    static constexpr int32_t kReferenceBaseX = 6;
    static constexpr int32_t kReferenceBaseY = 13;

    DialogUnits() = default;
    // Base units in pixels (average character width, character height);
    // values below 1 count as 1.
    DialogUnits(int32_t baseX, int32_t baseY);

    // The base width from the pixel width of the 52 letters A..Z a..z, as
    // the width of one average character rounded to the nearest pixel.
    [[nodiscard]] static int32_t BaseXFromAlphabetWidth(int32_t width52);

    [[nodiscard]] int32_t BaseX() const { return m_baseX; }
    [[nodiscard]] int32_t BaseY() const { return m_baseY; }

    // Dialog units to pixels, rounded to the nearest pixel (negative values
    // round symmetrically).
    [[nodiscard]] int32_t X(int32_t dlu) const;
    [[nodiscard]] int32_t Y(int32_t dlu) const;

    // Pixels at the reference font to pixels at this font.
    [[nodiscard]] int32_t ReferenceX(int32_t pixels) const;
    [[nodiscard]] int32_t ReferenceY(int32_t pixels) const;

private:
    int32_t m_baseX = kReferenceBaseX;
    int32_t m_baseY = kReferenceBaseY;
};
