// The history chart's pixels on the Qt canvas: frame and plot rectangle,
// curves where the integer arithmetic puts them, the cursor box and its
// texts.

#include "charts/CGraphTrack.h"
#include "charts/qt/CCanvasQt.h"
#include "charts/qt/CCanvasWidget.h"
#include "foundation/CTextTable.h"
#include "records/CDeviceECUTracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Model = CGraphTrackModel;

constexpr CanvasColor kWhite = Rgb(255, 255, 255);
constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr uint32_t kOnly13 = 1u << 13; // fuel temperature: 1 pixel, no labels
constexpr uint32_t kOnlyRpm = 1u << 0;

struct Rig {
    CDeviceECUTracker tracker;
    CCanvasWidget host;
    CGraphTrack chart;

    Rig(int32_t w, int32_t h, int32_t maxEgt = 900) {
        host.resize(w, h);
        host.show(); // the chart is drawn only into a visible host
        chart.attach(&host, &tracker, [maxEgt] { return maxEgt; });
    }
    // Records oldest first, each made by fill from its position.
    void Add(int32_t count, const std::function<void(CDeviceECUTItem&, int32_t)>& fill) {
        for (int32_t i = 0; i < count; ++i) {
            CDeviceECUTItem r;
            r.counter = static_cast<uint32_t>(i);
            fill(r, i);
            (void)tracker.addCopy(r);
        }
    }
    CanvasColor At(int32_t x, int32_t y) const {
        const QImage& image = host.Shown();
        if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
            return 0x01000000; // outside: no colour
        }
        const QRgb p = image.pixel(x, y);
        return Rgb(static_cast<uint8_t>(qRed(p)),
                   static_cast<uint8_t>(qGreen(p)),
                   static_cast<uint8_t>(qBlue(p)));
    }
    int Count(CanvasColor colour, CanvasRect r) const {
        int n = 0;
        for (int32_t y = r.top; y < r.bottom; ++y) {
            for (int32_t x = r.left; x < r.right; ++x) {
                n += At(x, y) == colour ? 1 : 0;
            }
        }
        return n;
    }
    const Model::Layout& L() const { return chart.model().GetLayout(); }
    // A mouse move to (x, y) of the host (the chart takes its parent's).
    bool Move(int32_t x, int32_t y) {
        const CanvasRect r = host.HostRect();
        return chart.mouseMove(x + r.left, y + r.top);
    }
    // What the chart shows under the box, drawn again without the cursor.
    QImage Without(const std::function<void()>& hideCursor) {
        hideCursor();
        chart.present();
        return host.Shown().copy();
    }
};

// The box's colour over what the chart shows there, at alpha 200.
CanvasColor BlendOver(CanvasColor box, QRgb chart) {
    const auto mix = [](int source, int destination) {
        return static_cast<uint8_t>((source * 200 + destination * 55) / 255);
    };
    return Rgb(mix(RedOf(box), qRed(chart)),
               mix(GreenOf(box), qGreen(chart)),
               mix(BlueOf(box), qBlue(chart)));
}

