// The live monitor's arithmetic on a recording canvas: layout, gauges, strip
// chart points, scales, the ring, hold mode, the draw limit and the texts.

#include "charts/CGraphDraw.h"
#include "RecordingCanvas.h"
#include "foundation/CTextTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <limits>
#include <thread>

namespace {

constexpr CanvasColor kRpmColor = Rgb(82, 178, 70);
constexpr CanvasColor kEgtColor = Rgb(53, 73, 146);
constexpr CanvasColor kThrustColor = Rgb(233, 126, 54);
constexpr CanvasColor kUnlit = Rgb(240, 240, 240);
constexpr CanvasColor kRed = Rgb(255, 0, 0);

CLiveSample Sample(uint32_t rpm, int16_t egt = 0, uint16_t pump = 0, float thrust = 0) {
    CLiveSample s;
    s.rpm = rpm;
    s.egt = egt;
    s.pump_voltage = pump;
    s.thrust = thrust;
    return s;
}

// A chart on a 900 x 500 recording host, English texts, a clock the test moves.
// The layout there: gauges at x 10..100 and 110..200 from y 120 to 480;
// charts 330 x 175 at (210,120), (550,120), (210,305), (550,305).
struct Chart {
    Chart() {
        texts.SetLanguage(CTextTable::kEnglish);
        graph.Attach(&host);
    }
    RecordingCanvas& Canvas() { return *host.surface; }
    // A full draw now (the clock moves past the limit first).
    RecordingCanvas& Draw() {
        now += CGraphDraw::kDrawIntervalMs + 1;
        Canvas().Clear();
        graph.Invalidate();
        graph.Refresh(false);
        return Canvas();
    }
    void Add(const CLiveSample& s) {
        now += CGraphDraw::kDrawIntervalMs + 1;
        graph.AddSample(s);
    }
    // The fills of the gauge whose left edge is left, bottom segment first.
    std::vector<RecordingCanvas::Fill> GaugeFills(int32_t left) {
        std::vector<RecordingCanvas::Fill> out;
        for (const auto& f : Canvas().fills) {
            if (f.rect.left == left) {
                out.push_back(f);
            }
        }
        return out;
    }
    int LitSegments(int32_t left) {
        const auto fills = GaugeFills(left);
        return static_cast<int>(std::count_if(
            fills.begin(), fills.end(), [](const auto& f) { return f.color != kUnlit; }));
    }

