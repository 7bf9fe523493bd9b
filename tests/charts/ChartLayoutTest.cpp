// The plot arithmetic of the RPM-vs-EGT and pump charts, worked out by hand
// for one surface size each.

#include "charts/CGraphPump.h"
#include "charts/CGraphRpmTemp.h"

#include <gtest/gtest.h>

namespace {

TEST(RpmTempLayout, PlotMarginsAndBinPositions) {
    const RpmTempLayout l = RpmTempLayout::For({800, 500});
    EXPECT_EQ(l.plotLeft, 176);
    EXPECT_EQ(l.plotTop, 66);    // 800 / 12
    EXPECT_EQ(l.plotRight, 750); // 800 x 15 / 16
    EXPECT_EQ(l.plotBottom, 468);
    // 21 bins over 574 pixels: j x 574 / 20, truncated.
    EXPECT_EQ(l.BinX(0, 21), 176);
    EXPECT_EQ(l.BinX(1, 21), 204);
    EXPECT_EQ(l.BinX(4, 21), 290);
    EXPECT_EQ(l.BinX(20, 21), 750);
}

TEST(RpmTempLayout, CurveHeights) {
    const RpmTempLayout l = RpmTempLayout::For({800, 500}); // plot 66..468, 402 high
    struct EgtCase {
        int32_t egt, y;
    };
    for (const EgtCase c : {EgtCase{300, 468},
                            {120, 468},
                            {-40, 468},
                            {750, 267},
                            {1050, 133},
                            {1200, 66},
                            {1290, 26}}) {
        EXPECT_EQ(l.EgtY(c.egt), c.y) << c.egt; // no upper clamp: 1290 lies above the top
    }
    struct PumpCase {
        int32_t millivolts, y;
    };
    for (const PumpCase c : {PumpCase{3000, 368}, {12000, 66}, {15000, 66}, {1, 468}}) {
        EXPECT_EQ(l.PumpY(c.millivolts), c.y) << c.millivolts;
    }
    struct ThrustCase {
        float thrust, fullScale;
        int32_t y;
    };
    // 468 - 402 x 7.3 / 20 = 321.27: the whole height is truncated, not the
    // part above the bottom.
    for (const ThrustCase c : {ThrustCase{10.0f, 20.0f, 267},
                               {7.3f, 20.0f, 321},
                               {50.0f, 20.0f, 66},
                               {45.0f, 90.0f, 267}}) {
        EXPECT_EQ(l.ThrustY(c.thrust, c.fullScale), c.y) << c.thrust << "/" << c.fullScale;
    }
}

TEST(PumpLayout, PlotMarginsAndCurveHeights) {
    const PumpLayout l = PumpLayout::For({800, 480});
    EXPECT_EQ(l.plotLeft, 150);
    EXPECT_EQ(l.plotTop, 30);
    EXPECT_EQ(l.plotRight, 736); // 750 down to a multiple of 16
    EXPECT_EQ(l.plotBottom, 450);
    EXPECT_EQ(l.VisibleSamples(), 146);
    EXPECT_EQ(l.RpmY(500, 1100), 260); // 450 - 500 x 420 / 1100
    EXPECT_EQ(l.RpmY(1100, 1100), 30);
    EXPECT_EQ(l.VoltageY(200, 220), 69); // 450 - 420 x 200 / 220
    EXPECT_EQ(l.VoltageY(0, 100), 450);
    EXPECT_EQ(PumpLayout::For({1000, 480}).plotRight, 928); // 937 -> 928
}

} // namespace
