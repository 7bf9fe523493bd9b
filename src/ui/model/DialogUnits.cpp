#include "ui/model/DialogUnits.h"

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    const int64_t p = static_cast<int64_t>(a) * b;
    const int64_t half = c / 2;
    return static_cast<int32_t>(p >= 0 ? (p + half) / c : -((-p + half) / c));
}

} // namespace

DialogUnits::DialogUnits(int32_t baseX, int32_t baseY)
    : m_baseX(baseX < 1 ? 1 : baseX)
    , m_baseY(baseY < 1 ? 1 : baseY) {}

int32_t DialogUnits::BaseXFromAlphabetWidth(int32_t width52) {
    return (width52 / 26 + 1) / 2;
}

int32_t DialogUnits::X(int32_t dlu) const {
    return MulDiv(dlu, m_baseX, 4);
}
int32_t DialogUnits::Y(int32_t dlu) const {
    return MulDiv(dlu, m_baseY, 8);
}
int32_t DialogUnits::ReferenceX(int32_t pixels) const {
    return MulDiv(pixels, m_baseX, kReferenceBaseX);
}
int32_t DialogUnits::ReferenceY(int32_t pixels) const {
    return MulDiv(pixels, m_baseY, kReferenceBaseY);
}
