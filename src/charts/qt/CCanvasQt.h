#pragma once

#include "charts/ICanvas.h"

#include <QCache>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStaticText>

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

private:
    void PlotLine1(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void PlotWideLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    // One painter stays open across QPainter operations (opening one per
    // line would cost more than the line); it is closed before this class
    // touches the pixels itself.
    QPainter& Painter();
    void EndPainter() const;

    QImage m_image;
    mutable QPainter m_painter;
    CanvasPen m_pen;
    CanvasFont m_font;
    QFont m_qfont;
    // Texts laid out for drawing, by font and text (the most recent ones).
    static constexpr int kLaidOutTexts = 1024;
    QCache<QString, QStaticText> m_texts{kLaidOutTexts};
    int32_t m_x = 0;
    int32_t m_y = 0;
    CanvasColor m_textColor = 0;
    bool m_transparent = false;
};
