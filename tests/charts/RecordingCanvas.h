#pragma once

// A Qt-free canvas that records what a chart draws (fills, rectangles, pen
// moves and lines, texts with their colour and font) instead of pixels, and
// a host that hands out such canvases (or canvases of another kind, such as
// the QImage canvas in the pixel tests). Text metrics are simple and exact:
// the cell height of a font made from a point size is 23/20 of its character
// height, and every code point is half a cell wide.

#include "charts/ICanvas.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class RecordingCanvas : public ICanvas {
public:
    struct Text {
        int32_t x;
        int32_t y;
        std::string text;
        CanvasColor color;
        bool transparent;
        CanvasFont font;
    };
    struct Fill {
        CanvasRect rect;
        CanvasColor color;
    };
    struct PenStep {
        int32_t x;
        int32_t y;
        bool move; // MoveTo; else LineTo from the step before
        CanvasPen pen;
    };

    RecordingCanvas(int32_t width, int32_t height)
        : m_size{width, height} {}

    void Clear() {
        texts.clear();
        fills.clear();
        rectangles.clear();
        steps.clear();
    }

    // The points a pen of this colour and width moved through, in order.
    [[nodiscard]] std::vector<std::pair<int32_t, int32_t>> Path(CanvasColor color,
                                                                int32_t width) const {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (const PenStep& s : steps) {
            if (s.pen.color == color && s.pen.width == width) {
                out.emplace_back(s.x, s.y);
            }
        }
        return out;
    }
    [[nodiscard]] const Text* FindText(const std::string& text) const {
        for (const Text& t : texts) {
            if (t.text == text) {
                return &t;
            }
        }
        return nullptr;
    }
    // Texts that begin with prefix.
    [[nodiscard]] std::vector<Text> TextsStarting(const std::string& prefix) const {
        std::vector<Text> out;
        for (const Text& t : texts) {
            if (t.text.rfind(prefix, 0) == 0) {
                out.push_back(t);
            }
        }
        return out;
    }

    static int32_t CellHeight(const CanvasFont& f) {
        return f.cellHeight ? f.height : f.height * 23 / 20;
    }
    static int32_t CodePoints(std::string_view text) {
        int32_t n = 0;
        for (unsigned char ch : text) {
            n += (ch & 0xC0) != 0x80 ? 1 : 0;
        }
        return n;
    }

    // --- ICanvas ------------------------------------------------------------
    [[nodiscard]] CanvasSize Size() const override { return m_size; }
    [[nodiscard]] int32_t DpiY() const override { return 96; }
    CanvasPen SelectPen(const CanvasPen& pen) override { return std::exchange(m_pen, pen); }
    CanvasFont SelectFont(const CanvasFont& font) override { return std::exchange(m_font, font); }
    [[nodiscard]] const CanvasPen& Pen() const override { return m_pen; }
    [[nodiscard]] const CanvasFont& Font() const override { return m_font; }
    void MoveTo(int32_t x, int32_t y) override { steps.push_back({x, y, true, m_pen}); }
    void LineTo(int32_t x, int32_t y) override { steps.push_back({x, y, false, m_pen}); }
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
        rectangles.push_back({left, top, right, bottom});
    }
    void
    FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, CanvasColor color) override {
        fills.push_back({{left, top, right, bottom}, color});
    }
    CanvasColor SetTextColor(CanvasColor color) override { return std::exchange(m_color, color); }
    bool SetTransparentText(bool transparent) override {
        return std::exchange(m_transparent, transparent);
    }
    void TextOut(int32_t x, int32_t y, std::string_view text) override {
        texts.push_back({x, y, std::string(text), m_color, m_transparent, m_font});
    }
    [[nodiscard]] CanvasSize TextExtent(std::string_view text) const override {
        const int32_t cell = CellHeight(m_font);
        return {CodePoints(text) * cell / 2, cell};
    }
    [[nodiscard]] std::unique_ptr<ICanvas> CreateCompatible(int32_t width,
                                                            int32_t height) const override {
        return std::make_unique<RecordingCanvas>(width, height);
    }
    void AlphaBlend(
        int32_t, int32_t, const ICanvas&, int32_t, int32_t, int32_t, int32_t, uint8_t) override {}
    [[nodiscard]] CanvasColor PixelAt(int32_t, int32_t) const override { return 0; }

    std::vector<Text> texts;
    std::vector<Fill> fills;
    std::vector<CanvasRect> rectangles;
    std::vector<PenStep> steps;

private:
    CanvasSize m_size;
    CanvasPen m_pen;
    CanvasFont m_font;
    CanvasColor m_color = 0;
    bool m_transparent = false;
};

// A visible host of a fixed size whose surfaces are Canvas objects; it
// counts the surfaces made and the block copies.
template <typename Canvas>
class SurfaceHost : public ICanvasHost {
public:
    explicit SurfaceHost(CanvasSize hostSize)
        : size(hostSize) {}

    [[nodiscard]] CanvasSize HostSize() const override { return size; }
    [[nodiscard]] CanvasRect HostRect() const override { return {0, 0, size.width, size.height}; }
    [[nodiscard]] bool HostVisible() const override { return visible; }
    [[nodiscard]] std::unique_ptr<ICanvas> CreateSurface(int32_t width, int32_t height) override {
        auto canvas = std::make_unique<Canvas>(width, height);
        surface = canvas.get();
        ++surfaces;
        return canvas;
    }
    void BlockCopy(const ICanvas&) override { ++copies; }

    CanvasSize size;
    bool visible = true;
    Canvas* surface = nullptr; // the last one made (owned by the chart)
    int surfaces = 0;
    int copies = 0;
};

using RecordingHost = SurfaceHost<RecordingCanvas>;
