// The live monitor's pixels on the QImage canvas: gauge segments, a strip
// chart point, frames and grid, the right-aligned current, and the host
// control showing the finished surface.

#include "charts/CGraphDraw.h"
#include "charts/RecordingCanvas.h"
#include "charts/qt/CCanvasQt.h"
#include "charts/qt/CCanvasWidget.h"
#include "foundation/CTextTable.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

constexpr CanvasColor kWhite = Rgb(255, 255, 255);
constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kUnlit = Rgb(240, 240, 240);
constexpr CanvasColor kEgtColor = Rgb(53, 73, 146);
constexpr CanvasColor kRpmColor = Rgb(82, 178, 70);

using ImageHost = SurfaceHost<CCanvasQt>;

struct PixelChart {
    PixelChart() {
        texts.SetLanguage(CTextTable::kEnglish);
        graph.Attach(&host);
    }
    const ICanvas& Draw() {
        now += 100;
        graph.Invalidate();
        graph.Refresh(false);
        return *graph.Surface();
    }
    void Add(uint32_t rpm, int16_t egt) {
        CLiveSample s;
        s.rpm = rpm;
        s.egt = egt;
        now += 100;
        graph.AddSample(s);
    }
    // The middle of segment k's left part (clear of its label).
    CanvasColor Segment(const CanvasRect& r, int k) {
        const double s = (r.bottom - r.top) / 21.0;
        const auto bottom = static_cast<int32_t>(r.bottom - s * k);
        const auto top = static_cast<int32_t>(r.bottom - s * (k + 1));
        return graph.Surface()->PixelAt(r.left + 4, (top + bottom) / 2);
    }

    CTextTable texts;
    uint32_t now = 1000;
    ImageHost host{{900, 500}};
    CGraphDraw graph{texts, [this] { return now; }};
};

