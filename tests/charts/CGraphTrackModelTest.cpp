// The history chart's arithmetic: layout, scales, labels, where values land,
// the cursor box's texts, and the view's scroll, zoom and mouse rules.

#include "charts/CGraphTrackModel.h"
#include "foundation/CTextTable.h"
#include "records/CDeviceECUTracker.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

using Model = CGraphTrackModel;
constexpr int32_t kEn = CTextTable::kEnglish;
constexpr int32_t kZh = CTextTable::kChinese;

// A tracker whose records are built by the test, newest first as listed last.
void AddOldestFirst(CDeviceECUTracker& tracker, const std::vector<CDeviceECUTItem*>& records) {
    for (CDeviceECUTItem* r : records) {
        (void)tracker.addCopy(*r);
        delete r;
    }
}

CDeviceECUTItem* Record(uint32_t counter) {
    auto* r = new CDeviceECUTItem;
    r->counter = counter;
    return r;
}

TEST(CGraphTrackModel, LayoutAlignsTheValueRangeToTwentyAndTheCurveWidthToTheStep) {
    struct Case {
        int32_t w, h, step;
        CanvasRect plot;
    };
    const Case cases[] = {
        {703, 422, 4, {12, 22, 693, 402}},    // (703-20)%4 = 3, (422-40)%20 = 2
        {700, 400, 4, {9, 20, 690, 380}},     // nothing to align
        {1920, 1080, 1, {9, 20, 1910, 1060}}, // every width fits step 1
        {1920, 1080, 8, {13, 20, 1910, 1060}},
        {641, 455, 7, {14, 35, 631, 435}},
    };
    for (const Case& c : cases) {
        const Model::Layout l = Model::MakeLayout(c.w, c.h, c.step);
        EXPECT_EQ(l.plot, c.plot) << c.w << "x" << c.h << " step " << c.step;
        EXPECT_EQ(l.curveLeft, l.plot.left);
        EXPECT_EQ(l.curveRight, l.plot.right);
        EXPECT_EQ(l.valueTop, l.plot.top + 20);
        EXPECT_EQ(l.valueBottom, l.plot.bottom);
        EXPECT_EQ((l.plot.bottom - l.plot.top) % 20, 0);
        EXPECT_EQ((l.plot.right - l.plot.left) % c.step, 1 % c.step);
    }
}

TEST(CGraphTrackModel, MaximumScrollCountsTheRecordsThatDoNotFit) {
    const Model::Layout l = Model::MakeLayout(700, 400, 4); // curve 9..690: 681 px
    EXPECT_EQ(Model::CurvePoints(l, 4), 171);               // x = 690, 686, ..., 10
    EXPECT_EQ(Model::MaximumScroll(l, 4, 0), 0);
    EXPECT_EQ(Model::MaximumScroll(l, 4, 170), 0);
    EXPECT_EQ(Model::MaximumScroll(l, 4, 171), 1);
    EXPECT_EQ(Model::MaximumScroll(l, 4, 32767), 32767 - 170);
    // A host too small for a plot: nothing fits, nothing crashes.
    const Model::Layout tiny = Model::MakeLayout(12, 30, 4);
    EXPECT_EQ(Model::CurvePoints(tiny, 4), 0);
    EXPECT_EQ(Model::MaximumScroll(tiny, 4, 5), 5);
}

TEST(CGraphTrackModel, FixedScalesComeFromTheColumnMaxima) {
    CDeviceECUTracker tracker;
    CDeviceECUTItem r;
    r.engine_rpm = 123000;
    r.pump_vol = 9000;
    r.pump_rpm = 4000;
    r.starter_vol = 2500;
    r.current = 700;
    r.thrust = 900;
    (void)tracker.addCopy(r);
    const Model::Scales s = Model::FixedScales(tracker, 950);
    EXPECT_EQ(s.value[Model::kScaleRpm], 123000);
    EXPECT_EQ(s.value[Model::kScalePumpVol], 9000);
    EXPECT_EQ(s.value[Model::kScalePumpRpm], 4000);
    EXPECT_EQ(s.value[Model::kScaleStarterVol], 2500);
    EXPECT_EQ(s.value[Model::kScaleCurrent], 700); // a loaded record: no margin
    EXPECT_EQ(s.value[Model::kScaleThrust], 905);  // thrust keeps its margin of 5
    EXPECT_EQ(s.value[Model::kScaleRadioVol], 3300);
    EXPECT_EQ(s.value[Model::kScaleEngineVol], 3300);
    EXPECT_EQ(s.value[Model::kScalePressure], 120000);
    EXPECT_EQ(s.value[Model::kScaleFuelPress], 1000);
    EXPECT_EQ(s.maxEgt, 950);
    // Before the parameter block is read the EGT series spans the whole range.
    EXPECT_EQ(Model::FixedScales(tracker, 0).maxEgt, Model::kUnknownMaxEgt);
}