TEST(CGraphTrackPixels, TheFrameAndThePlotRectangleFollowTheLayoutRule) {
    struct Size {
        int32_t w, h;
    };
    for (const Size s : {Size{703, 422}, Size{640, 360}, Size{1001, 517}}) {
        Rig rig(s.w, s.h);
        rig.chart.setSeriesMask(0);
        rig.chart.present();
        const Model::Layout& l = rig.L();
        const CanvasRect& p = l.plot;
        EXPECT_EQ(p, Model::MakeLayout(s.w, s.h, 4).plot);
        const std::string at = std::to_string(s.w) + "x" + std::to_string(s.h);
        // The solid frame on the host's outermost pixels.
        for (const auto& [x, y] :
             {std::pair{0, 0}, {s.w - 1, s.h - 1}, {s.w / 2, 0}, {0, s.h / 2}}) {
            EXPECT_EQ(rig.At(x, y), kBlack) << at << " frame " << x << "," << y;
        }
        // The dotted rectangle one pixel outside the plot, its corners drawn.
        for (const auto& [x, y] : {std::pair{p.left - 1, p.top - 1},
                                   {p.right, p.top - 1},
                                   {p.right, p.bottom},
                                   {p.left - 1, p.bottom}}) {
            EXPECT_EQ(rig.At(x, y), kBlack) << at << " plot corner " << x << "," << y;
        }
        EXPECT_EQ(rig.At(p.left - 2, p.top - 1), kWhite) << at;
        EXPECT_EQ(rig.At(p.right + 1, p.bottom), kWhite) << at;
        EXPECT_EQ(rig.At(p.left, p.top), kWhite) << at;
        // Grid lines every 32 pixels from the value bottom, left + 1 .. right - 2.
        const CanvasColor grid = Rgb(240, 240, 240);
        EXPECT_EQ(rig.At(p.left + 1, l.valueBottom - 32), grid) << at;
        EXPECT_EQ(rig.At(p.right - 2, l.valueBottom - 64), grid) << at;
        EXPECT_EQ(rig.At(p.right - 1, l.valueBottom - 32), kWhite) << at;
        EXPECT_EQ(rig.At(p.left + 1, l.valueBottom - 33), kWhite) << at;
    }
}

TEST(CGraphTrackPixels, CurvesLandOnTheIntegerArithmeticsPixelsClampedOnlyAtTheTop) {
    Rig rig(703, 422);                                 // value top 42, value bottom 402, R = 360
    const int32_t values[] = {100, 100, 500, -70, 20}; // oldest first
    rig.Add(5, [&](CDeviceECUTItem& r, int32_t i) { r.fuel_temp = values[i]; });
    rig.chart.setSeriesMask(kOnly13);
    rig.chart.present();
    const Model::Layout& l = rig.L();
    const CanvasColor c = Model::SeriesAt(13).color;
    const int32_t right = l.curveRight;
    ASSERT_EQ(l.valueTop, 42);
    ASSERT_EQ(l.valueBottom, 402);
    // Newest (20) at the right: y = 402 - 360 x 80 / 250 = 287.
    EXPECT_EQ(rig.At(right, 402 - 360 * 80 / 250), c);
    // -70 is 10 below -60: 14 pixels below the value bottom, not held at it.
    EXPECT_EQ(rig.At(right - 4, 402 + 360 * 10 / 250), c);
    // 500 is above the scale: at the value top, nothing above it.
    EXPECT_EQ(rig.At(right - 8, 42), c);
    EXPECT_EQ(rig.Count(c, {right - 10, 0, right - 6, 42}), 0);
    // 100, 100: a level line at 402 - 360 x 160 / 250 = 172 from right - 12 to
    // right - 16, whose end pixel (the oldest record) is left out.
    const int32_t level = 402 - 360 * 160 / 250;
    EXPECT_EQ(rig.At(right - 12, level), c);
    EXPECT_EQ(rig.At(right - 15, level), c);
    EXPECT_NE(rig.At(right - 16, level), c);
    EXPECT_EQ(rig.Count(c, {0, 0, right - 16, 422}), 0);
}

TEST(CGraphTrackPixels, WithFewerRecordsThanFitTheOldestIsDrawnCountMinusOneStepsLeft) {
    Rig rig(703, 422);
    rig.Add(5, [](CDeviceECUTItem& r, int32_t) { r.engine_rpm = 5000; });
    rig.chart.setSeriesMask(kOnlyRpm);
    rig.chart.present();
    EXPECT_EQ(rig.chart.maximumScroll(), 0);
    const Model::Layout& l = rig.L();
    const CanvasColor c = Model::SeriesAt(0).color;
    const int32_t y = l.valueBottom - l.Range() * 5000 / 10000; // S_rpm: the reset maximum
    const int32_t oldest = l.curveRight - 4 * 4;
    EXPECT_EQ(rig.At(oldest, y), c);
    EXPECT_EQ(rig.At(oldest - 1, y), c); // a 3-pixel pen's round end
    EXPECT_NE(rig.At(oldest - 2, y), c);
    EXPECT_EQ(rig.At(l.curveRight, y), c);
}

