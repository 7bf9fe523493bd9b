#include "charts/CGraphRpmTemp.h"

#include "foundation/CTextTable.h"
#include "foundation/StringPrintf.h"

#include <algorithm>

namespace {

constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kRed = Rgb(255, 0, 0);
constexpr CanvasColor kGreen = Rgb(0, 255, 0);
constexpr CanvasColor kBlue = Rgb(0, 0, 255);
constexpr CanvasColor kGridDark = Rgb(180, 180, 180);  // every tenth bin, ticks, leaders
constexpr CanvasColor kGridLight = Rgb(220, 220, 220); // the other bins
constexpr CanvasColor kValueGrid = Rgb(240, 200, 200);

CanvasPen Solid(CanvasColor color, int32_t width = 1) {
    return {CanvasPen::kSolid, width, color};
}

void Text(ICanvas& canvas, int32_t x, int32_t y, CanvasColor color, const std::string& text) {
    canvas.SetTextColor(color);
    canvas.TextOut(x, y, text);
}

// One curve over the bins that have a value for it, joined across the bins
// that have none.
template <typename HasValue, typename YOf>
void Curve(ICanvas& canvas,
           const RpmTempLayout& layout,
           const CRpmTempBins& bins,
           CanvasColor color,
           HasValue hasValue,
           YOf yOf) {
    canvas.SelectPen(Solid(color, CGraphRpmTemp::kCurvePenWidth));
    bool first = true;
    for (int32_t j = 0; j < bins.BinCount(); ++j) {
        const RpmTempBin& bin = bins.Bins()[static_cast<size_t>(j)];
        if (!hasValue(bin)) {
            continue;
        }
        const int32_t x = layout.BinX(j, bins.BinCount());
        const int32_t y = yOf(bin);
        if (first) {
            canvas.MoveTo(x, y);
            first = false;
        } else {
            canvas.LineTo(x, y);
        }
    }
}

} // namespace

RpmTempLayout RpmTempLayout::For(CanvasSize size) {
    RpmTempLayout l;
    l.width = size.width;
    l.height = size.height;
    l.plotLeft = CGraphRpmTemp::kPlotLeft;
    l.plotTop = size.width / 12;
    l.plotRight = size.width * 15 / 16;
    l.plotBottom = size.height * 15 / 16;
    return l;
}

int32_t RpmTempLayout::BinX(int32_t j, int32_t count) const {
    return plotLeft + j * (plotRight - plotLeft) / (count - 1);
}

int32_t RpmTempLayout::EgtY(int32_t egt) const {
    // Below 300 °C a curve sits on the bottom; above 1200 °C it leaves the
    // plot at the top (no upper clamp).
    const int64_t above = egt >= CGraphRpmTemp::kEgtAxisLow ? egt - CGraphRpmTemp::kEgtAxisLow : 0;
    return static_cast<int32_t>(plotBottom -
                                above * (plotBottom - plotTop) / CGraphRpmTemp::kEgtAxisSpan);
}

int32_t RpmTempLayout::ThrustY(float thrust, float fullScale) const {
    // A thrust above the full scale is drawn at the plot top.
    const float shown = std::min(thrust, fullScale);
    return static_cast<int32_t>(static_cast<float>(plotBottom) -
                                static_cast<float>(plotBottom - plotTop) * shown / fullScale);
}

int32_t RpmTempLayout::PumpY(int32_t pumpMillivolts) const {
    const int64_t shown = std::min(pumpMillivolts, CGraphRpmTemp::kPumpAxisMv);
    return static_cast<int32_t>(plotBottom -
                                shown * (plotBottom - plotTop) / CGraphRpmTemp::kPumpAxisMv);
}