TEST(CGraphTrackModel, AutoscaleTakesTheVisibleRecordsAndTheirHeadroom) {
    CDeviceECUTracker tracker;
    std::vector<CDeviceECUTItem*> records;
    for (uint32_t i = 0; i < 5; ++i) {
        CDeviceECUTItem* r = Record(i);
        r->engine_rpm = 900; // every RPM below 1000
        r->pump_vol = 5000;
        r->pressure = 101000;
        r->thrust = 100 * static_cast<int32_t>(i); // the newest is the largest
        records.push_back(r);
    }
    records.front()->starter_rpm = 50000; // the oldest: not visible below
    AddOldestFirst(tracker, records);

    const Model::Scales four = Model::AutoScales(tracker.newest(), 4, 900);
    EXPECT_EQ(four.value[Model::kScaleRpm], 1200);
    EXPECT_EQ(four.value[Model::kScalePumpVol], 5000 * 116 / 100);
    EXPECT_EQ(four.value[Model::kScalePressure], 101000 * 108 / 100);
    EXPECT_EQ(four.value[Model::kScaleThrust], 400 * 102 / 100);
    EXPECT_EQ(four.value[Model::kScaleCurrent], 10 * 106 / 100); // nothing above 10
    EXPECT_EQ(four.value[Model::kScaleFuelPress], 10 * 104 / 100);
    // The fifth record counts once the curves reach it.
    EXPECT_EQ(Model::AutoScales(tracker.newest(), 5, 900).value[Model::kScaleRpm], 60000);
    // Scrolled past the newest, its thrust no longer counts.
    EXPECT_EQ(Model::AutoScales(tracker.getItem(1), 3, 900).value[Model::kScaleThrust],
              300 * 102 / 100);
    // No record at all: the starting values.
    EXPECT_EQ(Model::AutoScales(nullptr, 100, 900).value[Model::kScaleRpm], 1200);
}

TEST(CGraphTrackModel, ValuesAboveTheScaleStopAtTheTopAndNothingStopsThemAtTheBottom) {
    const Model::Layout l = Model::MakeLayout(700, 400, 4); // value top 40, bottom 380
    Model::Scales s;
    s.value[Model::kScaleRpm] = 10000;
    s.maxEgt = 850;
    const Model::Series& rpm = Model::SeriesAt(0);
    const Model::Series& egt = Model::SeriesAt(1);
    const Model::Series& ecuTemp = Model::SeriesAt(2);
    const Model::Series& throttle = Model::SeriesAt(7);
    struct Case {
        const Model::Series* series;
        int32_t value, y;
    };
    const Case cases[] = {
        {&rpm, 0, 380},
        {&rpm, 5000, 380 - 340 * 5000 / 10000},
        {&rpm, 3333, 380 - 340 * 3333 / 10000}, // truncated, as integers divide
        {&rpm, 10000, 40},
        {&rpm, 15000, 40}, // above the scale: at the value top
        {&egt, 425, 380 - 340 * 425 / 850},
        {&egt, -50, 380 + 340 * 50 / 850}, // below the value bottom
        {&ecuTemp, -60, 380},
        {&ecuTemp, 65, 380 - 340 * 125 / 250},
        {&ecuTemp, -100, 380 + 340 * 40 / 250},
        {&throttle, 1200, 380 - 340 * 1200 / 2400},
        {&rpm, INT32_MAX, 40},
        {&rpm, INT32_MIN, 3 * 400}, // far below: three surface heights down
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Model::CurveY(*c.series, c.value, s, l), c.y) << c.value;
    }
}

