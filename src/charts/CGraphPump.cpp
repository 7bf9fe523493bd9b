#include "charts/CGraphPump.h"

#include "foundation/StringPrintf.h"

namespace {

constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kRowGrid = Rgb(240, 200, 200);
constexpr CanvasColor kColumnGrid = Rgb(220, 220, 220);

CanvasPen Solid(CanvasColor color, int32_t width = 1) {
    return {CanvasPen::kSolid, width, color};
}

// A curve from the newest sample at the right edge leftwards, 4 pixels a
// sample, as far as the plot or the store reaches.
template <typename YOf>
void Curve(ICanvas& canvas, const PumpLayout& l, const CPumpSamples& samples, YOf yOf) {
    const int32_t count = samples.Count();
    int32_t x = l.plotRight;
    canvas.MoveTo(x, yOf(samples.At(count - 1)));
    for (int32_t i = 1; i < count && i < l.VisibleSamples(); ++i) {
        x -= CGraphPump::kSamplePixels;
        canvas.LineTo(x, yOf(samples.At(count - 1 - i)));
    }
}

} // namespace

PumpLayout PumpLayout::For(CanvasSize size) {
    PumpLayout l;
    l.width = size.width;
    l.height = size.height;
    l.plotLeft = CGraphPump::kPlotLeft;
    l.plotTop = size.height / 16;
    l.plotRight = (size.width * 15 / 16) & ~15;
    l.plotBottom = size.height * 15 / 16;
    return l;
}

int32_t PumpLayout::RpmY(int32_t rpm, int32_t rpmMaximum) const {
    return static_cast<int32_t>(plotBottom -
                                static_cast<int64_t>(rpm) * (plotBottom - plotTop) / rpmMaximum);
}

int32_t PumpLayout::VoltageY(int32_t centivolts, int32_t voltageMaximum) const {
    return static_cast<int32_t>(plotBottom - static_cast<int64_t>(plotBottom - plotTop) *
                                                 centivolts / voltageMaximum);
}

void CGraphPump::Draw(ICanvas& canvas, const CPumpSamples& samples) {
    const CanvasSize size = canvas.Size();
    const PumpLayout l = PumpLayout::For(size);
    const CanvasPen previousPen = canvas.SelectPen(Solid(kBlack));
    canvas.Rectangle(0, 0, size.width, size.height);

    // Horizontal grid, at least 20 pixels apart, with the RPM and voltage
    // label columns on its left.
    const int32_t span = l.plotBottom - l.plotTop;
    const int32_t rows = span / kRowPixels;
    const auto rowY = [&](int32_t c) { return l.plotBottom - span * c / rows; };
    canvas.SelectPen(Solid(kRowGrid));
    for (int32_t c = 0; c < rows; ++c) {
        canvas.MoveTo(l.plotLeft, rowY(c));
        canvas.LineTo(l.plotRight, rowY(c));
    }
    canvas.SelectPen(Solid(kRpmColor));
    for (int32_t c = 0; c < rows; ++c) {
        const int32_t y = rowY(c);
        canvas.MoveTo(l.plotLeft - 5, y);
        canvas.LineTo(l.plotLeft - 10, y + 8);
        canvas.LineTo(l.plotLeft - 70, y + 8);
        const int64_t rpm = static_cast<int64_t>(samples.RpmMaximum()) * c / rows;
        canvas.TextOut(l.plotLeft - 70, y - 8, StringPrintf("%lld", static_cast<long long>(rpm)));
    }
    canvas.SelectPen(Solid(kVoltageColor));
    for (int32_t c = 0; c < rows; ++c) {
        const int32_t y = rowY(c);
        canvas.MoveTo(l.plotLeft - 75, y + 8);
        canvas.LineTo(l.plotLeft - 135, y + 8);
        const int64_t v = static_cast<int64_t>(samples.VoltageMaximum()) * c / rows;
        canvas.TextOut(l.plotLeft - 130,
                       y - 8,
                       StringPrintf("%lld.%02lld",
                                    static_cast<long long>(v / 100),
                                    static_cast<long long>(v % 100)));
    }

    // Vertical grid about every 16 pixels (none on a surface too narrow for
    // a plot).
    const int32_t width = l.plotRight - l.plotLeft;
    const int32_t columns = width / kColumnPixels;
    canvas.SelectPen(Solid(kColumnGrid));
    for (int32_t c = 0; columns > 0 && c <= columns; ++c) {
        const int32_t x = l.plotLeft + width * c / columns;
        canvas.MoveTo(x, l.plotTop);
        canvas.LineTo(x, l.plotBottom);
    }

    // Axis titles in the curves' colours; the labels keep the surface's own
    // text colour.
    const CanvasColor previousText = canvas.SetTextColor(kRpmColor);
    canvas.TextOut(l.plotLeft - 70, l.plotTop - 7, "RPM");
    canvas.SetTextColor(kVoltageColor);
    canvas.TextOut(l.plotLeft - 130, l.plotTop - 7, "VOL");
    canvas.SetTextColor(previousText);

    // One sample is no curve yet.
    if (samples.Count() > 1) {
        const int32_t vMax = samples.VoltageMaximum();
        const int32_t rMax = samples.RpmMaximum();
        canvas.SelectPen(Solid(kVoltageColor, kCurvePenWidth));
        Curve(canvas, l, samples, [&](const PumpSample& s) {
            return l.VoltageY(s.centivolts, vMax);
        });
        const PumpSample& newest = samples.At(samples.Count() - 1);
        canvas.TextOut(l.plotRight, l.RpmY(newest.rpm, rMax), StringPrintf("%d", newest.rpm));
        canvas.SelectPen(Solid(kRpmColor, kCurvePenWidth));
        Curve(canvas, l, samples, [&](const PumpSample& s) { return l.RpmY(s.rpm, rMax); });
    }
    canvas.SelectPen(previousPen);
}
