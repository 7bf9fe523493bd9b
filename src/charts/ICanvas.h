#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// The drawing operations the charts use, with the semantics of a classic
// raster drawing context, so that every pixel lands where the integer
// arithmetic of a chart says:
//
//  - Coordinates are pixels, x to the right, y down, (0, 0) the top-left
//    pixel of the surface.
//  - A rectangle (left, top, right, bottom) covers the pixels left..right - 1
//    and top..bottom - 1: right and bottom are outside.
//  - LineTo draws from the current position to (x, y) and leaves out the end
//    pixel, so that a polyline draws each joint once; the end becomes the
//    current position.
//  - Rectangle outlines in the current pen and fills the interior with the
//    white brush; FillRect fills with a solid colour and no outline.
//  - TextOut places the top-left corner of the text's cell at (x, y); with an
//    opaque background (the default) the cell is first filled with the
//    background colour (white), with a transparent one only the glyphs are
//    drawn. Glyphs are not antialiased.
//  - Select* make a pen or font current and return the previous one, which
//    the caller selects again to restore it.
//
// Colours are 0x00BBGGRR values (see Rgb). Texts are UTF-8.
// Thread safety: none; a surface is drawn by one thread at a time.

using CanvasColor = uint32_t;

[[nodiscard]] constexpr CanvasColor Rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<CanvasColor>(red) | (static_cast<CanvasColor>(green) << 8) |
           (static_cast<CanvasColor>(blue) << 16);
}
[[nodiscard]] constexpr uint8_t RedOf(CanvasColor c) {
    return static_cast<uint8_t>(c & 0xFF);
}
[[nodiscard]] constexpr uint8_t GreenOf(CanvasColor c) {
    return static_cast<uint8_t>((c >> 8) & 0xFF);
}
[[nodiscard]] constexpr uint8_t BlueOf(CanvasColor c) {
    return static_cast<uint8_t>((c >> 16) & 0xFF);
}

struct CanvasPen {
    enum Style : uint8_t { kSolid, kDot };
    Style style = kSolid;
    int32_t width = 1; // pixels; a dotted pen is always 1 pixel wide
    CanvasColor color = 0;

    bool operator==(const CanvasPen&) const = default;
};

struct CanvasFont {
    std::string face;     // "" = the default face
    int32_t height = 16;  // pixels; see cellHeight
    int32_t weight = 400; // 400 normal, 700 bold
    // true: height is the cell height (ascent + descent); false: the
    // character (em) height, as a font made from a point size has.
    bool cellHeight = true;

    // A font of tenthsOfPoint tenths of a point on a surface of dpiY dots per
    // inch: character height tenths x dpiY / 720 pixels, truncated.
    [[nodiscard]] static CanvasFont
    FromPointSize(int32_t tenthsOfPoint, int32_t dpiY, std::string face = {}) {
        CanvasFont f;
        f.face = std::move(face);
        f.height = tenthsOfPoint * dpiY / 720;
        f.weight = 400;
        f.cellHeight = false;
        return f;
    }

    bool operator==(const CanvasFont&) const = default;
};

struct CanvasSize {
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const CanvasSize&) const = default;
};

struct CanvasRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    [[nodiscard]] int32_t Width() const { return right - left; }
    [[nodiscard]] int32_t Height() const { return bottom - top; }
    bool operator==(const CanvasRect&) const = default;
};

// An off-screen drawing surface.
class ICanvas {
public:
    virtual ~ICanvas() = default;

    [[nodiscard]] virtual CanvasSize Size() const = 0;
    // Vertical dots per inch, for fonts made from a point size.
    [[nodiscard]] virtual int32_t DpiY() const = 0;

    // The pen and font are made current; the previous one is returned.
    // Initially: a black 1-pixel solid pen and the default face, 16 pixels.
    virtual CanvasPen SelectPen(const CanvasPen& pen) = 0;
    virtual CanvasFont SelectFont(const CanvasFont& font) = 0;
    [[nodiscard]] virtual const CanvasPen& Pen() const = 0;
    [[nodiscard]] virtual const CanvasFont& Font() const = 0;

    virtual void MoveTo(int32_t x, int32_t y) = 0;
    virtual void LineTo(int32_t x, int32_t y) = 0;
    virtual void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
    virtual void
    FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, CanvasColor color) = 0;

    // Returns the previous text colour (initially black).
    virtual CanvasColor SetTextColor(CanvasColor color) = 0;
    // true: transparent text background; returns the previous setting
    // (initially opaque, false).
    virtual bool SetTransparentText(bool transparent) = 0;
    virtual void TextOut(int32_t x, int32_t y, std::string_view text) = 0;
    // The width and the cell height of the text in the current font.
    [[nodiscard]] virtual CanvasSize TextExtent(std::string_view text) const = 0;

    // A second surface of the same kind (contents undefined until drawn).
    [[nodiscard]] virtual std::unique_ptr<ICanvas> CreateCompatible(int32_t width,
                                                                    int32_t height) const = 0;
    // Blends width x height pixels of source from (sx, sy) onto this surface
    // at (dx, dy) with the constant alpha (0..255) of the source: result =
    // (source x alpha + destination x (255 - alpha)) / 255 per channel.
    virtual void AlphaBlend(int32_t dx,
                            int32_t dy,
                            const ICanvas& source,
                            int32_t sx,
                            int32_t sy,
                            int32_t width,
                            int32_t height,
                            uint8_t alpha) = 0;

    // The colour of one pixel (tests and benchmarks); 0 outside the surface.
    [[nodiscard]] virtual CanvasColor PixelAt(int32_t x, int32_t y) const = 0;
};

// The control a chart is shown in: its size, whether it is visible, surfaces
// the size of it, and the one block copy that shows a finished surface.
// Thread safety: user-interface thread only.
class ICanvasHost {
public:
    virtual ~ICanvasHost() = default;

    // The host's client size, and its rectangle in its parent's coordinates.
    [[nodiscard]] virtual CanvasSize HostSize() const = 0;
    [[nodiscard]] virtual CanvasRect HostRect() const = 0;
    [[nodiscard]] virtual bool HostVisible() const = 0;
    // A surface to draw on, compatible with the host.
    [[nodiscard]] virtual std::unique_ptr<ICanvas> CreateSurface(int32_t width, int32_t height) = 0;
    // Shows the whole surface at the host's (0, 0) in one copy.
    virtual void BlockCopy(const ICanvas& surface) = 0;
};