TEST(CGraphTrackModel, LabelsShowTheValueAtTheirHeightInTheSeriesFormat) {
    Model::Scales s;
    s.value[Model::kScaleRpm] = 120000;
    s.value[Model::kScalePumpVol] = 12345;
    s.value[Model::kScaleRadioVol] = 3300;
    s.value[Model::kScaleEngineVol] = 3300;
    s.value[Model::kScalePressure] = 120000;
    s.value[Model::kScaleCurrent] = 607;
    s.value[Model::kScaleThrust] = 1234;
    s.maxEgt = 1000;
    struct Case {
        int32_t series, off, range;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 320, "0"},       {1, 0, 320, "0"},        {2, 0, 320, "-60"},
        {3, 0, 320, "-60"},     {4, 0, 320, "0.000"},    {5, 0, 320, "0.00"},
        {10, 0, 320, "0.0"},    {11, 0, 320, "0.0"},     {0, 320, 320, "120000"},
        {0, 32, 320, "12000"},  {1, 96, 320, "300"},     {2, 320, 320, "190"},
        {3, 64, 320, "-10"},    {4, 320, 320, "12.345"}, {4, 32, 320, "1.234"},
        {5, 160, 320, "16.50"}, {6, 32, 320, "3.30"},    {7, 160, 320, "1200"},
        {8, 320, 320, "2400"},  {9, 32, 320, "12000"},   {10, 320, 320, "60.7"},
        {10, 32, 320, "6.0"},   {11, 320, 320, "12.3"},  {11, 160, 320, "6.1"},
        {12, 32, 320, ""}, // series 12..17 have no labels
        {0, 0, 0, "0"},    // a plot without height divides by nothing
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Model::LabelText(c.series, c.off, c.range, s), c.text)
            << "series " << c.series << " at " << c.off;
    }
}

TEST(CGraphTrackModel, TimesAreCountedInSamplingPeriods) {
    EXPECT_EQ(Model::TimeText(7201, 2), "01:00:00.50");
    EXPECT_EQ(Model::TimeText(0, 2), "00:00:00.00");
    EXPECT_EQ(Model::TimeText(16 * 3661 + 4, 16), "01:01:01.25");
    EXPECT_EQ(Model::TimeText(100 * 59 + 99, 100), "00:00:59.99");
    EXPECT_EQ(Model::TimeText(3, 0), "00:00:03.00"); // no rate: one a second
}

TEST(CGraphTrackModel, StateAndErrorNamesComeFromTheRunLogTables) {
    EXPECT_EQ(Model::StateName(0, kEn), "Stop");
    EXPECT_EQ(Model::StateName(5, kEn), "Running");
    EXPECT_EQ(Model::StateName(6, kEn), "Coolling");
    EXPECT_EQ(Model::StateName(15, kEn), "Drain Fuel");
    EXPECT_EQ(Model::StateName(15, kZh), "排油");
    EXPECT_EQ(Model::StateName(17, kEn), "State 17");
    EXPECT_EQ(Model::StateName(17, kZh), "状态 17");
    EXPECT_EQ(Model::ErrorName(0, kEn), "Error: No");
    EXPECT_EQ(Model::ErrorName(19, kEn), "Error: Pump Limit");
    EXPECT_EQ(Model::ErrorName(25, kEn), "Error: 25");
    EXPECT_EQ(Model::ErrorName(25, kZh), "错误: 25");
}

// The texts of the box as the renderer draws them, by position.
std::string At(const std::vector<Model::BoxText>& texts, int32_t x, int32_t y) {
    for (const Model::BoxText& t : texts) {
        if (t.x == x && t.y == y) {
            return t.text;
        }
    }
    return "<none>";
}

TEST(CGraphTrackModel, TheCursorBoxOfAnAllZeroRecordReadsStopAndZeroTime) {
    const CDeviceECUTItem zero;
    const auto texts = Model::BoxTexts(zero, 2, nullptr, kEn);
    EXPECT_EQ(texts.front().text, "Stop");
    EXPECT_EQ(texts.front().color, Rgb(0, 0, 0));
    EXPECT_TRUE(texts.front().bold);
    EXPECT_EQ(At(texts, 5, 5), "Time:  00:00:00.00");
    EXPECT_EQ(At(texts, 5, 21), "RPM: 0");
    EXPECT_EQ(At(texts, 120, 53), "Voltage: 0.00");
    EXPECT_EQ(At(texts, 220, 53), "Pressure: 0 (0.00%)");
    EXPECT_EQ(At(texts, 5, 85), "Pump: Stop");
    EXPECT_EQ(At(texts, 220, 85), "Pump Rpm, 0");
    EXPECT_EQ(At(texts, 5, 117), "FuelPress: 0.000Mpa");
    EXPECT_EQ(At(texts, 5, 151), "Err.EningOnline: 0");
    EXPECT_EQ(At(texts, 260, 165), "<none>"); // no delta readout
    EXPECT_EQ(Model::BoxFill(zero), Rgb(225, 240, 196));
    for (const Model::BoxText& t : texts) {
        EXPECT_EQ(t.color, Rgb(0, 0, 0)) << t.text;
    }
}