    CTextTable texts;
    uint32_t now = 100000;
    RecordingHost host{{900, 500}};
    CGraphDraw graph{texts, [this] { return now; }};
};

TEST(CLiveSample, LayoutOfTheSample) {
    EXPECT_EQ(sizeof(CLiveSample), 32u);
    EXPECT_EQ(offsetof(CLiveSample, rpm), 4u);
    EXPECT_EQ(offsetof(CLiveSample, egt), 8u);
    EXPECT_EQ(offsetof(CLiveSample, pump_voltage), 10u);
    EXPECT_EQ(offsetof(CLiveSample, thrust), 28u);
}

TEST(CGraphDraw, LayoutFollowsTheHostSize) {
    const struct {
        CanvasSize size;
        int32_t bar, gauge, tenths, line, chartWidth, chartHeight;
    } cases[] = {
        // The status font of (W - B - 20) / 2 tenths fits H / 8: kept.
        {{900, 500}, 210, 90, 335, 60, 330, 175},
        // Too tall for H / 8 (50 > 37): made again at 335 x 37 / 50 tenths.
        {{900, 300}, 210, 90, 247, 43, 330, 92},
        {{1920, 1080}, 320, 145, 790, 144, 785, 381},
        {{600, 400}, 210, 90, 185, 32, 180, 153}, // the bar width is at least 210
    };
    for (const auto& c : cases) {
        RecordingCanvas canvas(c.size.width, c.size.height);
        const CGraphDraw::Layout l = CGraphDraw::ComputeLayout(c.size, canvas);
        SCOPED_TRACE(testing::Message() << c.size.width << "x" << c.size.height);
        EXPECT_EQ(l.barWidth, c.bar);
        EXPECT_EQ(l.gaugeWidth, c.gauge);
        EXPECT_EQ(l.fontTenths, c.tenths);
        EXPECT_EQ(l.lineHeight, c.line);
        EXPECT_EQ(l.chartsTop, 2 * c.line);
        EXPECT_EQ(l.chartWidth, c.chartWidth);
        EXPECT_EQ(l.chartHeight, c.chartHeight);
        EXPECT_EQ(canvas.Font(), CanvasFont{}); // the canvas's font is given back
    }
    RecordingCanvas canvas(900, 500);
    const CGraphDraw::Layout l = CGraphDraw::ComputeLayout({900, 500}, canvas);
    EXPECT_EQ(l.RpmGauge(), (CanvasRect{110, 120, 200, 480}));
    EXPECT_EQ(l.Chart(CGraphDraw::kSeriesThrust), (CanvasRect{550, 305, 880, 480}));
}

TEST(CGraphDraw, EmptyRingShowsUnlitGaugesFramesAndZeroTitles) {
    Chart chart;
    RecordingCanvas& c = chart.Draw();
    EXPECT_EQ(c.rectangles.front(), (CanvasRect{0, 0, 900, 500}));
    EXPECT_EQ(chart.GaugeFills(10).size(), 21u);
    EXPECT_EQ(chart.LitSegments(10), 0);
    EXPECT_EQ(chart.LitSegments(110), 0);
    const char* titles[] = {"Rpm:0", "EGT:0", "Pump:0", "Thrust:0"};
    for (int32_t n = 0; n < CGraphDraw::kSeriesCount; ++n) {
        const RecordingCanvas::Text* text = c.FindText(titles[n]);
        ASSERT_NE(text, nullptr) << titles[n];
        const CanvasRect r = chart.graph.GetLayout().Chart(n);
        EXPECT_EQ(text->x, r.left + 5);
        EXPECT_EQ(text->y, r.top + 10);
        EXPECT_EQ(text->font, CanvasFont::FromPointSize(r.right - r.left, 96));
    }
    EXPECT_EQ(c.FindText("Rpm:0")->color, kRpmColor);
    EXPECT_TRUE(c.Path(kRpmColor, 2).empty()); // no curve
    // A frame one pixel outside each chart, and grid lines 20, 35, 50... up.
    EXPECT_NE(std::find(c.rectangles.begin(), c.rectangles.end(), CanvasRect{209, 119, 541, 296}),
              c.rectangles.end());
    const auto grid = c.Path(kUnlit, 1);
    ASSERT_EQ(grid.size(), 4u * 2 * 11); // 20..170 in a 175-pixel chart
    EXPECT_EQ(grid[0], std::make_pair(211, 295 - 20));
    EXPECT_EQ(grid[21], std::make_pair(539, 295 - 170));
}

TEST(CGraphDraw, GaugesLightEverySegmentUpToTheirValue) {
    const struct {
        int16_t egt;
        int32_t scale;
        int lit;
    } cases[] = {
        {400, 800, 11}, // thresholds 0, 40, ..., 400: segments 0-10
        {399, 800, 10},
        {0, 800, 1},
        {-5, 800, 0}, // below the threshold 0
        {800, 800, 21},
        {1500, 800, 21},
        {400, 1000, 9},
    };
    for (const auto& c : cases) {
        Chart chart;
        chart.graph.SetEgtBarScale(c.scale);
        chart.Add(Sample(0, c.egt));
        chart.Draw();
        EXPECT_EQ(chart.LitSegments(10), c.lit) << c.egt << " of " << c.scale;
    }
    Chart chart;
    chart.Add(Sample(90000, 400));
    RecordingCanvas& canvas = chart.Draw();
    EXPECT_EQ(chart.LitSegments(110), 11); // RPM 90000 of 180000: thresholds of 9000
    // Segments of 17 1/7 pixels truncated to whole rows.
    EXPECT_EQ(chart.GaugeFills(10)[10].rect, (CanvasRect{10, 291, 100, 308}));
    // Labels: the thresholds, transparent, right-aligned 20 pixels inside.
    const RecordingCanvas::Text* top = canvas.FindText("800℃");
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(top->transparent);
    EXPECT_EQ(top->font, CanvasFont::FromPointSize(81, 96)); // 90 x 9 / 10 tenths
    EXPECT_EQ(top->x, 100 - 4 * RecordingCanvas::CellHeight(top->font) / 2 - 20);
    EXPECT_NE(canvas.FindText("171000"), nullptr); // RPM gauge, k = 19
}

TEST(CGraphDraw, StripChartsClampBothWaysAndPlotEgtFortyUp) {
    Chart chart;
    chart.Add(Sample(0, -5, 0, 4.75f));
    chart.Add(Sample(0, 1200, 0, 60.0f)); // above the EGT and thrust scales
    chart.Add(Sample(0, -100, 0, -3.0f)); // below zero
    chart.Add(Sample(0, 0, 0, std::numeric_limits<float>::quiet_NaN()));
    RecordingCanvas& c = chart.Draw();
    const std::vector<std::pair<int32_t, int32_t>> egt = {
        {550, 295 - 35 * 175 / 1040}, // -5 + 40 over 1000 + 40
        {552, 120},
        {554, 295},
        {556, 295 - 40 * 175 / 1040},
    };
    EXPECT_EQ(c.Path(kEgtColor, 2), egt);
    const std::vector<std::pair<int32_t, int32_t>> thrust = {
        {550, 480 - 400 * 175 / 5000}, // 4.75 kg: whole kilograms x 100
        {552, 305},
        {554, 480},
        {556, 480}, // no number: zero
    };
    EXPECT_EQ(c.Path(kThrustColor, 2), thrust);
    EXPECT_NE(c.FindText("EGT:0℃"), nullptr);
}

TEST(CGraphDraw, SamplesRaiseTheRpmAndPumpScalesOnly) {
    Chart chart;
    chart.Add(Sample(150000, 2000, 3500, 80.0f));
    CGraphDraw::Scales expected;
    expected.rpm = 180000;
    expected.pumpVoltage = 4200;
    EXPECT_EQ(chart.graph.GetScales(), expected); // EGT and thrust as they were
    chart.Add(Sample(120000, 0, 100));
    chart.Add(Sample(180000)); // equal: not above
    EXPECT_EQ(chart.graph.GetScales(), expected);
    chart.Add(Sample(4000000000u)); // garbage: the scale goes as far as it can, not around
    EXPECT_EQ(chart.graph.GetScales().rpm, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(chart.Draw().Path(kRpmColor, 2).back(), std::make_pair(210 + 6, 120));
}

TEST(CGraphDraw, ScaleSettersClampAndRedrawOnlyOnAChange) {
    Chart chart;
    chart.Draw();
    const struct {
        int which; // 0 EGT bar, 1 RPM bar, 2 pump voltage
        int32_t value;
        int32_t stored;
    } cases[] = {
        {0, 150, 200},
        {0, 1200, 1000},
        {1, 10000, 20000},
        {1, 300000, 250000},
        {2, 50, 100},
        {2, 20000, 16300},
        {2, 4200, 4200},
    };
    for (const auto& c : cases) {
        const auto set = [&](int32_t v) {
            chart.now += CGraphDraw::kDrawIntervalMs + 1;
            (c.which == 0   ? chart.graph.SetEgtBarScale(v)
             : c.which == 1 ? chart.graph.SetRpmBarScale(v)
                            : chart.graph.SetPumpVoltageScale(v));
        };
        const uint32_t draws = chart.graph.DrawCount();
        set(c.value);
        const CGraphDraw::Scales s = chart.graph.GetScales();
        const int32_t bar = c.which == 0   ? chart.graph.EgtBarScale()
                            : c.which == 1 ? chart.graph.RpmBarScale()
                                           : c.stored;
        EXPECT_EQ(bar, c.stored) << c.value;
        EXPECT_EQ(c.which == 0 ? s.egt : c.which == 1 ? s.rpm : s.pumpVoltage, c.stored);
        const int copies = chart.host.copies;
        set(c.value); // the same again: nothing to draw or copy
        EXPECT_EQ(chart.graph.DrawCount(), draws + 1) << c.value;
        EXPECT_EQ(chart.host.copies, copies);
    }
    // The bar's own value still gives the chart its scale (the charts start
    // at 1000 and 100000, the bars at 800 and 180000).
    Chart fresh;
    fresh.graph.SetEgtBarScale(800);
    fresh.graph.SetRpmBarScale(180000);
    EXPECT_EQ(fresh.graph.GetScales().egt, 800);
    EXPECT_EQ(fresh.graph.GetScales().rpm, 180000);
}

TEST(CGraphDraw, RingKeepsTheLast5000SamplesAndHoldFreezesTheView) {
    Chart chart;
    for (uint32_t i = 1; i <= CGraphDraw::kCapacity + 1; ++i) {
        chart.graph.AddSample(Sample(i));
    }
    EXPECT_EQ(chart.graph.Count(), CGraphDraw::kCapacity);
    EXPECT_EQ(chart.graph.GetSample(0).rpm, 2u); // the first one pushed out
    EXPECT_EQ(chart.graph.GetSample(CGraphDraw::kCapacity - 1).rpm, 5001u);
    EXPECT_EQ(chart.graph.ViewStart(), CGraphDraw::kCapacity - 165); // the newest 165
    const auto path = chart.Draw().Path(kRpmColor, 2);
    ASSERT_EQ(path.size(), 165u);
    EXPECT_EQ(path.back().first, 210 + 164 * 2);

    chart.graph.SetHold(true);
    const int copies = chart.host.copies;
    chart.Add(Sample(7));
    EXPECT_EQ(chart.graph.Count(), CGraphDraw::kCapacity);
    EXPECT_EQ(chart.graph.GetSample(CGraphDraw::kCapacity - 1).rpm, 5001u); // dropped
    EXPECT_EQ(chart.host.copies, copies); // and nothing redrawn for it
    chart.graph.SetHold(true);            // again: the view stays where it was frozen
    EXPECT_EQ(chart.graph.ViewStart(), CGraphDraw::kCapacity - 165);
    chart.graph.SetHold(false);
    chart.Add(Sample(8));
    EXPECT_EQ(chart.graph.GetSample(CGraphDraw::kCapacity - 1).rpm, 8u);
    EXPECT_NE(chart.Canvas().FindText("Rpm:8"), nullptr); // follows the newest again

    // Fewer samples than fit, and a frozen view of a window grown since:
    // the view starts at the oldest.
    Chart few;
    for (uint32_t i = 0; i < 200; ++i) {
        few.graph.AddSample(Sample(i));
    }
    few.graph.SetHold(true);
    EXPECT_EQ(few.graph.ViewStart(), 200 - 165);
    few.host.size = {1920, 1080};
    few.graph.Relayout();
    EXPECT_EQ(few.graph.ViewStart(), 0);
}

TEST(CGraphDraw, FullDrawsAtMostEvery50MsAndNoneLost) {
    Chart chart;
    chart.graph.Refresh(false); // attached: the first refresh draws
    EXPECT_EQ(chart.graph.DrawCount(), 1u);
    chart.now += 10;
    chart.graph.AddSample(Sample(1000));
    EXPECT_EQ(chart.graph.DrawCount(), 1u); // too soon: copied only
    EXPECT_EQ(chart.host.copies, 2);
    EXPECT_TRUE(chart.graph.IsDirty());
    EXPECT_EQ(chart.graph.MsUntilDrawAllowed(), 41u);
    chart.now += 40; // 50 ms: not more than 50
    chart.graph.Refresh(false);
    EXPECT_EQ(chart.graph.DrawCount(), 1u);
    chart.now += 1;
    EXPECT_EQ(chart.graph.MsUntilDrawAllowed(), 0u);
    chart.graph.Refresh(false); // the waiting sample is drawn now
    EXPECT_EQ(chart.graph.DrawCount(), 2u);
    EXPECT_FALSE(chart.graph.IsDirty());
    EXPECT_NE(chart.Canvas().FindText("Rpm:1000"), nullptr);
    chart.now += 100;
    chart.graph.Refresh(false); // a paint with nothing new: a copy
    EXPECT_EQ(chart.graph.DrawCount(), 2u);
    EXPECT_EQ(chart.host.copies, 5);

    // A hidden host gets neither draws nor copies; shown, it is drawn.
    chart.host.visible = false;
    chart.Add(Sample(2000));
    EXPECT_EQ(chart.host.copies, 5);
    chart.host.visible = true;
    chart.now += 100;
    chart.graph.Refresh(false);
    EXPECT_EQ(chart.graph.DrawCount(), 3u);
    EXPECT_NE(chart.Canvas().FindText("Rpm:2000"), nullptr);

    chart.now = 0xFFFFFFF0u; // the tick count wraps
    chart.graph.Refresh(true);
    chart.now = 0x30;
    chart.graph.Refresh(true);
    EXPECT_EQ(chart.graph.DrawCount(), 5u);
}

TEST(CGraphDraw, StatusLinesWithRightAlignedCurrentAndAlternator) {
    Chart chart;
    chart.graph.SetStateLine("Running", kRed, 9.94f);
    chart.graph.SetFaultLine("Error: EGT High", kRed);
    RecordingCanvas& c = chart.Draw();
    const int32_t cell = RecordingCanvas::CellHeight(chart.graph.GetLayout().font);
    const RecordingCanvas::Text* state = c.FindText("State: Running");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(std::make_pair(state->x, state->y), std::make_pair(5, 5));
    EXPECT_EQ(state->color, kRed);
    ASSERT_NE(c.FindText("Error: EGT High"), nullptr);
    EXPECT_EQ(c.FindText("Error: EGT High")->y, chart.graph.GetLayout().lineHeight);
    // Every reading starts where "Current:9.6A" has to start to end half a
    // cell before the right edge.
    const struct {
        float amperes;
        const char* text;
    } currents[] = {{9.94f, "Current: 9.9A"}, {10.0f, "Current:10.0A"}, {123.4f, "Current:123.4A"}};
    for (const auto& a : currents) {
        chart.graph.SetStateLine("Running", kRed, a.amperes);
        const RecordingCanvas::Text* t = chart.Draw().FindText(a.text);
        ASSERT_NE(t, nullptr) << a.text;
        EXPECT_EQ(std::make_pair(t->x, t->y), std::make_pair(900 - cell / 2 - 12 * cell / 2, 5));
        EXPECT_EQ(t->color, Rgb(0, 0, 0));
    }
    EXPECT_TRUE(chart.Canvas().TextsStarting("Alternater").empty()); // not shown
    chart.graph.SetAlternator(true, 13.9f);
    const RecordingCanvas::Text* alt = chart.Draw().FindText("Alternater:13.9V");
    ASSERT_NE(alt, nullptr);
    EXPECT_EQ(std::make_pair(alt->x, alt->y),
              std::make_pair(900 - cell / 2 - 15 * cell / 2, chart.graph.GetLayout().lineHeight));
    chart.graph.SetAlternator(true, 9.5f);
    EXPECT_NE(chart.Draw().FindText("Alternater: 9.5V"), nullptr);

    // In Chinese, with the newest sample's values in the titles.
    chart.texts.SetLanguage(CTextTable::kChinese);
    chart.Add(Sample(98000, 612, 345, 4.25f));
    RecordingCanvas& zh = chart.Draw();
    for (const char* text : {"转速:98000",
                             "温度:612℃",
                             "油泵:3.45V",
                             "推力:4.25Kg",
                             "状态: Running",
                             "发电机输出: 9.5V"}) {
        EXPECT_NE(zh.FindText(text), nullptr) << text;
    }
}

TEST(CGraphDraw, NothingHappensBeforeAttach) {
    CTextTable texts;
    CGraphDraw graph(texts, [] { return 0u; });
    graph.AddSample(Sample(1000));
    graph.SetEgtBarScale(500);
    graph.SetHold(true);
    graph.Refresh(true);
    graph.Relayout();
    graph.Attach(nullptr); // no host: still not attached
    EXPECT_EQ(graph.Count(), 0);
    EXPECT_EQ(graph.EgtBarScale(), 800);
    EXPECT_FALSE(graph.IsHold());
    EXPECT_FALSE(graph.IsAttached());
    EXPECT_EQ(graph.DrawCount(), 0u);
}

// The ring may be read from another thread while samples come in.
TEST(CGraphDraw, RingReadsFromAnotherThreadSeeWholeSamples) {
    Chart chart;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            const int32_t n = chart.graph.Count();
            const CLiveSample s = chart.graph.GetSample(n - 1);
            if (n > 0 && s.rpm != static_cast<uint32_t>(s.altitude)) {
                ++torn;
            }
            (void)chart.graph.GetScales();
        }
    });
    for (uint32_t i = 1; i <= 3000; ++i) {
        CLiveSample s = Sample(i);
        s.altitude = static_cast<int32_t>(i);
        chart.graph.AddSample(s);
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

} // namespace