void CGraphRpmTemp::Draw(ICanvas& canvas, const CRpmTempBins& bins) {
    const CanvasSize size = canvas.Size();
    const RpmTempLayout l = RpmTempLayout::For(size);
    const int32_t w = size.width;
    const CanvasPen previousPen = canvas.SelectPen(Solid(kBlack));

    // Frame.
    canvas.Rectangle(0, 0, size.width, size.height);

    // Live readouts in a font W / 20 pixels high; the text colour stays blue,
    // which the RPM labels use.
    const RpmTempSample& last = bins.Last();
    CanvasFont readout;
    readout.height = w / 20;
    readout.cellHeight = false; // a character height
    const CanvasFont previousFont = canvas.SelectFont(readout);
    Text(canvas, w / 80, 2, kBlack, StringPrintf("R:%d", last.rpm));
    Text(canvas, (w / 40) * 13, 2, kRed, StringPrintf("T:%d", last.egt));
    Text(canvas,
         (w / 40) * 22,
         2,
         kGreen,
         StringPrintf("P:%d.%02d", last.pumpMillivolts / 1000, (last.pumpMillivolts / 10) % 100));
    Text(
        canvas, (w / 40) * 30, 2, kBlue, StringPrintf("T:%.02f", static_cast<double>(last.thrust)));
    canvas.SelectFont(previousFont);

    // RPM grid: a line per bin, darker with a tick and a label every tenth.
    const int32_t count = bins.BinCount();
    for (int32_t j = 0; count >= 2 && j < count; ++j) {
        const int32_t x = l.BinX(j, count);
        const bool tenth = j % 10 == 0;
        canvas.SelectPen(Solid(tenth ? kGridDark : kGridLight));
        canvas.MoveTo(x, l.plotTop);
        canvas.LineTo(x, l.plotBottom);
        if (tenth) {
            canvas.MoveTo(x, l.plotTop);
            canvas.LineTo(x + 5, l.plotTop - 4);
            canvas.LineTo(x + 50, l.plotTop - 4);
            canvas.TextOut(x, l.plotTop - 20, StringPrintf("%d", bins.BinRpm(j)));
        }
    }

    // Value grid: 18 steps of 50 °C, 12 / 18 V and full scale / 18 kg.
    const float fullScale = bins.ThrustFullScale();
    for (int32_t k = 0; k < kValueRows; ++k) {
        const int32_t y = l.plotBottom - (l.plotBottom - l.plotTop) * k / kValueRows;
        canvas.SelectPen(Solid(kValueGrid));
        canvas.MoveTo(l.plotLeft, y);
        canvas.LineTo(l.plotRight, y);
        canvas.SelectPen(Solid(kGridDark));
        canvas.MoveTo(l.plotLeft - 5, y);
        canvas.LineTo(l.plotLeft - 10, y + 8);
        canvas.LineTo(l.plotLeft - 170, y + 8);
        Text(canvas, l.plotLeft - 170, y - 8, kRed, StringPrintf("%4d℃", kEgtAxisLow + 50 * k));
        Text(canvas,
             l.plotLeft - 115,
             y - 8,
             kGreen,
             StringPrintf("/%.1fV ", static_cast<double>(k) * 12.0 / kValueRows));
        Text(canvas,
             l.plotLeft - 70,
             y - 8,
             kBlue,
             StringPrintf("/%.1fKg",
                          static_cast<double>(static_cast<float>(k) * fullScale / kValueRows)));
    }

    // Titles.
    const CanvasColor titleColors[3] = {kRed, kGreen, kBlue};
    const int32_t titleX[3] = {15, 60, 110};
    for (int32_t i = 0; i < 3; ++i) {
        Text(canvas,
             titleX[i],
             l.plotTop - 20,
             titleColors[i],
             CTextTable::Process().GetText(kTitleTexts[i]));
    }

    // Curves: EGT, thrust, pump voltage.
    if (bins.HasBins()) {
        Curve(
            canvas,
            l,
            bins,
            kRed,
            [](const RpmTempBin& b) { return b.egt != 0; },
            [&l](const RpmTempBin& b) { return l.EgtY(b.egt); });
        Curve(
            canvas,
            l,
            bins,
            kBlue,
            [](const RpmTempBin& b) { return b.thrust > 0.01f; },
            [&l, fullScale](const RpmTempBin& b) { return l.ThrustY(b.thrust, fullScale); });
        Curve(
            canvas,
            l,
            bins,
            kGreen,
            [](const RpmTempBin& b) { return b.pumpMillivolts != 0; },
            [&l](const RpmTempBin& b) { return l.PumpY(b.pumpMillivolts); });
    }
    canvas.SelectPen(previousPen);
}
