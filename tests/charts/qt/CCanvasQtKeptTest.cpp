// What the canvas keeps between redraws (the pixels of texts drawn again at
// the same place, text widths, which parts are still filled, where a new
// picture may differ from the last) must not change a pixel: every case is
// drawn on a canvas that keeps nothing (SetCaching(false)) and on one that
// keeps it all, and the two pictures are compared byte for byte, over
// several redraws, so that the kept state is both taken and reused.

#include "charts/CGraphDraw.h"
#include "charts/CGraphPump.h"
#include "charts/CGraphRpmTemp.h"
#include "charts/CGraphTrack.h"
#include "charts/qt/CCanvasQt.h"
#include "charts/qt/CCanvasWidget.h"
#include "charts/qt/CRecentCache.h"
#include "foundation/CTextTable.h"
#include "records/CDeviceECUTracker.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QScreen>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr CanvasColor kWhite = Rgb(255, 255, 255);

// The first pixel where a and b differ, as text; "" when they are equal.
std::string FirstDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return "sizes differ";
    }
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((pa[x] & 0xFFFFFF) != (pb[x] & 0xFFFFFF)) {
                return "at " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return {};
}

// A kept and a fresh canvas side by side, drawn with the same calls.
struct Pair {
    Pair(int32_t width, int32_t height)
        : kept(width, height)
        , fresh(width, height) {
        fresh.SetCaching(false);
    }
    void Draw(const std::function<void(ICanvas&)>& draw) {
        draw(kept);
        draw(fresh);
    }
    [[nodiscard]] std::string Difference() const {
        return FirstDifference(kept.Image(), fresh.Image());
    }
    CCanvasQt kept;
    CCanvasQt fresh;
};

TEST(CCanvasQtKept, TextsDrawnAgainGiveThePixelsOfDrawingThemAfresh) {
    const std::vector<std::string> texts = {"Rpm:123456",
                                            "EGT:463℃",
                                            "Thrust:12.34Kg",
                                            "推力:4.06Kg",
                                            "发电机输出: 9.2V",
                                            "AVWAfiffl Ty jj",
                                            "没有数据！"};
    struct Font {
        const char* face;
        int32_t height;
        int32_t weight;
        bool cell;
    };
    // Glyph images below 64 pixels, outlines above.
    const Font fonts[] = {{"", 17, 400, false},
                          {"Arial", 15, 700, true},
                          {"", 64, 400, false},
                          {"", 65, 400, false},
                          {"", 104, 400, false},
                          {"Arial", 140, 700, true}};
    // Inside, and partly beyond each edge of the 900 x 420 surface.
    const CanvasSize places[] = {{20, 30}, {-25, 100}, {300, -40}, {700, 350}, {40, 390}};
    for (const Font& f : fonts) {
        for (const std::string& text : texts) {
            for (const CanvasSize& at : places) {
                for (bool transparent : {false, true}) {
                    Pair pair(900, 420);
                    // Redraws over a background that changes, in another colour
                    // each time: the text drawn afresh, left out (nothing of it
                    // may stay), drawn again (its pixels taken), once more
                    // (reused), and left out again.
                    for (int round = 0; round < 5; ++round) {
                        pair.Draw([&](ICanvas& c) {
                            c.FillRect(0, 0, 900, 420, kWhite);
                            c.SelectPen({CanvasPen::kSolid, 1, Rgb(200, 10, 10)});
                            for (int32_t y = 5 + round; y < 420; y += 45) {
                                c.MoveTo(0, y);
                                c.LineTo(900, y);
                            }
                            c.FillRect(at.width + 10 * round,
                                       at.height,
                                       at.width + 60,
                                       at.height + 30,
                                       Rgb(30, 200, 30));
                            c.SelectFont({f.face, f.height, f.weight, f.cell});
                            c.SetTransparentText(transparent);
                            c.SetTextColor(Rgb(static_cast<uint8_t>(80 * round), 20, 200));
                            if (round != 1 && round != 4) {
                                c.TextOut(at.width, at.height, text);
                            }
                        });
                        ASSERT_EQ(pair.Difference(), "")
                            << text << " in " << f.face << " " << f.height << " at " << at.width
                            << "," << at.height << (transparent ? " transparent" : " opaque")
                            << ", round " << round;
                    }
                    EXPECT_EQ(pair.kept.TextExtent(text), pair.fresh.TextExtent(text)) << text;
                }
            }
        }
    }
}

