// The history chart's drawing as a list of canvas calls (no pixels): what a
// redraw visits and draws, under which lock, in which order, and how the view
// keeps its records while the log grows.

#include "charts/CGraphTrack.h"
#include "foundation/CTextTable.h"
#include "records/CDeviceECUTracker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Model = CGraphTrackModel;

struct Log {
    struct Line {
        CanvasPen pen;
        int32_t x0, y0, x1, y1;
    };
    struct Text {
        int32_t x, y;
        std::string text;
        CanvasColor color;
    };
    std::vector<Line> lines;
    std::vector<Text> texts;
    int blends = 0;
    int unlockedDraws = 0; // drawing steps begun while the tracker's lock was free
    int checks = 0;
};

// A surface that records what is drawn on it, and whether the tracker's lock
// is held meanwhile.
class RecordingCanvas : public ICanvas {
public:
    RecordingCanvas(int32_t w, int32_t h, Log& log, CMMutex* lock)
        : m_size{w, h}
        , m_log(log)
        , m_lock(lock) {}

    CanvasSize Size() const override { return m_size; }
    int32_t DpiY() const override { return 96; }
    // Every drawing step selects its pen or font: the lock is checked there
    // (a check costs a thread switch, too many for every line).
    CanvasPen SelectPen(const CanvasPen& pen) override {
        Check();
        return std::exchange(m_pen, pen);
    }
    CanvasFont SelectFont(const CanvasFont& font) override {
        Check();
        return std::exchange(m_font, font);
    }
    const CanvasPen& Pen() const override { return m_pen; }
    const CanvasFont& Font() const override { return m_font; }
    void MoveTo(int32_t x, int32_t y) override {
        m_x = x;
        m_y = y;
    }
    void LineTo(int32_t x, int32_t y) override {
        m_log.lines.push_back({m_pen, m_x, m_y, x, y});
        m_x = x;
        m_y = y;
    }
    void Rectangle(int32_t, int32_t, int32_t, int32_t) override {}
    void FillRect(int32_t, int32_t, int32_t, int32_t, CanvasColor) override {}
    CanvasColor SetTextColor(CanvasColor c) override { return std::exchange(m_text, c); }
    bool SetTransparentText(bool t) override { return std::exchange(m_transparent, t); }
    void TextOut(int32_t x, int32_t y, std::string_view text) override {
        m_log.texts.push_back({x, y, std::string(text), m_text});
    }
    CanvasSize TextExtent(std::string_view text) const override {
        return {8 * static_cast<int32_t>(text.size()), 16};
    }
    std::unique_ptr<ICanvas> CreateCompatible(int32_t w, int32_t h) const override {
        return std::make_unique<RecordingCanvas>(w, h, m_log, m_lock);
    }
    void AlphaBlend(
        int32_t, int32_t, const ICanvas&, int32_t, int32_t, int32_t, int32_t, uint8_t) override {
        ++m_log.blends;
    }
    CanvasColor PixelAt(int32_t, int32_t) const override { return 0; }

private:
    // Records a call made while the lock could be taken, i.e. was free.
    void Check() {
        ++m_log.checks;
        if (m_lock != nullptr && m_lock->TryLock(0) == 1) {
            m_lock->Unlock();
            ++m_log.unlockedDraws;
        }
    }

    CanvasSize m_size;
    Log& m_log;
    CMMutex* m_lock;
    CanvasPen m_pen;
    CanvasFont m_font;
    CanvasColor m_text = 0;
    bool m_transparent = false;
    int32_t m_x = 0;
    int32_t m_y = 0;
};

class RecordingHost : public ICanvasHost {
public:
    RecordingHost(int32_t w, int32_t h, CMMutex* lock)
        : m_size{w, h}
        , m_lock(lock) {}
    CanvasSize HostSize() const override { return m_size; }
    CanvasRect HostRect() const override { return {0, 0, m_size.width, m_size.height}; }
    bool HostVisible() const override { return visible; }
    std::unique_ptr<ICanvas> CreateSurface(int32_t w, int32_t h) override {
        return std::make_unique<RecordingCanvas>(w, h, log, m_lock);
    }
    void BlockCopy(const ICanvas&) override { ++copies; }

    Log log;
    bool visible = true;
    int copies = 0;

private:
    CanvasSize m_size;
    CMMutex* m_lock;
};

// A log of count records, counters first..first + count - 1; RPM = 10 x counter.
void Fill(CDeviceECUTracker& tracker, uint32_t first, uint32_t count) {
    for (uint32_t c = first; c < first + count; ++c) {
        CDeviceECUTItem r;
        r.counter = c;
        r.engine_rpm = static_cast<int32_t>(10 * c);
        r.temperature = 300;
        (void)tracker.addCopy(r);
    }
}

