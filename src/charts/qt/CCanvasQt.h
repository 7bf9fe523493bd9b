#pragma once

#include "charts/ICanvas.h"
#include "charts/qt/CRecentCache.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QStaticText>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The canvas on a QImage (32-bit RGB), drawn with QPainter with antialiasing
// off. Lines are stepped by this class itself (Bresenham): one-pixel lines
// leave out the end pixel (dotted pens three pixels on and three off), so
// that they land on exactly the pixels the raster semantics of ICanvas name;
// wider lines have round ends and cover both end points. Text (its layout
// kept for the next time the same text is drawn in the same font) and wide
// rectangles go through QPainter; fills and blending are done here.
//
// The surface reports 96 dots per inch whatever the screen, so that fonts
// made from a point size have the same pixel size everywhere.
//
// Charts draw most of their texts at the same place in every redraw (gauge
// labels, titles, status lines). A text drawn a second time at the same
// place in the same font is kept as the runs of pixels it lit, and from
// then on drawn by filling those runs in the text colour, which gives the
// same pixels as drawing it again (large glyphs are filled as outlines,
// which costs milliseconds a frame). The runs are taken by drawing the text
// in the same way onto a scratch surface of this surface's size: Qt's
// outline filling depends on where the text lands, so a text is only ever
// reused at the place it was taken at. Text widths are kept as well.
//
// A full-surface fill while a host still shares the picture (BlockCopy of
// CCanvasWidget keeps the image, not a copy) draws on into the picture the
// host showed before, once it has let go of it, rather than copying or
// allocating 8 MB at 1920 x 1080.
//
// After a whole-surface fill the canvas marks the 4 x 4 pixel tiles that
// anything is drawn on. A fill with that colour over unmarked tiles is left
// out (a frame's white inside on a white surface); the next whole fill with
// the same colour into the same picture covers only the marked tiles (when
// they are a small part); and ChangedFrom names the tiles marked in either
// of the last two pictures, which is all a host needs to repaint. With
// SetCaching(false) none of this is kept.
//
// Thread safety: none (see ICanvas).
class CCanvasQt : public ICanvas {
public:
    static constexpr int32_t kDpi = 96;

    // A width x height surface, filled white.
    CCanvasQt(int32_t width, int32_t height);

    [[nodiscard]] CanvasSize Size() const override;
    [[nodiscard]] int32_t DpiY() const override { return kDpi; }

    CanvasPen SelectPen(const CanvasPen& pen) override;
    CanvasFont SelectFont(const CanvasFont& font) override;
    [[nodiscard]] const CanvasPen& Pen() const override { return m_pen; }
    [[nodiscard]] const CanvasFont& Font() const override { return m_font; }

    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void
    FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, CanvasColor color) override;

    CanvasColor SetTextColor(CanvasColor color) override;
    bool SetTransparentText(bool transparent) override;
    void TextOut(int32_t x, int32_t y, std::string_view text) override;
    [[nodiscard]] CanvasSize TextExtent(std::string_view text) const override;

    [[nodiscard]] std::unique_ptr<ICanvas> CreateCompatible(int32_t width,
                                                            int32_t height) const override;
    void AlphaBlend(int32_t dx,
                    int32_t dy,
                    const ICanvas& source,
                    int32_t sx,
                    int32_t sy,
                    int32_t width,
                    int32_t height,
                    uint8_t alpha) override;

    [[nodiscard]] CanvasColor PixelAt(int32_t x, int32_t y) const override;

    // The pixels drawn so far.
    [[nodiscard]] const QImage& Image() const;

    // The Qt font of a canvas font: the face ("" = the application's), the
    // pixel size that gives the cell or character height, the weight, no
    // antialiasing.
    [[nodiscard]] static QFont ToQFont(const CanvasFont& font);

    // The part of this surface that may differ from before, the picture
    // this canvas drew before its last fill of the whole surface (what a
    // host showed until now): all of it unless both pictures are the same
    // fill with drawing on top whose places the canvas kept.
    [[nodiscard]] QRegion ChangedFrom(const QImage& before) const;

    // Off: every text is laid out, measured and drawn afresh (tests draw the
    // same picture both ways to show that what is kept changes no pixel).
    // On by default.
    void SetCaching(bool on);

