// Pixels of the "RPM for BLDC Pump" chart on an 800 x 480 surface: plot
// 150..736 x 30..450, grid rows every 20 pixels, columns about every 16.

#include "charts/CGraphPump.h"
#include "PixelCount.h"
#include "charts/qt/CCanvasQt.h"

#include <gtest/gtest.h>

namespace {

constexpr CanvasColor kWhite = Rgb(255, 255, 255);
constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kRpm = CGraphPump::kRpmColor;
constexpr CanvasColor kVolt = CGraphPump::kVoltageColor;

// Oldest first; the tops become 1100 RPM and 2.20 V.
CPumpSamples Samples(std::initializer_list<PumpSample> list) {
    CPumpSamples s;
    for (const PumpSample& p : list) {
        s.Append(p);
    }
    return s;
}

TEST(CGraphPump, TheNewestSampleIsAtTheRightEdgeFourPixelsASample) {
    CCanvasQt c(800, 480);
    CGraphPump::Draw(c, Samples({{1000, 100}, {800, 200}, {800, 200}}));
    // The two newest are equal: flat from x 736 to 732, at RPM y 145
    // (450 - 800 x 420 / 1100) and voltage y 69 (450 - 420 x 200 / 220).
    EXPECT_EQ(c.PixelAt(734, 145), kRpm);
    EXPECT_EQ(c.PixelAt(734, 69), kVolt);
    EXPECT_EQ(c.PixelAt(734, 100), kWhite);
    // The oldest is at x 728; nothing lies further left.
    EXPECT_EQ(CountIn(c, kRpm, 151, 30, 726, 450), 0);
    EXPECT_EQ(CountIn(c, kVolt, 151, 30, 726, 450), 0);
    // The newest RPM is written beside the curve, in the surface's text colour.
    EXPECT_GT(CountIn(c, kBlack, 737, 145, 780, 161), 10);
}

TEST(CGraphPump, OneSampleIsNoCurve) {
    CCanvasQt c(800, 480);
    CGraphPump::Draw(c, Samples({{900, 150}}));
    EXPECT_EQ(CountIn(c, kRpm, 150, 0, 800, 480), 0);
    EXPECT_EQ(CountIn(c, kVolt, 150, 0, 800, 480), 0);
    EXPECT_EQ(CountIn(c, kBlack, 737, 31, 799, 449), 0); // no RPM beside it either
}

TEST(CGraphPump, GridLeadersAndLabels) {
    CCanvasQt c(800, 480);
    CGraphPump::Draw(c, Samples({{1000, 100}, {500, 200}}));
    EXPECT_EQ(c.PixelAt(0, 0), kBlack);
    EXPECT_EQ(c.PixelAt(170, 430), Rgb(240, 200, 200)); // row 1
    EXPECT_EQ(c.PixelAt(166, 440), Rgb(220, 220, 220)); // column 1 at 150 + 586 / 36
    EXPECT_EQ(c.PixelAt(736, 440), Rgb(220, 220, 220)); // the last column at the right edge
    EXPECT_EQ(c.PixelAt(170, 440), kWhite);
    // Row 1 (y 430): the RPM leader along y 438 from x 140 to 80, the voltage
    // leader along y 438 from 75 to 15.
    EXPECT_EQ(c.PixelAt(100, 438), kRpm);
    EXPECT_EQ(c.PixelAt(40, 438), kVolt);
    EXPECT_EQ(c.PixelAt(77, 438), kWhite);
    // Its labels ("52", "0.10") are in the text colour, not the pens'.
    EXPECT_GT(CountIn(c, kBlack, 80, 422, 138, 437), 10);
    EXPECT_EQ(CountIn(c, kRpm, 80, 422, 138, 437), 0);
    EXPECT_GT(CountIn(c, kBlack, 20, 422, 75, 437), 10);
    EXPECT_EQ(CountIn(c, kVolt, 20, 422, 75, 437), 0);
    // The titles above the columns are coloured.
    EXPECT_GT(CountIn(c, kRpm, 80, 23, 130, 39), 10);
    EXPECT_GT(CountIn(c, kVolt, 20, 23, 70, 39), 10);
}

TEST(CGraphPump, SurfacesTooSmallForAPlotStillDraw) {
    for (CanvasSize size : {CanvasSize{100, 50}, CanvasSize{160, 15}, CanvasSize{20, 10}}) {
        CCanvasQt c(size.width, size.height);
        CGraphPump::Draw(c, Samples({{1000, 100}, {500, 200}}));
        EXPECT_EQ(c.PixelAt(0, 0), kBlack) << size.width << "x" << size.height;
    }
}

} // namespace