TEST(CGraphTrackPixels, AutoscaleWithEveryVisibleRpmBelow1000UsesAFullScaleOf1200) {
    Rig rig(703, 422);
    rig.Add(3, [](CDeviceECUTItem& r, int32_t) { r.engine_rpm = 600; });
    rig.chart.setSeriesMask(kOnlyRpm | Model::kAutoscaleBit);
    rig.chart.present();
    const Model::Layout& l = rig.L();
    const CanvasColor c = Model::SeriesAt(0).color;
    EXPECT_EQ(rig.At(l.curveRight - 2, l.valueBottom - l.Range() * 600 / 1200), c);
    EXPECT_NE(rig.At(l.curveRight - 2, l.valueBottom - l.Range() * 600 / 1000), c);
    // Autoscale off: the RPM maximum of the log (its reset value 10000).
    rig.chart.setSeriesMask(kOnlyRpm);
    rig.chart.present();
    EXPECT_EQ(rig.At(l.curveRight - 2, l.valueBottom - l.Range() * 600 / 10000), c);
}

TEST(CGraphTrackPixels, ZoomChangesTheStepWithinOneToEight) {
    Rig rig(703, 422);
    rig.Add(20, [](CDeviceECUTItem& r, int32_t) { r.fuel_temp = 65; });
    rig.chart.setSeriesMask(kOnly13);
    for (int i = 0; i < 12; ++i) {
        (void)rig.chart.zoom(120);
    }
    EXPECT_EQ(rig.chart.zoomStep(), 8);
    rig.chart.present();
    const Model::Layout& l = rig.L();
    const int32_t y = l.valueBottom - l.Range() * 125 / 250;
    const CanvasColor c = Model::SeriesAt(13).color;
    EXPECT_EQ(rig.Count(c, {0, y, l.curveRight + 1, y + 1}), 19 * 8);
    for (int i = 0; i < 12; ++i) {
        (void)rig.chart.zoom(-120);
    }
    EXPECT_EQ(rig.chart.zoomStep(), 1);
    rig.chart.present();
    EXPECT_EQ(rig.Count(c, {0, y, l.curveRight + 1, y + 1}), 19);
}

// The text of one row of the box, compared with the same texts drawn alone:
// glyph pixels are dark after the blend, the others are not.
void ExpectBoxRow(
    const Rig& rig,
    int32_t boxLeft,
    int32_t row,
    const std::vector<std::pair<CanvasFont, std::pair<int32_t, std::string>>>& texts) {
    CCanvasQt reference(Model::kBoxWidth, Model::kBoxHeight);
    reference.SetTransparentText(true);
    for (const auto& [font, at] : texts) {
        reference.SelectFont(font);
        reference.TextOut(at.first, row, at.second);
    }
    const int32_t top = rig.L().plot.top + 1;
    int glyphs = 0;
    for (int32_t y = row; y < row + 15; ++y) {
        for (int32_t x = 1; x < Model::kBoxWidth - 1; ++x) {
            const bool ink = reference.PixelAt(x, y) == kBlack;
            const CanvasColor shown = rig.At(boxLeft + x, top + y);
            const int dark = std::max({RedOf(shown), GreenOf(shown), BlueOf(shown)});
            if (ink) {
                ++glyphs;
                ASSERT_LE(dark, 55) << "box " << x << "," << y;
            } else {
                ASSERT_GE(dark, 141) << "box " << x << "," << y;
            }
        }
    }
    EXPECT_GT(glyphs, 20);
}

const CanvasFont kTitle{"Arial", 15, 700, true};
const CanvasFont kReadout{"Arial", 15, 400, true};