struct Rig {
    CDeviceECUTracker tracker;
    RecordingHost host{700, 400, &tracker.getLock()}; // plot 9..690, 171 points at zoom 4
    CGraphTrack chart;

    explicit Rig(uint32_t records) {
        Fill(tracker, 0, records);
        chart.attach(&host, &tracker, [] { return 1000; });
    }
    // The polylines drawn by the last present, as the pens they used.
    std::vector<Log::Line> Curves(CanvasColor color) const {
        std::vector<Log::Line> out;
        for (const Log::Line& l : host.log.lines) {
            if (l.pen.color == color && l.pen.width > 1) {
                out.push_back(l);
            }
        }
        return out;
    }
    void Present() {
        host.log = {};
        chart.present();
    }
    bool Drew(const std::string& text) const {
        for (const Log::Text& t : host.log.texts) {
            if (t.text == text) {
                return true;
            }
        }
        return false;
    }
};

TEST(CGraphTrack, ARedrawVisitsOnlyTheVisibleRecordsWithTheTrackersLockHeld) {
    Rig rig(1000);
    rig.chart.setScroll(100);
    const int copies = rig.host.copies;
    rig.Present();
    EXPECT_EQ(rig.host.copies, copies + 1);
    EXPECT_GT(rig.host.log.checks, 18);
    EXPECT_EQ(rig.host.log.unlockedDraws, 0);
    const auto rpm = rig.Curves(Model::SeriesAt(0).color);
    const Model::Layout& l = rig.chart.model().GetLayout();
    ASSERT_EQ(rpm.size(), static_cast<size_t>(Model::CurvePoints(l, 4) - 1)); // 170 segments
    // The record at the scroll index (counter 899) at curve right, the older
    // ones to the left of it, one step apart.
    Model::Scales s = Model::FixedScales(rig.tracker, 1000);
    EXPECT_EQ(rpm.front().x0, l.curveRight);
    EXPECT_EQ(rpm.front().y0, Model::CurveY(Model::SeriesAt(0), 8990, s, l));
    EXPECT_EQ(rpm.front().x1, l.curveRight - 4);
    EXPECT_EQ(rpm.back().x1, l.curveRight - 170 * 4);
    EXPECT_EQ(rpm.back().y1, Model::CurveY(Model::SeriesAt(0), 10 * (899 - 170), s, l));
    // Scrolled into the older half (its records are found from the oldest).
    rig.chart.setScroll(820);
    rig.Present();
    const auto older = rig.Curves(Model::SeriesAt(0).color);
    ASSERT_EQ(older.size(), rpm.size());
    EXPECT_EQ(older.front().y0, Model::CurveY(Model::SeriesAt(0), 10 * (999 - 820), s, l));
    EXPECT_EQ(older.back().y1, Model::CurveY(Model::SeriesAt(0), 10 * (999 - 820 - 170), s, l));
}

TEST(CGraphTrack, CurvesAreDrawnInTheirOrderWithTheirPens) {
    Rig rig(50);
    // Series 2 (ECU temperature) before 11 (thrust), 0 and 4 before both,
    // 12 (pump RPM) between 4 and 2; 9 hidden.
    rig.chart.setSeriesMask((1u << 0) | (1u << 2) | (1u << 4) | (1u << 11) | (1u << 12));
    rig.Present();
    std::vector<CanvasColor> order;
    for (const Log::Line& l : rig.host.log.lines) {
        const bool grid = l.pen.color == Rgb(240, 240, 240) || l.pen.style == CanvasPen::kDot;
        if (!grid && (order.empty() || order.back() != l.pen.color)) {
            order.push_back(l.pen.color);
        }
    }
    const std::vector<CanvasColor> expected = {Model::SeriesAt(0).color,
                                               Model::SeriesAt(4).color,
                                               Model::SeriesAt(12).color,
                                               Model::SeriesAt(2).color,
                                               Model::SeriesAt(11).color};
    EXPECT_EQ(order, expected);
    for (const Log::Line& l : rig.Curves(Model::SeriesAt(12).color)) {
        EXPECT_EQ(l.pen.width, 3);
    }
    // Legend and labels only for the shown series 0..11, in their colours.
    for (const Log::Text& t : rig.host.log.texts) {
        if (t.y == rig.chart.model().GetLayout().plot.top - 20) {
            EXPECT_TRUE(t.color == Model::SeriesAt(0).color ||
                        t.color == Model::SeriesAt(2).color ||
                        t.color == Model::SeriesAt(4).color || t.color == Model::SeriesAt(11).color)
                << t.text;
        }
    }
}

