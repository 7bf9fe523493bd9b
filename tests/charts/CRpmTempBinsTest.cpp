#include "charts/CRpmTempBins.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RangeCase {
    int32_t minimum, maximum;
    int32_t bins; // expected bin count
    int32_t storedMin, storedMax;
};

TEST(CRpmTempBins, RangeGivesOneBinPer1000RpmOrNone) {
    const RangeCase cases[] = {
        {50000, 160000, 111, 50000, 160000},
        {1000, 2000, 0, 0, 0}, // minimum + 1000 not below maximum
        {1000, 2001, 2, 1000, 2001},
        {40000, 40500, 0, 0, 0},
        {60000, 40000, 0, 0, 0}, // reversed
        {35000, 120500, 86, 35000, 120500},
    };
    for (const RangeCase& c : cases) {
        CRpmTempBins bins;
        bins.SetRange(c.minimum, c.maximum);
        EXPECT_EQ(bins.BinCount(), c.bins) << c.minimum << ".." << c.maximum;
        EXPECT_EQ(bins.HasBins(), c.bins > 0);
        EXPECT_EQ(bins.MinimumRpm(), c.storedMin);
        EXPECT_EQ(bins.MaximumRpm(), c.storedMax);
    }
    // A new page starts on 50000..160000.
    const CRpmTempBins fresh;
    EXPECT_EQ(fresh.BinCount(), 111);
    EXPECT_FLOAT_EQ(fresh.ThrustFullScale(), 20.0f);
}

TEST(CRpmTempBins, RpmsAtTheEdgesOfTheRange) {
    CRpmTempBins bins; // 50000..160000
    const std::pair<int32_t, int32_t> cases[] = {
        {50000, 0},
        {50999, 0},
        {51000, 1},
        {75500, 25},
        {159999, 109},
        {160000, 110},
        {160001, -1},
        {49999, -1},
        {0, -1},
    };
    for (const auto& [rpm, bin] : cases) {
        EXPECT_EQ(bins.BinOf(rpm), bin) << rpm;
    }
    // Without bins every RPM is outside.
    bins.SetRange(1000, 2000);
    EXPECT_EQ(bins.BinOf(1000), -1);
    EXPECT_EQ(bins.BinOf(1500), -1);
}

TEST(CRpmTempBins, ASampleReplacesItsBinAndReportsOnlyChanges) {
    CRpmTempBins bins;
    const int32_t rpm = bins.MinimumRpm() + 25500;
    EXPECT_TRUE(bins.AddSample(rpm, 640, 2500, 3.5f));
    EXPECT_EQ(bins.Bins()[25], (RpmTempBin{640, 2500, 3.5f}));
    // The same values again: no change, no redraw.
    EXPECT_FALSE(bins.AddSample(rpm + 300, 640, 2500, 3.5f));
    // Any of the three differs: the bin takes all three.
    EXPECT_TRUE(bins.AddSample(rpm - 400, 640, 2500, 3.6f));
    EXPECT_EQ(bins.Bins()[25], (RpmTempBin{640, 2500, 3.6f}));
    EXPECT_TRUE(bins.AddSample(rpm, 700, 0, 0.0f));
    EXPECT_EQ(bins.Bins()[25], (RpmTempBin{700, 0, 0.0f}));
    EXPECT_EQ(bins.Bins()[24], RpmTempBin{});
    EXPECT_EQ(bins.Bins()[26], RpmTempBin{});

    // Outside the range only the readouts change.
    EXPECT_FALSE(bins.AddSample(12000, 300, 1000, 1.0f));
    EXPECT_EQ(bins.Last().rpm, 12000);
    EXPECT_EQ(bins.Last().pumpMillivolts, 1000);
    // A disconnected engine's zeros land in no bin.
    EXPECT_FALSE(bins.AddSample(0, 0, 0, 0.0f));
    EXPECT_EQ(bins.Last().rpm, 0);
}

TEST(CRpmTempBins, TheSameRangeKeepsTheBinsAnotherOneEmptiesThem) {
    CRpmTempBins bins;
    bins.SetRange(40000, 60000);
    ASSERT_TRUE(bins.AddSample(45000, 600, 2000, 2.0f));
    bins.SetRange(40000, 60000);
    EXPECT_EQ(bins.Bins()[5].egt, 600);
    bins.SetRange(40000, 61000);
    EXPECT_EQ(bins.BinCount(), 22);
    EXPECT_EQ(bins.Bins()[5], RpmTempBin{});
}

TEST(CRpmTempBins, ThrustFullScaleChangesOnlyToANewValue) {
    CRpmTempBins bins;
    EXPECT_TRUE(bins.SetThrustFullScale(90.0f));
    EXPECT_FALSE(bins.SetThrustFullScale(90.0f));
    EXPECT_FLOAT_EQ(bins.ThrustFullScale(), 90.0f);
}

// The column line "转速, 温度, 油泵, 推力" in code page 936.
const std::string kGbkColumns = "\xD7\xAA\xCB\xD9\x2C\x20\xCE\xC2\xB6\xC8\x2C\x20"
                                "\xD3\xCD\xB1\xC3\x2C\x20\xCD\xC6\xC1\xA6\x0D\x0A";

TEST(CRpmTempBins, ExportWritesFromTheFirstToTheLastFilledBinWithZerosBetween) {
    CRpmTempBins bins;
    bins.SetRange(40000, 60000);
    ASSERT_TRUE(bins.AddSample(43200, 612, 2450, 4.25f));
    ASSERT_TRUE(bins.AddSample(47999, 705, 3010, 7.5f));
    const std::string expected = "MIN RPM,40000\r\n"
                                 "MAX RPM,60000\r\n" +
                                 kGbkColumns +
                                 "43000,612,2450,4.25\r\n"
                                 "44000,0,0,0.00\r\n"
                                 "45000,0,0,0.00\r\n"
                                 "46000,0,0,0.00\r\n"
                                 "47000,705,3010,7.50\r\n";
    EXPECT_EQ(bins.CsvBytes(), expected);

    // The file starts with the two limits and the GBK bytes, exactly.
    const std::string head = "MIN RPM,40000\r\nMAX RPM,60000\r\n" + kGbkColumns;
    EXPECT_EQ(bins.CsvBytes().substr(0, head.size()), head);
}

TEST(CRpmTempBins, ExportRowsNeedAnEgtAndNothingWithoutBins) {
    CRpmTempBins bins;
    bins.SetRange(40000, 60000);
    // A bin with a pump voltage and thrust but no EGT counts as empty.
    ASSERT_TRUE(bins.AddSample(41000, 0, 2000, 1.0f));
    EXPECT_EQ(bins.CsvBytes(), "MIN RPM,40000\r\nMAX RPM,60000\r\n" + kGbkColumns);
    ASSERT_TRUE(bins.AddSample(60000, 650, 2000, 1.0f));
    EXPECT_EQ(bins.CsvBytes(),
              "MIN RPM,40000\r\nMAX RPM,60000\r\n" + kGbkColumns + "60000,650,2000,1.00\r\n");

    bins.SetRange(1000, 2000);
    EXPECT_EQ(bins.CsvBytes(), "");
}

} // namespace