TEST(CCanvasQtKept, FillsOverWhatIsStillFilledAndRedrawsOfTheSameFillChangeNoPixel) {
    Pair pair(300, 200);
    for (int round = 0; round < 6; ++round) {
        pair.Draw([&](ICanvas& c) {
            // Every other redraw in another colour: the whole fill may cover
            // only what was drawn on it when the colour is the same.
            c.FillRect(0, 0, 300, 200, round % 3 == 2 ? Rgb(1, 2, 3) : kWhite);
            c.SelectPen({CanvasPen::kSolid, 1 + round % 3, Rgb(0, 0, 0)});
            c.Rectangle(20 + round, 20, 120, 90);            // white inside
            c.FillRect(40, 40, 60 + 10 * round, 60, kWhite); // over the frame's inside, or past it
            c.MoveTo(10, 150 - 10 * round);
            c.LineTo(290, 10 + 20 * round);
            c.FillRect(130, 100, 200, 150, kWhite); // where the line may have passed
            c.SelectPen({CanvasPen::kDot, 1, Rgb(9, 9, 9)});
            c.MoveTo(5, 195);
            c.LineTo(295, 195 - 5 * round);
            c.FillRect(0, 190, 300, 200, kWhite);
        });
        ASSERT_EQ(pair.Difference(), "") << "round " << round;
    }
}

// A host of surfaces of one kind (kept or fresh) that holds on to the last
// picture it was given, as the host control does.
class PictureHost : public ICanvasHost {
public:
    PictureHost(CanvasSize size, bool keep)
        : m_size(size)
        , m_keep(keep) {}
    [[nodiscard]] CanvasSize HostSize() const override { return m_size; }
    [[nodiscard]] CanvasRect HostRect() const override {
        return {0, 0, m_size.width, m_size.height};
    }
    [[nodiscard]] bool HostVisible() const override { return true; }
    [[nodiscard]] std::unique_ptr<ICanvas> CreateSurface(int32_t width, int32_t height) override {
        auto surface = std::make_unique<CCanvasQt>(width, height);
        surface->SetCaching(m_keep);
        return surface;
    }
    void BlockCopy(const ICanvas& surface) override {
        shown = static_cast<const CCanvasQt&>(surface).Image();
    }
    QImage shown;

private:
    CanvasSize m_size;
    bool m_keep;
};

CLiveSample Wave(int32_t i) {
    CLiveSample s;
    s.rpm = static_cast<uint32_t>(90000 + 50000 * std::sin(i / 40.0));
    s.egt = static_cast<int16_t>(600 + 150 * std::sin(i / 55.0));
    s.pump_voltage = static_cast<uint16_t>(150 + 100 * std::sin(i / 30.0));
    s.thrust = static_cast<float>(6 + 5 * std::sin(i / 40.0));
    return s;
}

TEST(CCanvasQtKept, TheLiveChartIsTheSameDrawnWithOrWithoutWhatTheCanvasKeeps) {
    for (int32_t language : {CTextTable::kEnglish, CTextTable::kChinese}) {
        for (CanvasSize size : {CanvasSize{1037, 482}, CanvasSize{1600, 900}}) {
            CTextTable texts;
            texts.SetLanguage(language);
            uint32_t now = 0;
            PictureHost keptHost(size, true);
            PictureHost freshHost(size, false);
            CGraphDraw kept(texts, [&] { return now; });
            CGraphDraw fresh(texts, [&] { return now; });
            kept.Attach(&keptHost);
            fresh.Attach(&freshHost);
            for (int32_t i = 0; i < 40; ++i) {
                now += 100;
                for (CGraphDraw* g : {&kept, &fresh}) {
                    // The state line stays, the current changes now and then,
                    // the values in the titles at every sample but repeat.
                    g->SetStateLine(language == CTextTable::kEnglish ? "Running" : "运行中",
                                    Rgb(0, 128, 0),
                                    i < 20 ? 3.4f : 12.5f);
                    g->SetFaultLine("Error: No", Rgb(0, 0, 255));
                    g->SetAlternator(i % 10 < 5, 13.9f);
                    g->AddSample(Wave(i % 7 * 11));
                }
                ASSERT_EQ(FirstDifference(keptHost.shown, freshHost.shown), "")
                    << size.width << "x" << size.height << " language " << language << " sample "
                    << i;
            }
        }
    }
}

