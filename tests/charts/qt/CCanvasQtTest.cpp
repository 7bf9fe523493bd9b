#include "charts/qt/CCanvasQt.h"
#include "charts/qt/CCanvasWidget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr CanvasColor kWhite = Rgb(255, 255, 255);
constexpr CanvasColor kRed = Rgb(255, 0, 0);
constexpr CanvasColor kBlack = Rgb(0, 0, 0);

int CountColour(const ICanvas& c, CanvasColor colour) {
    int n = 0;
    for (int32_t y = 0; y < c.Size().height; ++y) {
        for (int32_t x = 0; x < c.Size().width; ++x) {
            n += c.PixelAt(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

TEST(CCanvasQt, ColoursAreRedGreenBlueLowByteFirst) {
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(RedOf(Rgb(1, 2, 3)), 1);
    EXPECT_EQ(GreenOf(Rgb(1, 2, 3)), 2);
    EXPECT_EQ(BlueOf(Rgb(1, 2, 3)), 3);
    CCanvasQt c(4, 4);
    c.FillRect(0, 0, 1, 1, Rgb(10, 20, 30));
    EXPECT_EQ(c.PixelAt(0, 0), Rgb(10, 20, 30));
    EXPECT_EQ(c.PixelAt(1, 1), kWhite); // a new surface is white
    EXPECT_EQ(c.PixelAt(-1, 0), 0u);
}

TEST(CCanvasQt, LinesLeaveOutTheirEndPixel) {
    CCanvasQt c(20, 20);
    c.SelectPen({CanvasPen::kSolid, 1, kRed});
    c.MoveTo(2, 5);
    c.LineTo(9, 5); // horizontal: 2..8
    EXPECT_EQ(c.PixelAt(2, 5), kRed);
    EXPECT_EQ(c.PixelAt(8, 5), kRed);
    EXPECT_EQ(c.PixelAt(9, 5), kWhite);
    c.LineTo(9, 12); // vertical from the current position: 9,5..9,11
    EXPECT_EQ(c.PixelAt(9, 5), kRed);
    EXPECT_EQ(c.PixelAt(9, 11), kRed);
    EXPECT_EQ(c.PixelAt(9, 12), kWhite);
    EXPECT_EQ(CountColour(c, kRed), 7 + 7);
    c.MoveTo(0, 0);
    c.LineTo(4, 4); // diagonal: 0..3
    EXPECT_EQ(c.PixelAt(3, 3), kRed);
    EXPECT_EQ(c.PixelAt(4, 4), kWhite);
    c.MoveTo(15, 15);
    c.LineTo(15, 15); // zero length: nothing
    EXPECT_EQ(c.PixelAt(15, 15), kWhite);
}

TEST(CCanvasQt, StraightLinesInEveryDirectionAndClipped) {
    // Each line covers its start and stops one pixel short of its end,
    // whichever way it runs, and only its pixels inside the surface.
    struct Case {
        int32_t x0, y0, x1, y1;
        int expected; // red pixels
        int32_t firstX, firstY, lastX, lastY;
    };
    const Case cases[] = {
        {9, 5, 2, 5, 7, 9, 5, 3, 5},     // right to left: 9..3
        {4, 12, 4, 3, 9, 4, 12, 4, 4},   // upwards: 12..4
        {-5, 2, 4, 2, 4, 0, 2, 3, 2},    // starts left of the surface
        {15, 3, 25, 3, 5, 15, 3, 19, 3}, // runs off the right edge
        {7, -3, 7, 30, 20, 7, 0, 7, 19}, // through the whole height
        {3, 25, 9, 25, 0, 0, 0, 0, 0},   // below the surface
    };
    for (const Case& c : cases) {
        CCanvasQt s(20, 20);
        s.SelectPen({CanvasPen::kSolid, 1, kRed});
        s.MoveTo(c.x0, c.y0);
        s.LineTo(c.x1, c.y1);
        EXPECT_EQ(CountColour(s, kRed), c.expected) << c.x0 << "," << c.y0;
        if (c.expected > 0) {
            EXPECT_EQ(s.PixelAt(c.firstX, c.firstY), kRed) << c.x0 << "," << c.y0;
            EXPECT_EQ(s.PixelAt(c.lastX, c.lastY), kRed) << c.x0 << "," << c.y0;
        }
    }
}

TEST(CCanvasQt, DottedLinesAlternateThreeOnThreeOff) {
    CCanvasQt c(20, 3);
    c.SelectPen({CanvasPen::kDot, 1, kBlack});
    c.MoveTo(0, 1);
    c.LineTo(12, 1);
    std::string row;
    for (int32_t x = 0; x < 13; ++x) {
        row += c.PixelAt(x, 1) == kBlack ? '#' : '.';
    }
    EXPECT_EQ(row, "###...###....");
}

TEST(CCanvasQt, RectangleOutlinesInsideItsRightAndBottomAndFillsWhite) {
    CCanvasQt c(12, 12);
    c.FillRect(0, 0, 12, 12, kRed);
    c.SelectPen({CanvasPen::kSolid, 1, kBlack});
    c.Rectangle(2, 3, 8, 9); // outline on x 2 and 7, y 3 and 8
    for (int32_t x = 2; x <= 7; ++x) {
        EXPECT_EQ(c.PixelAt(x, 3), kBlack) << x;
        EXPECT_EQ(c.PixelAt(x, 8), kBlack) << x;
    }
    for (int32_t y = 3; y <= 8; ++y) {
        EXPECT_EQ(c.PixelAt(2, y), kBlack) << y;
        EXPECT_EQ(c.PixelAt(7, y), kBlack) << y;
    }
    EXPECT_EQ(c.PixelAt(3, 4), kWhite);
    EXPECT_EQ(c.PixelAt(6, 7), kWhite);
    EXPECT_EQ(c.PixelAt(8, 5), kRed);
    EXPECT_EQ(c.PixelAt(5, 9), kRed);
    EXPECT_EQ(CountColour(c, kBlack), 2 * 6 + 2 * 4);
}

TEST(CCanvasQt, FillRectCoversLeftToRightMinusOneAndClips) {
    CCanvasQt c(10, 10);
    c.FillRect(1, 1, 4, 3, kRed);
    EXPECT_EQ(CountColour(c, kRed), 3 * 2);
    EXPECT_EQ(c.PixelAt(3, 2), kRed);
    EXPECT_EQ(c.PixelAt(4, 2), kWhite);
    c.FillRect(5, 5, 5, 9, kBlack);   // empty
    c.FillRect(8, 8, 30, 30, kBlack); // clipped
    EXPECT_EQ(CountColour(c, kBlack), 4);
}

TEST(CCanvasQt, CellHeightFontsMeasureTheirHeight) {
    CCanvasQt c(200, 50);
    for (int32_t height : {15, 16, 20}) {
        c.SelectFont({"Arial", height, 400, true});
        const CanvasSize e = c.TextExtent("NUM:123");
        EXPECT_NEAR(e.height, height, 1) << height;
        EXPECT_GT(e.width, 0);
    }
    const CanvasFont previous = c.SelectFont(CanvasFont::FromPointSize(100, c.DpiY()));
    EXPECT_EQ(previous.height, 20);
    EXPECT_EQ(c.Font().height, 100 * 96 / 720); // 13 px character height
    EXPECT_GT(c.TextExtent("x").height, c.Font().height - 1);
}

TEST(CCanvasQt, OpaqueTextFillsItsCellTransparentTextDoesNot) {
    CCanvasQt c(100, 30);
    c.SelectFont({"Arial", 16, 700, true});
    c.FillRect(0, 0, 100, 30, kRed);
    c.SetTextColor(kBlack);
    const CanvasSize e = c.TextExtent("Ab");
    c.TextOut(2, 2, "Ab");
    EXPECT_EQ(c.PixelAt(2 + e.width - 1, 2), kWhite); // the cell's corner, no glyph there
    EXPECT_GT(CountColour(c, kBlack), 10);
    EXPECT_EQ(c.PixelAt(2 + e.width + 1, 2), kRed);
    CCanvasQt t(100, 30);
    t.FillRect(0, 0, 100, 30, kRed);
    EXPECT_FALSE(t.SetTransparentText(true));
    t.TextOut(2, 2, "Ab");
    EXPECT_EQ(CountColour(t, kWhite), 0);
    EXPECT_GT(CountColour(t, kBlack), 10);
}

TEST(CCanvasQt, TextIsNotAntialiased) {
    CCanvasQt c(120, 30);
    c.SelectFont({"Arial", 16, 400, true});
    c.SetTextColor(kRed);
    c.TextOut(1, 1, "Wag 8");
    int other = 0;
    for (int32_t y = 0; y < 30; ++y) {
        for (int32_t x = 0; x < 120; ++x) {
            const CanvasColor p = c.PixelAt(x, y);
            other += p != kRed && p != kWhite ? 1 : 0;
        }
    }
    EXPECT_EQ(other, 0);
}

// Texts are laid out once and kept: the same text again is drawn in the
// font and colour of the moment, the same pixels as the first time.
TEST(CCanvasQt, ATextDrawnAgainTakesTheFontAndColourOfTheMoment) {
    CCanvasQt c(300, 60);
    c.SetTransparentText(true);
    const CanvasFont small{"Arial", 15, 400, true};
    const CanvasFont large{"Arial", 30, 700, true};
    const auto mask = [&c](int32_t x0, CanvasColor colour) {
        std::string m;
        for (int32_t y = 0; y < 30; ++y) {
            for (int32_t x = x0; x < x0 + 60; ++x) {
                m += c.PixelAt(x, y) == colour ? '#' : '.';
            }
        }
        return m;
    };
    c.SelectFont(small);
    c.SetTextColor(kRed);
    c.TextOut(0, 0, "Wag 8");
    c.SelectFont(large);
    c.SetTextColor(Rgb(0, 0, 255));
    c.TextOut(80, 0, "Wag 8");
    c.SelectFont(small);
    c.SetTextColor(kBlack);
    c.TextOut(200, 0, "Wag 8");
    const std::string first = mask(0, kRed);
    EXPECT_EQ(mask(200, kBlack), first);
    EXPECT_GT(std::count(first.begin(), first.end(), '#'), 20);
    const std::string big = mask(80, Rgb(0, 0, 255));
    EXPECT_GT(std::count(big.begin(), big.end(), '#'),
              2 * std::count(first.begin(), first.end(), '#'));
}

TEST(CCanvasQt, AlphaBlendMixesWithTheConstantAlpha) {
    CCanvasQt c(10, 10);
    c.FillRect(0, 0, 10, 10, Rgb(0, 0, 0));
    auto box = c.CreateCompatible(4, 4);
    box->FillRect(0, 0, 4, 4, Rgb(255, 100, 0));
    c.AlphaBlend(3, 3, *box, 0, 0, 4, 4, 200);
    EXPECT_EQ(c.PixelAt(3, 3), Rgb(255 * 200 / 255, 100 * 200 / 255, 0));
    EXPECT_EQ(c.PixelAt(6, 6), Rgb(200, 78, 0));
    EXPECT_EQ(c.PixelAt(7, 7), Rgb(0, 0, 0));
    EXPECT_EQ(c.PixelAt(2, 3), Rgb(0, 0, 0));
}

TEST(CCanvasQt, WideLinesCoverTheirMiddle) {
    CCanvasQt c(30, 30);
    c.SelectPen({CanvasPen::kSolid, 3, kRed});
    c.MoveTo(5, 10);
    c.LineTo(20, 10);
    EXPECT_EQ(c.PixelAt(12, 9), kRed);
    EXPECT_EQ(c.PixelAt(12, 10), kRed);
    EXPECT_EQ(c.PixelAt(12, 11), kRed);
    EXPECT_EQ(c.PixelAt(12, 13), kWhite);
    // A painter stays open between wide lines; pixel access still sees them.
    c.LineTo(20, 20);
    EXPECT_EQ(c.PixelAt(20, 15), kRed);
    c.FillRect(0, 0, 1, 1, kBlack);
    EXPECT_EQ(c.PixelAt(0, 0), kBlack);
}

// Wide lines are stepped by the canvas: centred on the ideal line, round at
// both ends (which are covered), without gaps or stray pixels, whatever the
// direction.
TEST(CCanvasQt, WideLinesFollowTheIdealLineInEveryDirection) {
    struct Case {
        int32_t width, x0, y0, x1, y1;
    };
    const Case cases[] = {
        {2, 5, 20, 34, 20},  // horizontal
        {3, 20, 3, 20, 36},  // vertical
        {3, 4, 4, 36, 13},   // shallow
        {3, 30, 2, 24, 37},  // steep, leftwards
        {4, 6, 34, 33, 7},   // diagonal, upwards
        {3, 18, 18, 18, 18}, // a point: one disc
    };
    for (const Case& k : cases) {
        CCanvasQt c(40, 40);
        c.SelectPen({CanvasPen::kSolid, k.width, kRed});
        c.MoveTo(k.x0, k.y0);
        c.LineTo(k.x1, k.y1);
        // Distance of a pixel centre from the segment.
        const auto distance = [&](int32_t px, int32_t py) {
            const double vx = k.x1 - k.x0, vy = k.y1 - k.y0;
            const double len2 = vx * vx + vy * vy;
            double t = len2 > 0 ? ((px - k.x0) * vx + (py - k.y0) * vy) / len2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double ex = k.x0 + t * vx - px, ey = k.y0 + t * vy - py;
            return std::sqrt(ex * ex + ey * ey);
        };
        for (int32_t y = 0; y < 40; ++y) {
            for (int32_t x = 0; x < 40; ++x) {
                const bool red = c.PixelAt(x, y) == kRed;
                const double d = distance(x, y);
                if (d <= 0.5) {
                    EXPECT_TRUE(red) << "gap at " << x << "," << y << " width " << k.width;
                }
                if (d > k.width / 2.0 + 0.75) {
                    EXPECT_FALSE(red) << "stray at " << x << "," << y << " width " << k.width;
                }
            }
        }
        EXPECT_EQ(c.PixelAt(k.x0, k.y0), kRed);
        EXPECT_EQ(c.PixelAt(k.x1, k.y1), kRed); // a wide pen covers its end point
    }
}

// Steep wide lines over many rows, some starting off the surface: every row
// of the surface they cross has exactly their Bresenham run, later lines
// cover earlier ones where they cross, and nothing lands off the run.
TEST(CCanvasQt, WideLinesAcrossManyRowsKeepEveryRowOfTheirCentreLine) {
    struct Case {
        int32_t x0, y0, x1, y1;
    };
    const Case cases[] = {
        {5, -37, 52, 611},  // down, starting above the surface
        {60, 640, 9, -3},   // up, starting below it
        {30, 100, 37, 450}, // nearly vertical
        {2, 598, 61, 2},
    };
    CCanvasQt c(64, 600);
    const CanvasColor colours[] = {kRed, Rgb(0, 0, 255), Rgb(0, 160, 0), kBlack};
    for (size_t i = 0; i < std::size(cases); ++i) {
        c.SelectPen({CanvasPen::kSolid, 3, colours[i]});
        c.MoveTo(cases[i].x0, cases[i].y0);
        c.LineTo(cases[i].x1, cases[i].y1);
    }
    // Each line's own rows as a straightforward Bresenham walk gives them;
    // the last line drawn is on top everywhere it runs.
    const auto rowsOf = [](const Case& k, const std::function<void(int32_t, int32_t)>& at) {
        const int64_t adx = std::abs(k.x1 - k.x0), ady = std::abs(k.y1 - k.y0);
        const int32_t sx = k.x0 < k.x1 ? 1 : -1, sy = k.y0 < k.y1 ? 1 : -1;
        int64_t err = ady / 2;
        int32_t x = k.x0;
        for (int32_t y = k.y0;; y += sy) {
            at(x, y);
            if (y == k.y1) {
                break;
            }
            err -= adx;
            if (err < 0) {
                x += sx;
                err += ady;
            }
        }
    };
    const Case& last = cases[std::size(cases) - 1];
    int rows = 0;
    rowsOf(last, [&](int32_t x, int32_t y) {
        if (y < 0 || y >= 600) {
            return;
        }
        ++rows;
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (x + dx >= 0 && x + dx < 64) {
                ASSERT_EQ(c.PixelAt(x + dx, y), kBlack) << x + dx << "," << y;
            }
        }
    });
    EXPECT_GT(rows, 500);
    // The first line where nothing later crosses it: its run, in red.
    int red = 0;
    rowsOf(cases[0], [&](int32_t x, int32_t y) {
        if (y >= 0 && y < 600 && c.PixelAt(x, y) == kRed) {
            ++red;
            if (x >= 1) {
                EXPECT_NE(c.PixelAt(x - 1, y), kWhite) << x - 1 << "," << y; // the run's left
            }
        }
    });
    EXPECT_GT(red, 450);
    // Nothing red off the first line's run.
    for (int32_t y = 0; y < 600; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            if (c.PixelAt(x, y) != kRed) {
                continue;
            }
            bool near = false;
            rowsOf(cases[0], [&](int32_t cx, int32_t cy) {
                near = near || (std::abs(cx - x) <= 1 && std::abs(cy - y) <= 1);
            });
            ASSERT_TRUE(near) << "stray red at " << x << "," << y;
        }
    }
}

// Lines that leave the surface stop there (a point of a corrupt log far
// below the chart costs no time); lines wholly beyond one edge draw nothing.
TEST(CCanvasQt, LinesPartlyOrWhollyOffTheSurfaceAreClipped) {
    CCanvasQt c(30, 30);
    c.SelectPen({CanvasPen::kSolid, 3, kRed});
    c.MoveTo(15, -100000);
    c.LineTo(15, 100000); // crosses the whole surface
    EXPECT_EQ(c.PixelAt(15, 0), kRed);
    EXPECT_EQ(c.PixelAt(15, 29), kRed);
    EXPECT_EQ(CountColour(c, kRed), 3 * 30);
    CCanvasQt d(30, 30);
    d.SelectPen({CanvasPen::kSolid, 3, kRed});
    d.MoveTo(-50, 40);
    d.LineTo(80, 2000000000); // below the surface all the way
    d.MoveTo(-5, -5);
    d.LineTo(-3, 40); // left of it
    EXPECT_EQ(CountColour(d, kRed), 0);
    d.MoveTo(10, 10);
    d.LineTo(12, 2000000000); // from inside, down for ever
    d.SelectPen({CanvasPen::kSolid, 1, kBlack});
    d.MoveTo(20, 10);
    d.LineTo(20, -2000000000);
    EXPECT_EQ(d.PixelAt(10, 29), kRed);
    EXPECT_EQ(d.PixelAt(20, 0), kBlack);
    EXPECT_EQ(CountColour(d, kBlack), 11);
}

// A polyline of a wide pen: the same pixels as each line on its own, and in
// order with what is drawn before and after it.
TEST(CCanvasQt, WideLinesOfOnePolylineAreTheLinesOneByOne) {
    std::vector<std::pair<int32_t, int32_t>> zigzag = {{2, 40},
                                                       {4, 12},
                                                       {6, 12},
                                                       {8, 55},
                                                       {10, 3},
                                                       {12, 30},
                                                       {14, 31},
                                                       {40, 31},
                                                       {41, 58},
                                                       {70, 2}};
    uint32_t seed = 7; // and a strip chart's curve: 2 pixels a sample
    for (int32_t x = 72; x < 236; x += 2) {
        seed = seed * 1103515245u + 12345u;
        zigzag.emplace_back(x, static_cast<int32_t>((seed >> 16) % 58) + 1);
    }
    for (int32_t width : {2, 3, 5}) {
        CCanvasQt joined(240, 60);
        CCanvasQt single(240, 60);
        for (CCanvasQt* c : {&joined, &single}) {
            c->SelectPen({CanvasPen::kSolid, width, kRed});
        }
        joined.MoveTo(zigzag[0].first, zigzag[0].second);
        for (size_t i = 1; i < zigzag.size(); ++i) {
            joined.LineTo(zigzag[i].first, zigzag[i].second);
            single.MoveTo(zigzag[i - 1].first, zigzag[i - 1].second);
            single.LineTo(zigzag[i].first, zigzag[i].second);
            (void)single.PixelAt(0, 0); // strokes this line alone
        }
        int red = 0;
        for (int32_t y = 0; y < 60; ++y) {
            for (int32_t x = 0; x < 240; ++x) {
                ASSERT_EQ(joined.PixelAt(x, y), single.PixelAt(x, y))
                    << width << ": " << x << "," << y;
                red += joined.PixelAt(x, y) == kRed ? 1 : 0;
            }
        }
        EXPECT_GT(red, 150 * width);
    }
    // A fill after the lines covers them; lines after a fill cover it.
    CCanvasQt c(20, 20);
    c.SelectPen({CanvasPen::kSolid, 2, kRed});
    c.MoveTo(0, 5);
    c.LineTo(19, 5);
    c.FillRect(0, 0, 10, 20, kBlack);
    c.MoveTo(15, 0);
    c.LineTo(15, 19);
    c.SelectPen({CanvasPen::kSolid, 2, kBlack}); // a new pen: the red line is stroked red
    EXPECT_EQ(c.PixelAt(5, 5), kBlack);
    EXPECT_EQ(c.PixelAt(12, 5), kRed);
    EXPECT_EQ(c.PixelAt(15, 12), kRed);
}

// A surface a host shows is redrawn on a second buffer: the host keeps what
// it was given, and each redraw starts from exactly what is drawn on it.
TEST(CCanvasWidget, RedrawingAShownSurfaceLeavesTheShownPixelsAlone) {
    CCanvasWidget host;
    host.resize(20, 10);
    auto surface = host.CreateSurface(20, 10);
    const CanvasColor colours[] = {kRed, kBlack, Rgb(0, 0, 255), Rgb(0, 255, 0)};
    CanvasColor shown = kWhite;
    for (CanvasColor colour : colours) {
        surface->FillRect(0, 0, 20, 10, colour); // a full redraw starts
        surface->FillRect(2, 2, 4, 4, kWhite);
        EXPECT_EQ(host.Shown().isNull() ? kWhite
                                        : Rgb(qRed(host.Shown().pixel(0, 0)),
                                              qGreen(host.Shown().pixel(0, 0)),
                                              qBlue(host.Shown().pixel(0, 0))),
                  shown);
        EXPECT_EQ(surface->PixelAt(0, 0), colour);
        EXPECT_EQ(surface->PixelAt(19, 9), colour);
        EXPECT_EQ(surface->PixelAt(3, 3), kWhite);
        host.BlockCopy(*surface);
        shown = colour;
        EXPECT_EQ(host.Shown().pixel(19, 9), qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour)));
        EXPECT_EQ(host.Shown().pixel(3, 3), qRgb(255, 255, 255));
    }
}

TEST(CCanvasWidget, BlockCopyShowsTheWholeSurface) {
    CCanvasWidget host;
    host.resize(40, 30);
    EXPECT_EQ(host.HostSize(), (CanvasSize{40, 30}));
    auto surface = host.CreateSurface(40, 30);
    surface->FillRect(0, 0, 40, 30, kRed);
    host.BlockCopy(*surface);
    surface->FillRect(0, 0, 40, 30, kBlack); // later drawing is not shown
    ASSERT_EQ(host.Shown().size(), QSize(40, 30));
    EXPECT_EQ(host.Shown().pixel(39, 29), qRgb(255, 0, 0));
    EXPECT_EQ(surface->PixelAt(39, 29), kBlack);
    surface->FillRect(0, 0, 1, 1, kRed); // a part: drawn over the new picture
    EXPECT_EQ(surface->PixelAt(0, 0), kRed);
    EXPECT_EQ(surface->PixelAt(1, 0), kBlack);
    EXPECT_EQ(host.Shown().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(host.Shown().pixel(39, 29), qRgb(255, 0, 0));
}

} // namespace