TEST(CGraphTrackPixels, AnEmptyLogShowsLabelsLegendCountAndAStopCursorBox) {
    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    Rig rig(703, 422);
    rig.chart.present();
    const Model::Layout& l = rig.L();
    const CanvasRect& p = l.plot;
    // The bottom labels: "-60" of the ECU temperature after RPM (60) and EGT
    // (50), in its colour; each legend entry in its colour above the plot.
    EXPECT_GT(rig.Count(Model::SeriesAt(2).color,
                        {p.left + 115, l.valueBottom - 16, p.left + 185, l.valueBottom}),
              10);
    int32_t x = p.left + 5;
    for (int32_t n = 0; n < Model::kLabelledSeries && x + 40 < 703; ++n) { // 11 is off the edge
        const Model::Series& s = Model::SeriesAt(n);
        EXPECT_GT(rig.Count(s.color, {x, p.top - 20, x + std::max(s.advance, 40), p.top - 3}), 5)
            << "legend " << n;
        x += s.advance;
    }
    EXPECT_GT(rig.Count(kBlack, {p.left + 2, p.bottom + 3, p.left + 60, p.bottom + 19}), 10);
    // No curve: no RPM green right of its label column.
    EXPECT_EQ(rig.Count(Model::SeriesAt(0).color, {p.left + 70, p.top, p.right, p.bottom}), 0);

    // The cursor in the left half: the box at the right, an all-zero record.
    const int32_t cx = p.left + 40;
    const QImage under = rig.Without([] {});
    ASSERT_TRUE(rig.Move(cx, 300));
    const int32_t boxLeft = p.right - 371;
    ExpectBoxRow(rig, boxLeft, 5, {{kTitle, {120, "Stop"}}, {kReadout, {5, "Time:  00:00:00.00"}}});
    // A spot of the box without text: the all-zero fill blended over the chart.
    EXPECT_EQ(rig.At(boxLeft + 360, p.top + 1 + 140),
              BlendOver(Rgb(225, 240, 196), under.pixel(boxLeft + 360, p.top + 1 + 140)));
    // The crosshair.
    EXPECT_EQ(rig.At(cx, p.top + 1), Rgb(120, 116, 209));
    EXPECT_EQ(rig.At(p.left + 1, 300), Rgb(120, 116, 209));
}

TEST(CGraphTrackPixels, TheCursorBoxSitsInTheHalfAwayFromTheCursor) {
    Rig rig(703, 422);
    rig.Add(300, [](CDeviceECUTItem& r, int32_t i) { r.engine_rpm = 100 * i; });
    const CanvasRect p = rig.L().plot;
    const int32_t y = p.top + 1 + 190; // below the box's texts
    struct Case {
        int32_t cursorX, boxLeft, otherLeft;
    };
    const Case cases[] = {
        {p.right / 2, p.right - 371, p.left + 1},     // left half, its edge included
        {p.right / 2 + 1, p.left + 1, p.right - 371}, // right half
    };
    for (const Case& c : cases) {
        const QImage under = rig.Without([&] { (void)rig.Move(-1, -1); });
        ASSERT_TRUE(rig.Move(c.cursorX, p.top + 250));
        EXPECT_EQ(rig.At(c.boxLeft + 200, y),
                  BlendOver(Rgb(225, 240, 196), under.pixel(c.boxLeft + 200, y)))
            << c.cursorX;
        EXPECT_EQ(rig.At(c.boxLeft, y), BlendOver(Rgb(50, 50, 50), under.pixel(c.boxLeft, y)))
            << "the border";
        const QRgb u = under.pixel(c.otherLeft + 200, y);
        EXPECT_EQ(rig.At(c.otherLeft + 200, y),
                  Rgb(static_cast<uint8_t>(qRed(u)),
                      static_cast<uint8_t>(qGreen(u)),
                      static_cast<uint8_t>(qBlue(u))))
            << "the other half is untouched";
    }
}

TEST(CGraphTrackPixels, ACounterOf7201AtTwoRecordsASecondReadsOneHourAndAHalfSecond) {
    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    Rig rig(703, 422);
    rig.Add(1, [](CDeviceECUTItem& r, int32_t) {
        r.counter = 7201;
        r.engine_state = 5;
    });
    rig.chart.setSeriesMask(0);
    const CanvasRect p = rig.L().plot;
    ASSERT_TRUE(rig.Move(p.right - 1, 300)); // over the newest record
    ExpectBoxRow(
        rig, p.left + 1, 5, {{kTitle, {120, "Running"}}, {kReadout, {5, "Time:  01:00:00.50"}}});
}

} // namespace