TEST(CCanvasQtKept, ThePumpAndRpmTemperatureChartsAreTheSameWithOrWithoutIt) {
    Pair pump(1200, 700);
    CPumpSamples samples;
    for (int32_t i = 0; i < 400; ++i) {
        samples.Append({5000 + (i * 37) % 3000, 150 + (i * 13) % 100});
        if (i % 50 == 1) {
            pump.Draw([&](ICanvas& c) { CGraphPump::Draw(c, samples); });
            ASSERT_EQ(pump.Difference(), "") << "pump, sample " << i;
        }
    }
    Pair rpm(1200, 700);
    CRpmTempBins bins;
    bins.SetRange(50000, 160000);
    for (int32_t j = 0; j < 111; j += 7) {
        bins.AddSample(50000 + 1000 * j, 400 + 5 * j, static_cast<uint16_t>(50 + 40 * j), 0.1f * j);
        rpm.Draw([&](ICanvas& c) { CGraphRpmTemp::Draw(c, bins); });
        ASSERT_EQ(rpm.Difference(), "") << "rpm vs temperature, bin " << j;
    }
}

TEST(CCanvasQtKept, TheHistoryChartIsTheSameWithOrWithoutIt) {
    CDeviceECUTracker tracker;
    for (int32_t i = 0; i < 3000; ++i) {
        CDeviceECUTItem r;
        r.counter = static_cast<uint32_t>(i);
        r.engine_rpm = static_cast<int32_t>(60000 + 40000 * std::sin(i / 50.0));
        r.temperature = static_cast<int32_t>(500 + 200 * std::sin(i / 70.0));
        r.pump_vol = 2000 + i % 500;
        r.thrust = i % 1300;
        (void)tracker.addCopy(r);
    }
    const CanvasSize size{1300, 700};
    PictureHost keptHost(size, true);
    PictureHost freshHost(size, false);
    CGraphTrack kept;
    CGraphTrack fresh;
    kept.attach(&keptHost, &tracker, [] { return 900; });
    fresh.attach(&freshHost, &tracker, [] { return 900; });
    const auto same = [&](const char* step) {
        kept.present();
        fresh.present();
        ASSERT_EQ(FirstDifference(keptHost.shown, freshHost.shown), "") << step;
    };
    same("first");
    for (CGraphTrack* c : {&kept, &fresh}) {
        c->setSeriesMask(CGraphTrackModel::kAllSeries);
    }
    same("all series");
    const CanvasRect plot = kept.model().GetLayout().plot;
    for (int32_t k = 0; k < 4; ++k) {
        for (CGraphTrack* c : {&kept, &fresh}) {
            (void)c->mouseMove(plot.left + 40 + 300 * k, plot.top + 30 + 100 * k);
        }
        same("cursor");
    }
    for (CGraphTrack* c : {&kept, &fresh}) {
        (void)c->zoom(1);
        c->setScroll(700);
        c->setLoading(1);
    }
    same("zoomed, scrolled, loading");
}