private:
    // A run of lit pixels: row y, columns x0..x1 - 1.
    struct Run {
        int32_t y;
        int32_t x0;
        int32_t x1;
    };
    // A text at one place: not yet taken (seen once), or its runs.
    struct TextPixels {
        bool taken = false;
        std::vector<Run> runs;
        CanvasRect bounds; // of the runs
    };
    struct FontEntry {
        CanvasFont font;
        QFont qfont;
    };
    struct TextMetrics {
        CanvasSize extent; // width and cell height
        QRect ink;         // where glyphs may light pixels, from the cell's top-left
    };
    // A picture filled whole with one colour, and the tiles of kTile x kTile
    // pixels that anything was drawn on since (m_tilesX a row).
    struct Marks {
        bool filled = false;
        QRgb color = 0;
        std::vector<uint8_t> tiles;
    };

    void PlotLine1(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void PlotWideLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    // One painter stays open across QPainter operations (opening one per
    // line would cost more than the line); it is closed before this class
    // touches the pixels itself.
    QPainter& Painter();
    void EndPainter() const;
    // The key of text in the current font (and at x, y when withPlace).
    [[nodiscard]] std::string
    TextKey(std::string_view text, bool withPlace, int32_t x = 0, int32_t y = 0) const;
    [[nodiscard]] const QStaticText& LaidOut(std::string_view text);
    [[nodiscard]] const TextMetrics& Metrics(std::string_view text) const;
    // Draws text with its top-left at (x, y) in color onto painter's surface.
    void DrawText(QPainter& painter, int32_t x, int32_t y, std::string_view text, QColor color);
    // Draws text at (x, y) from its kept pixels, taking them at its second
    // time there; false when it is to be drawn afresh.
    [[nodiscard]] bool
    DrawKept(int32_t x, int32_t y, std::string_view text, const TextMetrics& metrics);
    // The runs text lights at (x, y); none when there is no memory for the
    // scratch surface.
    [[nodiscard]] std::optional<std::vector<Run>>
    TakeText(int32_t x, int32_t y, std::string_view text, const TextMetrics& metrics);
    // Fills the whole surface with rgb (see FillRect).
    void FillWhole(QRgb rgb);

    // The rectangle cut to the surface; false when nothing is left.
    [[nodiscard]] bool
    ClipToSurface(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const;
    // Marks left..right - 1 x top..bottom - 1 as drawn on since the last
    // fill of the whole surface.
    void Drawn(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Nothing was drawn on the rectangle since the whole surface was filled
    // with rgb.
    [[nodiscard]] bool StillFilled(const CanvasRect& r, QRgb rgb) const;

    QImage m_image;
    // The picture a host showed before, to draw the next one into once the
    // host has let go of it (see FillWhole).
    QImage m_spare;
    mutable QPainter m_painter;
    CanvasPen m_pen;
    CanvasFont m_font;
    QFont m_qfont;
    // The fonts selected so far; m_fontIndex is the current one's.
    std::vector<FontEntry> m_fonts;
    int32_t m_fontIndex = 0;
    bool m_caching = true;
    // By font and text (the most recent ones): layouts, widths; by font,
    // place and text: the pixels of texts drawn there.
    static constexpr size_t kLaidOutTexts = 1024;
    static constexpr size_t kTextPixels = 1024;
    CRecentCache<std::unique_ptr<QStaticText>> m_texts{kLaidOutTexts};
    mutable CRecentCache<TextMetrics> m_metrics{kLaidOutTexts};
    CRecentCache<TextPixels> m_pixels{kTextPixels};
    // A chart fills the whole surface, then parts of it white again (the
    // interiors of its frames, the cells of opaque texts): such a fill is
    // left out when nothing was drawn there since; and the fill of the
    // whole surface needs to cover only what the picture had drawn on top
    // of the same fill. m_marks tracks m_image, m_spareMarks m_spare; a
    // tile is marked before anything may change a pixel in it.
    static constexpr int32_t kTileShift = 2;
    int32_t m_tilesX = 0;
    Marks m_marks;
    Marks m_spareMarks;
    // Black but for a text being taken; the surface's size. Made when the
    // first text is taken (its memory is taken by the rows used).
    QImage m_scratch;
    int32_t m_x = 0;
    int32_t m_y = 0;
    CanvasColor m_textColor = 0;
    bool m_transparent = false;
};