TEST(CGraphTrackModel, TheCursorBoxReadsEveryFieldAndFlagsTheStatusWord) {
    CDeviceECUTItem r;
    r.counter = 7201;
    r.engine_state = 5;
    r.error_coe = 8 | (1 << 5) | (1 << 9); // EGT high, low voltage, engine link
    r.engine_rpm = 98000;
    r.temperature = 640;
    r.current = 123;
    r.engine_vol = 1207;
    r.pressure = 101300;
    r.thrust = 1505;
    r.pump_st = 2;
    r.fuel_press = 450;
    r.starter_vol = 118;
    CDeviceECUTItem older;
    older.engine_rpm = 97000;
    older.temperature = 655;
    const auto texts = Model::BoxTexts(r, 2, &older, kEn);
    EXPECT_EQ(texts.front().text, "Running [ Error: EGT High ]");
    EXPECT_EQ(texts.front().color, Rgb(200, 30, 30));
    EXPECT_EQ(At(texts, 5, 5), "Time:  01:00:00.50");
    EXPECT_EQ(At(texts, 5, 53), "Current: 12.3");
    EXPECT_EQ(At(texts, 120, 53), "Voltage: 12.07");
    EXPECT_EQ(At(texts, 220, 53), "Pressure: 101300 (1.00%)");
    EXPECT_EQ(At(texts, 220, 69), "Thrust: 15.05Kg");
    EXPECT_EQ(At(texts, 5, 85), "Pump: Run");
    EXPECT_EQ(At(texts, 5, 117), "FuelPress: 0.450Mpa");
    EXPECT_EQ(At(texts, 220, 101), "StarterVol: 11.8");
    EXPECT_EQ(At(texts, 260, 165), "1000");
    EXPECT_EQ(At(texts, 260, 181), "-15");
    EXPECT_EQ(Model::BoxFill(r), Rgb(225, 220, 180));
    const auto flagColour = [&](int32_t x, int32_t y) {
        for (const Model::BoxText& t : texts) {
            if (t.x == x && t.y == y) {
                return t.color;
            }
        }
        return Rgb(1, 2, 3);
    };
    EXPECT_EQ(flagColour(5, 151), Rgb(200, 30, 30)); // bit 9
    EXPECT_EQ(flagColour(5, 167), Rgb(200, 30, 30)); // bit 5
    EXPECT_EQ(flagColour(160, 151), Rgb(0, 0, 0));   // bit 7 clear
    EXPECT_EQ(At(texts, 5, 151), "Err.EningOnline: 1");
    EXPECT_EQ(At(texts, 160, 167), "Warn.LimitPumpCurent: 0");
    // A pump state outside 0..3 has no text; a status word without an error
    // code keeps the black title.
    r.pump_st = 7;
    r.error_coe = 1 << 8;
    const auto other = Model::BoxTexts(r, 2, nullptr, kZh);
    EXPECT_EQ(At(other, 5, 85), "<none>");
    EXPECT_EQ(other.front().text, "运行");
    EXPECT_EQ(other.front().color, Rgb(0, 0, 0));
}

TEST(CGraphTrackModel, ZoomStaysWithinOneToEight) {
    Model m;
    EXPECT_EQ(m.ZoomStep(), 4);
    EXPECT_FALSE(m.Zoom(0));
    int changes = 0;
    for (int i = 0; i < 10; ++i) {
        changes += m.Zoom(120) ? 1 : 0;
    }
    EXPECT_EQ(m.ZoomStep(), 8);
    EXPECT_EQ(changes, 4);
    EXPECT_FALSE(m.Zoom(1));
    for (int i = 0; i < 10; ++i) {
        (void)m.Zoom(-120);
    }
    EXPECT_EQ(m.ZoomStep(), 1);
    EXPECT_FALSE(m.Zoom(-1));
    // Zooming keeps the layout's left edge: only a new layout aligns it.
    m.SetHost({0, 0, 703, 422}, 703, 422);
    const int32_t left = m.GetLayout().plot.left;
    (void)m.Zoom(120);
    EXPECT_EQ(m.GetLayout().plot.left, left);
}