// Where the host control repaints: every pixel that differs from the
// picture it showed lies in the region the canvas names, and a redraw that
// changes a small part names a small part.
TEST(CCanvasQtKept, TheChangedRegionCoversEveryPixelThatChanged) {
    CCanvasWidget host;
    host.resize(400, 300);
    std::unique_ptr<ICanvas> surface = host.CreateSurface(400, 300);
    auto& canvas = static_cast<CCanvasQt&>(*surface);
    QImage before;
    for (int round = 0; round < 8; ++round) {
        canvas.FillRect(0, 0, 400, 300, round == 5 ? Rgb(0, 0, 255) : kWhite);
        canvas.SelectPen({CanvasPen::kSolid, 2, Rgb(0, 0, 0)});
        canvas.MoveTo(10, 10 + 7 * round);
        canvas.LineTo(200, 40 + 3 * round);
        canvas.SelectFont({"", 20, 400, true});
        canvas.TextOut(250, 200, round % 2 == 0 ? "1234" : "5678");
        if (!before.isNull()) {
            const QRegion changed = canvas.ChangedFrom(before);
            const QImage& now = canvas.Image();
            for (int y = 0; y < 300; ++y) {
                for (int x = 0; x < 400; ++x) {
                    if (now.pixel(x, y) != before.pixel(x, y)) {
                        ASSERT_TRUE(changed.contains(QPoint(x, y)))
                            << x << "," << y << " round " << round;
                    }
                }
            }
            // The fill changed colour (round 5) or went back (6): all of it.
            const bool whole = round == 5 || round == 6;
            if (whole) {
                EXPECT_EQ(changed, QRegion(0, 0, 400, 300)) << "round " << round;
            } else {
                EXPECT_FALSE(changed.contains(QPoint(390, 290))) << "round " << round;
                EXPECT_LT(changed.boundingRect().bottom(), 240) << "round " << round;
            }
        }
        host.BlockCopy(canvas);
        before = host.Shown();
        EXPECT_EQ(FirstDifference(host.Shown(), canvas.Image()), "");
    }
}

TEST(CRecentCache, KeepsWhatIsUsedAgainAndAtMostTwiceItsCapacity) {
    CRecentCache<int> cache(3);
    for (int i = 0; i < 3; ++i) {
        (void)cache.Insert("k" + std::to_string(i), i);
    }
    // Full: the next insert starts a new generation, the three stay older.
    (void)cache.Insert("k3", 3);
    ASSERT_NE(cache.Find("k0"), nullptr); // used again: back into the newer one
    EXPECT_EQ(*cache.Find("k0"), 0);
    (void)cache.Insert("k4", 4); // newer: k3, k0, k4 (full)
    (void)cache.Insert("k5", 5); // older: k3, k0, k4; k1 and k2 are gone
    EXPECT_EQ(cache.Find("k1"), nullptr);
    EXPECT_EQ(cache.Find("k2"), nullptr);
    ASSERT_NE(cache.Find("k4"), nullptr);
    EXPECT_EQ(*cache.Find("k4"), 4);
    EXPECT_LE(cache.Size(), 6u);
    for (int i = 10; i < 100; ++i) {
        (void)cache.Insert("k" + std::to_string(i), i);
        EXPECT_LE(cache.Size(), 6u);
    }
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(cache.Find("k99"), nullptr);
}

} // namespace

// What the screen shows after redraws that repaint only what changed is the
// last picture, every pixel of it.
TEST(CCanvasQtKept, TheScreenShowsTheWholeLastPictureAfterPartialRepaints) {
    CCanvasWidget host;
    host.resize(360, 240);
    host.show();
    QCoreApplication::processEvents();
    std::unique_ptr<ICanvas> surface = host.CreateSurface(360, 240);
    for (int round = 0; round < 6; ++round) {
        surface->FillRect(0, 0, 360, 240, kWhite);
        surface->SelectPen({CanvasPen::kSolid, 2, Rgb(200, 0, 0)});
        surface->MoveTo(10, 20 + 30 * round);
        surface->LineTo(340, 200 - 25 * round);
        surface->SelectFont({"", 18, 400, true});
        surface->TextOut(20 + 40 * (round % 3), 100, "Rpm:" + std::to_string(1000 * round));
        host.BlockCopy(*surface);
        QCoreApplication::processEvents(); // the paint
        const QImage screen =
            host.screen()->grabWindow(host.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(FirstDifference(screen.copy(0, 0, 360, 240),
                                  static_cast<const CCanvasQt&>(*surface).Image()),
                  "")
            << "round " << round;
    }
}
