#include "charts/CPumpRecorder.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr int32_t kStop = 0;
constexpr int32_t kRun = 2;

TEST(CPumpRecorder, KeepsRecordingForSeventyFiveTicksAfterThePumpStops) {
    CPumpRecorder r;
    EXPECT_FALSE(r.AddSample(kStop, 0, 0)); // not recording yet
    EXPECT_EQ(r.Changes(), 0u);
    EXPECT_TRUE(r.AddSample(kRun, 5000, 1200));
    EXPECT_EQ(r.Changes(), 1u);
    for (int32_t tick = 0; tick < CPumpRecorder::kRecordingTicks; ++tick) {
        EXPECT_TRUE(r.AddSample(kStop, 100, 10)) << tick;
        r.Tick();
    }
    EXPECT_EQ(r.Countdown(), 0);
    EXPECT_FALSE(r.AddSample(kStop, 100, 10));
    EXPECT_EQ(r.Count(), 1 + CPumpRecorder::kRecordingTicks);
    // Any non-zero state (start, brake) starts it again.
    EXPECT_TRUE(r.AddSample(3, 900, 300));
    EXPECT_EQ(r.Countdown(), CPumpRecorder::kRecordingTicks);
    // Showing the page stops a recording until the pump reports running.
    r.Shown();
    EXPECT_FALSE(r.AddSample(kStop, 100, 10));
    r.Tick(); // never below 0
    EXPECT_EQ(r.Countdown(), 0);
}

TEST(CPumpRecorder, TheStoreKeepsTheNewest20000) {
    CPumpRecorder r;
    for (int32_t i = 0; i < CPumpSamples::kCapacity; ++i) {
        ASSERT_TRUE(r.AddSample(kRun, i, i % 1000));
    }
    r.Read([](const CPumpSamples& s) {
        EXPECT_EQ(s.Count(), 20000);
        EXPECT_EQ(s.At(0).rpm, 0);
        EXPECT_EQ(s.At(19999).rpm, 19999);
    });
    ASSERT_TRUE(r.AddSample(kRun, 20000, 1)); // the 20001st drops the first
    ASSERT_TRUE(r.AddSample(kRun, 20001, 2));
    r.Read([](const CPumpSamples& s) {
        EXPECT_EQ(s.Count(), 20000);
        EXPECT_EQ(s.At(0).rpm, 2);
        EXPECT_EQ(s.At(19997).rpm, 19999);
        EXPECT_EQ(s.At(19998), (PumpSample{20000, 1}));
        EXPECT_EQ(s.At(19999), (PumpSample{20001, 2}));
    });
}

TEST(CPumpRecorder, AxisMaximaGrowToTenPercentAboveAndNeverShrinkUntilCleared) {
    struct Step {
        int32_t rpm, centivolts;
        int32_t rpmMax, voltMax;
    };
    const Step steps[] = {
        {100, 50, 300, 100},     // below the starting tops
        {1000, 90, 1100, 100},   // 1000 RPM: 1100
        {500, 1205, 1100, 1325}, // lower RPM keeps 1100; 12.05 V: 13.25 V
        {1001, 0, 1101, 1325},
        {-5000, -10, 1101, 1325},
    };
    CPumpRecorder r;
    for (const Step& s : steps) {
        ASSERT_TRUE(r.AddSample(kRun, s.rpm, s.centivolts));
        r.Read([&](const CPumpSamples& samples) {
            EXPECT_EQ(samples.RpmMaximum(), s.rpmMax) << s.rpm;
            EXPECT_EQ(samples.VoltageMaximum(), s.voltMax) << s.centivolts;
        });
    }
    const uint64_t changes = r.Changes();
    r.Clear();
    EXPECT_EQ(r.Count(), 0);
    EXPECT_NE(r.Changes(), changes); // a redraw shows the empty store
    r.Read([](const CPumpSamples& s) {
        EXPECT_EQ(s.RpmMaximum(), 300);
        EXPECT_EQ(s.VoltageMaximum(), 100);
    });
    // A wild reading saturates instead of wrapping round.
    ASSERT_TRUE(r.AddSample(kRun, 2000000000, 0));
    r.Read([](const CPumpSamples& s) { EXPECT_EQ(s.RpmMaximum(), 2147483647); });
}

TEST(CPumpRecorder, ExportHasOneLinePerSampleWithTheVoltsInHundredths) {
    CPumpRecorder r;
    EXPECT_EQ(r.CsvBytes(), "");
    ASSERT_TRUE(r.AddSample(kRun, 21500, 1205));
    ASSERT_TRUE(r.AddSample(kRun, 0, 5));
    ASSERT_TRUE(r.AddSample(kRun, 300, 100));
    EXPECT_EQ(r.CsvBytes(), "21500,12.05\r\n0,0.05\r\n300,1.00\r\n");
}

TEST(CPumpRecorder, ReadersSeeAConsistentStoreWhileSamplesArrive) {
    CPumpRecorder r;
    ASSERT_TRUE(r.AddSample(kRun, 1, 1));
    std::thread writer([&] {
        for (int32_t i = 0; i < 30000; ++i) {
            (void)r.AddSample(kRun, i, i);
        }
    });
    for (int32_t pass = 0; pass < 200; ++pass) {
        r.Read([](const CPumpSamples& s) {
            // Every sample carries rpm == centivolts, and the newest is the
            // largest: a half-written store would break either.
            const PumpSample& newest = s.At(s.Count() - 1);
            EXPECT_EQ(newest.rpm, newest.centivolts);
            EXPECT_GE(s.RpmMaximum(), newest.rpm * 11 / 10);
        });
    }
    writer.join();
    EXPECT_EQ(r.Count(), CPumpSamples::kCapacity);
}

} // namespace
