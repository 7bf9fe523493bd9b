// The live monitor's pixels on the QImage canvas: gauge segments, a strip
// chart curve, frames and grid, the right-aligned current, and the host
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

TEST(CGraphDrawPixels, GaugesFramesGridAndANegativeEgtFortyUp) {
    PixelChart chart;
    chart.Draw(); // empty: nothing lit
    const CGraphDraw::Layout& l = chart.graph.GetLayout();
    for (int k = 0; k < 21; ++k) {
        EXPECT_EQ(chart.Segment(l.EgtGauge(), k), kUnlit) << k;
        EXPECT_EQ(chart.Segment(l.RpmGauge(), k), kUnlit) << k;
    }
    // EGT 400 of 800: segments 0-10 from white to RGB(255,192,192).
    chart.Add(0, 400);
    chart.Draw();
    EXPECT_EQ(chart.Segment(l.EgtGauge(), 0), kWhite);
    EXPECT_EQ(chart.Segment(l.EgtGauge(), 5), Rgb(255, 224, 224));
    EXPECT_EQ(chart.Segment(l.EgtGauge(), 10), Rgb(255, 192, 192));
    EXPECT_EQ(chart.Segment(l.EgtGauge(), 11), kUnlit);

    // -5 lights nothing, and its curve runs at EGT + 40 = 35 of 1040.
    chart.Add(0, -5);
    chart.Add(0, -5);
    const ICanvas& c = chart.Draw();
    EXPECT_EQ(chart.Segment(l.EgtGauge(), 0), kUnlit);
    const CanvasRect r = l.Chart(CGraphDraw::kSeriesEgt);
    const int32_t y = r.bottom - 35 * (r.bottom - r.top) / 1040;
    EXPECT_TRUE(c.PixelAt(r.left + 3, y) == kEgtColor || c.PixelAt(r.left + 3, y - 1) == kEgtColor);
    EXPECT_EQ(CountInRect(c, {r.left + 5, y + 3, r.right, r.bottom}, kEgtColor), 0);
    // Outer frame, each chart's frame one pixel outside, grid 20 px up.
    EXPECT_EQ(c.PixelAt(899, 499), kBlack);
    EXPECT_EQ(c.PixelAt(r.left - 1, r.bottom - 5), kBlack);
    EXPECT_EQ(c.PixelAt(r.right, r.bottom - 5), kBlack);
    EXPECT_EQ(c.PixelAt(r.right - 50, r.bottom - 20), kUnlit);
    EXPECT_EQ(c.PixelAt(r.right - 50, r.bottom - 21), kWhite);
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
