// Pixels of the "RPM vs EGT&Thrust&Pump" chart on an 800 x 500 surface:
// plot 176..750 x 66..468; 21 bins for 40000..60000 at x = 176 + j x 574 / 20.

#include "charts/CGraphRpmTemp.h"
#include "PixelCount.h"
#include "charts/qt/CCanvasQt.h"

#include <gtest/gtest.h>

namespace {

constexpr CanvasColor kWhite = Rgb(255, 255, 255);
constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kRed = Rgb(255, 0, 0);
constexpr CanvasColor kGreen = Rgb(0, 255, 0);
constexpr CanvasColor kBlue = Rgb(0, 0, 255);

CRpmTempBins TwoFilledBins() {
    CRpmTempBins bins;
    bins.SetRange(40000, 60000);
    // Bins 2 and 6: EGT 1050 °C, 10 of 20 kg, 3.000 V.
    bins.AddSample(42000, 1050, 3000, 10.0f);
    bins.AddSample(46500, 1050, 3000, 10.0f);
    return bins;
}

TEST(CGraphRpmTemp, CurvesRunThroughTheirBinsAndJoinAcrossEmptyOnes) {
    CCanvasQt c(800, 500);
    CGraphRpmTemp::Draw(c, TwoFilledBins());
    // Bin 4 (x 290) is empty: the curves pass it on their way from bin 2 to 6,
    // 3 pixels wide.
    for (int dy : {-1, 0, 1}) {
        EXPECT_EQ(c.PixelAt(290, 133 + dy), kRed) << dy;   // EGT 1050
        EXPECT_EQ(c.PixelAt(290, 267 + dy), kBlue) << dy;  // thrust 10 of 20 kg
        EXPECT_EQ(c.PixelAt(290, 368 + dy), kGreen) << dy; // 3 of 12 V
    }
    EXPECT_NE(c.PixelAt(290, 136), kRed);
    // Nothing before the first filled bin (2, x 233) or after the last (6, x 348).
    EXPECT_EQ(CountIn(c, kRed, 177, 120, 228, 146), 0);
    EXPECT_EQ(CountIn(c, kRed, 354, 120, 750, 146), 0);
    EXPECT_GT(CountIn(c, kRed, 233, 132, 348, 135), 100);
}

TEST(CGraphRpmTemp, ValuesBeyondTheAxesAreClampedOrLeaveThePlot) {
    CRpmTempBins bins;
    bins.SetRange(40000, 60000);
    bins.AddSample(48000, 1290, 15000, 50.0f); // bins 8 and 12
    bins.AddSample(52000, 1290, 15000, 50.0f);
    CCanvasQt c(800, 500);
    CGraphRpmTemp::Draw(c, bins);
    const int x = 463;                   // bin 10
    EXPECT_EQ(c.PixelAt(x, 26), kRed);   // EGT 1290 °C above the plot top (66)
    EXPECT_EQ(c.PixelAt(x, 66), kGreen); // 15 V at the 12 V top, drawn last
    EXPECT_EQ(c.PixelAt(x, 67), kGreen);
    EXPECT_EQ(CountIn(c, kBlue, x, 64, x + 1, 69), 0); // thrust at the top, under the pump curve
    bins.AddSample(52000, 1290, 0, 50.0f);
    bins.AddSample(48000, 1290, 0, 50.0f);
    CGraphRpmTemp::Draw(c, bins);
    EXPECT_EQ(c.PixelAt(x, 66), kBlue); // 50 kg at the 20 kg top
}

TEST(CGraphRpmTemp, GridColoursAndLabelColumns) {
    CCanvasQt c(800, 500);
    CGraphRpmTemp::Draw(c, TwoFilledBins());
    // Frame.
    EXPECT_EQ(c.PixelAt(0, 0), kBlack);
    EXPECT_EQ(c.PixelAt(799, 499), kBlack);
    // Between value rows 0 (y 468) and 1 (y 446): bin lines, darker every tenth.
    EXPECT_EQ(c.PixelAt(176, 457), Rgb(180, 180, 180)); // bin 0
    EXPECT_EQ(c.PixelAt(204, 457), Rgb(220, 220, 220)); // bin 1
    EXPECT_EQ(c.PixelAt(463, 457), Rgb(180, 180, 180)); // bin 10
    EXPECT_EQ(c.PixelAt(300, 457), kWhite);
    EXPECT_EQ(c.PixelAt(300, 446), Rgb(240, 200, 200)); // value row 1
    // Tick of bin 10: up to (468, 62), then along y 62.
    EXPECT_EQ(c.PixelAt(490, 62), Rgb(180, 180, 180));
    // Row 1's labels at y 438..454: °C red, volts green, kilograms blue.
    EXPECT_GT(CountIn(c, kRed, 6, 438, 61, 454), 20);
    EXPECT_GT(CountIn(c, kGreen, 61, 438, 106, 454), 20);
    EXPECT_GT(CountIn(c, kBlue, 106, 438, 166, 454), 20);
    EXPECT_EQ(CountIn(c, kBlack, 6, 438, 166, 454), 0);
    // RPM labels in blue above the plot (y 46..62), from bin 0 on.
    EXPECT_GT(CountIn(c, kBlue, 176, 46, 226, 61), 20);
}

TEST(CGraphRpmTemp, ReadoutsShowTheLastSampleInTheirColours) {
    CRpmTempBins bins;
    bins.AddSample(12345, 678, 12050, 3.25f); // outside the range: readouts only
    CCanvasQt c(800, 500);
    CGraphRpmTemp::Draw(c, bins);
    const int y1 = 2 + 800 / 20;
    EXPECT_GT(CountIn(c, kBlack, 10, 2, 100, y1), 50);  // "R:12345" at W / 80
    EXPECT_GT(CountIn(c, kRed, 260, 2, 350, y1), 50);   // "T:678" at 20 x 13
    EXPECT_GT(CountIn(c, kGreen, 440, 2, 560, y1), 50); // "P:12.05" at 20 x 22
    EXPECT_GT(CountIn(c, kBlue, 600, 2, 760, y1), 50);  // "T:3.25" at 20 x 30
    // No curves without bins in use.
    EXPECT_EQ(CountIn(c, kRed, 177, 66, 750, 468), 0);
}

TEST(CGraphRpmTemp, NoRangeNoBinGridNoCurves) {
    CRpmTempBins bins;
    bins.SetRange(1000, 2000);
    bins.AddSample(1500, 700, 3000, 5.0f);
    CCanvasQt c(800, 500);
    CGraphRpmTemp::Draw(c, bins);
    for (CanvasColor colour : {kRed, kGreen, kBlue, Rgb(220, 220, 220)}) {
        EXPECT_EQ(CountIn(c, colour, 177, 67, 750, 468), 0) << std::hex << colour;
    }
    EXPECT_EQ(c.PixelAt(300, 446), Rgb(240, 200, 200)); // the value grid stays
}

} // namespace