int CountInRect(const ICanvas& c, const CanvasRect& r, CanvasColor colour) {
    int n = 0;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        for (int32_t x = r.left; x < r.right; ++x) {
            n += c.PixelAt(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

TEST(CGraphDrawPixels, EmptyRingGaugesUnlitChartsWithoutCurves) {
    PixelChart chart;
    const ICanvas& c = chart.Draw();
    const CGraphDraw::Layout& l = chart.graph.GetLayout();
    for (int k = 0; k < 21; ++k) {
        EXPECT_EQ(chart.Segment(l.EgtGauge(), k), kUnlit) << k;
        EXPECT_EQ(chart.Segment(l.RpmGauge(), k), kUnlit) << k;
    }
    // Outer frame, each chart's frame one pixel outside, grid 20 px up.
    EXPECT_EQ(c.PixelAt(0, 0), kBlack);
    EXPECT_EQ(c.PixelAt(899, 499), kBlack);
    const CanvasRect rpm = l.Chart(CGraphDraw::kSeriesRpm);
    EXPECT_EQ(c.PixelAt(rpm.left - 1, rpm.bottom - 5), kBlack);
    EXPECT_EQ(c.PixelAt(rpm.right, rpm.bottom - 5), kBlack);
    EXPECT_EQ(c.PixelAt(rpm.left + 50, rpm.bottom - 20), kUnlit);
    EXPECT_EQ(c.PixelAt(rpm.left + 50, rpm.bottom - 21), kWhite);
    // The title "Rpm:0" is the only green: it sits in the top-left corner.
    const CanvasRect belowTitle{rpm.left, rpm.top + 10 + l.lineHeight, rpm.right, rpm.bottom};
    EXPECT_GT(CountInRect(c, {rpm.left, rpm.top, rpm.right, rpm.bottom}, kRpmColor), 0);
    EXPECT_EQ(CountInRect(c, belowTitle, kRpmColor), 0);
}

TEST(CGraphDrawPixels, Egt400Of800LightsSegmentsUpToTen) {
    PixelChart chart;
    chart.Add(0, 400);
    chart.Draw();
    const CanvasRect egt = chart.graph.GetLayout().EgtGauge();
    EXPECT_EQ(chart.Segment(egt, 0), kWhite); // lit: white at the bottom
    EXPECT_EQ(chart.Segment(egt, 5), Rgb(255, 224, 224));
    EXPECT_EQ(chart.Segment(egt, 10), Rgb(255, 192, 192));
    EXPECT_EQ(chart.Segment(egt, 11), kUnlit);
    EXPECT_EQ(chart.Segment(egt, 20), kUnlit);
    chart.Add(200000, 400); // above the RPM bar's 180000: all lit
    chart.Draw();
    EXPECT_EQ(chart.Segment(chart.graph.GetLayout().RpmGauge(), 20), Rgb(255, 128, 128));
}

TEST(CGraphDrawPixels, NegativeEgtIsPlottedFortyUp) {
    PixelChart chart;
    chart.Add(0, -5);
    chart.Add(0, -5);
    const ICanvas& c = chart.Draw();
    const CanvasRect r = chart.graph.GetLayout().Chart(CGraphDraw::kSeriesEgt);
    const int32_t y = r.bottom - 35 * (r.bottom - r.top) / 1040;
    // A 2-pixel line from the first sample to the second, at EGT + 40 = 35.
    bool found = false;
    for (int32_t dy = -1; dy <= 1; ++dy) {
        found = found || c.PixelAt(r.left + 1, y + dy) == kEgtColor;
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(CountInRect(c, {r.left, y + 3, r.right, r.bottom}, kEgtColor), 0);
    EXPECT_EQ(CountInRect(c, {r.left + 6, r.top + 60, r.right, y - 3}, kEgtColor), 0);
    // The gauge stays unlit: -5 is below the threshold 0.
    EXPECT_EQ(chart.Segment(chart.graph.GetLayout().EgtGauge(), 0), kUnlit);
}

// The current reading drawn by the chart, against the expected text drawn by
// hand at the place the right alignment gives.
TEST(CGraphDrawPixels, CurrentTextWithAndWithoutTheBlankRightAligned) {
    const struct {
        float amperes;
        const char* text;
    } cases[] = {{9.94f, "Current: 9.9A"}, {10.0f, "Current:10.0A"}};
    for (const auto& a : cases) {
        PixelChart chart;
        chart.graph.SetStateLine("Ready", kBlack, a.amperes);
        const ICanvas& c = chart.Draw();
        CCanvasQt expected(900, 500);
        expected.SelectFont(chart.graph.GetLayout().font);
        const CanvasSize probe = expected.TextExtent("Current:9.6A");
        const int32_t x = 900 - probe.height / 2 - probe.width;
        expected.TextOut(x, 5, a.text);
        const CanvasSize extent = expected.TextExtent(a.text);
        int differences = 0;
        int ink = 0;
        for (int32_t y = 5; y < 5 + extent.height; ++y) {
            for (int32_t px = x - 5; px < std::min(899, x + extent.width + 5); ++px) {
                differences += c.PixelAt(px, y) != expected.PixelAt(px, y) ? 1 : 0;
                ink += expected.PixelAt(px, y) == kBlack ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 100) << a.text;
        EXPECT_EQ(differences, 0) << a.text;
    }
}

TEST(CGraphDrawPixels, TheHostControlShowsTheWholeSurface) {
    CTextTable texts;
    uint32_t now = 1000;
    CCanvasWidget widget;
    widget.resize(640, 360);
    widget.show();
    CGraphDraw graph(texts, [&] { return now; });
    graph.Attach(&widget);
    EXPECT_EQ(graph.Surface()->Size(), (CanvasSize{640, 360}));
    CLiveSample s;
    s.egt = 700;
    graph.AddSample(s);
    const QImage& shown = widget.Shown();
    ASSERT_EQ(shown.size(), QSize(640, 360));
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{20, 300}, std::pair{400, 200}}) {
        const CanvasColor c = graph.Surface()->PixelAt(x, y);
        EXPECT_EQ(shown.pixel(x, y), qRgb(RedOf(c), GreenOf(c), BlueOf(c))) << x << "," << y;
    }
}

} // namespace