TEST(CGraphTrackModel, DraggingScrollsByWholeStepsWithinTheLog) {
    Model m;
    m.SetHost({100, 50, 800, 450}, 700, 400); // plot 9..690 x 20..380, host-relative
    const int32_t count = 1000;               // maximum scroll 830
    m.ButtonDown(100 + 300, 50 + 200);
    EXPECT_TRUE(m.Dragging());
    // 9 px to the right at 4 px a record: two records older, 1 px kept.
    Model::Move move = m.MouseMove(100 + 309, 50 + 200, count);
    EXPECT_TRUE(move.inside);
    EXPECT_TRUE(move.present);
    EXPECT_EQ(m.ScrollIndex(), 2);
    move = m.MouseMove(100 + 312, 50 + 200, count); // 12 px from the start: 3
    EXPECT_EQ(m.ScrollIndex(), 3);
    move = m.MouseMove(100 + 200, 50 + 200, count); // back left past the start
    EXPECT_EQ(m.ScrollIndex(), 0);
    // Far right: held at the oldest records that fill the plot.
    m.ButtonUp(100 + 200, 50 + 200);
    m.ButtonDown(100 + 10, 50 + 200);
    (void)m.MouseMove(100 + 689, 50 + 200, 200); // log of 200: maximum 30
    EXPECT_EQ(m.ScrollIndex(), 30);
    EXPECT_EQ(m.CursorX(), 689);
    EXPECT_TRUE(m.CursorShown());
    // Leaving the plot hides the cursor and ends the drag.
    move = m.MouseMove(100 + 5, 50 + 200, 200);
    EXPECT_FALSE(move.inside);
    EXPECT_TRUE(move.present);
    EXPECT_FALSE(m.CursorShown());
    EXPECT_FALSE(m.Dragging());
    EXPECT_EQ(m.CursorX(), -1);
    EXPECT_FALSE(m.MouseMove(100 + 5, 50 + 200, 200).present); // hidden already
    // A press outside the plot starts no drag.
    m.ButtonDown(100 + 3, 50 + 3);
    EXPECT_FALSE(m.Dragging());
}

TEST(CGraphTrackModel, AReleaseInTheTopRightCornerSwitchesTheDeltaReadoutOn) {
    Model m;
    m.SetHost({0, 0, 700, 400}, 700, 400); // plot right 690, top 20
    struct Case {
        int32_t x, y;
        bool on;
    };
    const Case cases[] = {
        {660, 21, false}, // x must be above right - 30
        {689, 20, false}, // y must be below the top
        {689, 50, false}, // and above top + 30
        {661, 49, true},
    };
    for (const Case& c : cases) {
        m.ButtonDown(c.x, c.y);
        m.ButtonUp(c.x, c.y);
        EXPECT_EQ(m.DeltaReadout(), c.on) << c.x << "," << c.y;
    }
    m.ButtonDown(300, 200);
    m.ButtonUp(300, 200);
    EXPECT_TRUE(m.DeltaReadout()); // stays on
}

TEST(CGraphTrackModel, TheCursorPicksItsRecordAndTheBoxTheOtherHalf) {
    Model m;
    m.SetHost({0, 0, 700, 400}, 700, 400); // plot 9..690
    (void)m.SetScroll(10, 1000);
    (void)m.MouseMove(690 - 1, 100, 1000);
    EXPECT_EQ(m.CursorRecordIndex(), 10);
    (void)m.MouseMove(690 - 9, 100, 1000);
    EXPECT_EQ(m.CursorRecordIndex(), 12);
    (void)m.MouseMove(345, 100, 1000); // right / 2: the left half
    EXPECT_EQ(m.CursorBoxLeft(), 690 - 371);
    (void)m.MouseMove(346, 100, 1000);
    EXPECT_EQ(m.CursorBoxLeft(), 9 + 1);
    // Scrolling is held within the log.
    EXPECT_TRUE(m.SetScroll(5000, 1000));
    EXPECT_EQ(m.ScrollIndex(), 1000 - 170);
    EXPECT_TRUE(m.SetScroll(-4, 1000));
    EXPECT_EQ(m.ScrollIndex(), 0);
    EXPECT_FALSE(m.SetScroll(0, 1000));
}

} // namespace