TEST(CGraphTrack, AnEmptyLogDrawsFrameLabelsLegendCountAndAnAllZeroCursorBox) {
    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    Rig rig(0);
    (void)rig.chart.mouseMove(300, 200);
    rig.Present();
    for (const Log::Line& l : rig.host.log.lines) {
        EXPECT_TRUE(l.pen.width == 1) << "a curve segment in an empty log";
    }
    const Model::Layout& l = rig.chart.model().GetLayout();
    EXPECT_TRUE(rig.Drew("NUM:0"));
    EXPECT_TRUE(rig.Drew("-60"));
    EXPECT_TRUE(rig.Drew("0.000"));
    int legend = 0;
    for (const Log::Text& t : rig.host.log.texts) {
        legend += t.y == l.plot.top - 20 ? 1 : 0;
        if (t.text == "NUM:0") {
            EXPECT_EQ(t.x, l.plot.left + 2);
            EXPECT_EQ(t.y, l.plot.bottom + 3);
        }
    }
    EXPECT_EQ(legend, Model::kLabelledSeries);
    EXPECT_TRUE(rig.Drew("Stop"));
    EXPECT_TRUE(rig.Drew("Time:  00:00:00.00"));
    EXPECT_EQ(rig.host.log.blends, 1);
    EXPECT_EQ(rig.host.log.unlockedDraws, 0);
}

TEST(CGraphTrack, TheLoadingTextIsCentredAndCountsTheRecords) {
    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    Rig rig(37);
    rig.host.log = {};
    rig.chart.setLoading(1);
    EXPECT_EQ(rig.host.copies, 1);
    const CanvasRect& p = rig.chart.model().GetLayout().plot;
    const std::string text = "Loading[37]";
    bool found = false;
    for (const Log::Text& t : rig.host.log.texts) {
        if (t.text == text) {
            found = true;
            EXPECT_EQ(t.x, p.left + (p.Width() - 8 * static_cast<int32_t>(text.size())) / 2);
            EXPECT_EQ(t.y, p.top + (p.Height() - 16) / 2);
        }
    }
    EXPECT_TRUE(found);
    rig.chart.setLoading(1); // unchanged: no redraw
    EXPECT_EQ(rig.host.copies, 1);
    rig.host.log = {};
    rig.chart.setLoading(0);
    EXPECT_EQ(rig.host.copies, 2);
    EXPECT_FALSE(rig.Drew(text));
}

TEST(CGraphTrack, AHiddenHostIsNotDrawnAndARelayoutIsNotShown) {
    Rig rig(10);
    rig.host.visible = false;
    rig.chart.present();
    EXPECT_EQ(rig.host.copies, 0);
    EXPECT_TRUE(rig.host.log.texts.empty());
    rig.chart.relayout();
    EXPECT_EQ(rig.host.copies, 0);
    EXPECT_FALSE(rig.host.log.texts.empty());
}

// New records are newer than the view's: a view of the newest records
// follows them, a view scrolled back keeps the record at its right edge.
TEST(CGraphTrack, ArrivingRecordsKeepTheViewOnItsRecords) {
    Rig rig(600); // counters 0..599; maximum scroll 430
    rig.chart.setScroll(50);
    const uint32_t shown = rig.tracker.getItem(50)->counter;
    Fill(rig.tracker, 600, 20);
    rig.chart.recordsChanged();
    EXPECT_EQ(rig.chart.scrollIndex(), 70);
    EXPECT_EQ(rig.tracker.getItem(rig.chart.scrollIndex())->counter, shown);
    // Redraws between two notifications keep it too.
    Fill(rig.tracker, 620, 5);
    rig.Present();
    EXPECT_EQ(rig.chart.scrollIndex(), 75);
    const auto rpm = rig.Curves(Model::SeriesAt(0).color);
    ASSERT_FALSE(rpm.empty());
    const Model::Scales s = Model::FixedScales(rig.tracker, 1000);
    EXPECT_EQ(rpm.front().y0,
              Model::CurveY(Model::SeriesAt(0),
                            static_cast<int32_t>(10 * shown),
                            s,
                            rig.chart.model().GetLayout()));

    // At the newest records the view stays there.
    rig.chart.setScroll(0);
    Fill(rig.tracker, 625, 5);
    rig.chart.recordsChanged();
    rig.Present();
    EXPECT_EQ(rig.chart.scrollIndex(), 0);

    // A replaced log (the anchor's record is gone) keeps the index.
    rig.chart.setScroll(40);
    {
        CMLockGuard lock(rig.tracker.getLock());
        rig.tracker.clear();
    }
    Fill(rig.tracker, 5000, 600);
    rig.chart.recordsChanged();
    EXPECT_EQ(rig.chart.scrollIndex(), 40);
}

} // namespace
