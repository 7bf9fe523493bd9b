#include "charts/qt/CCanvasQt.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <utility>

namespace {

QColor ToQColor(CanvasColor c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

QRgb ToQRgb(CanvasColor c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

constexpr CanvasColor kWhite = 0x00FFFFFF;

// A dotted one-pixel pen: three pixels on, three off, the pattern running on
// along a polyline.
constexpr int32_t kDotRun = 3;

// Pixel size per cell-height pixel of a face and weight, measured once at a
// large size: the cell height is the font's ascent plus descent.
double CellRatio(const QString& family, int32_t weight) {
    thread_local std::map<std::pair<QString, int32_t>, double> cache;
    const auto key = std::make_pair(family, weight);
    const auto it = cache.find(key);
    if (it != cache.end()) {
        return it->second;
    }
    QFont probe(family);
    probe.setPixelSize(200);
    probe.setWeight(static_cast<QFont::Weight>(weight));
    const QFontMetrics metrics(probe);
    const int cell = metrics.ascent() + metrics.descent();
    const double ratio = cell > 0 ? 200.0 / cell : 1.0;
    cache.emplace(key, ratio);
    return ratio;
}

} // namespace

CCanvasQt::CCanvasQt(int32_t width, int32_t height)
    : m_image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32) {
    m_image.fill(Qt::white);
    m_font.face = {};
    m_qfont = ToQFont(m_font);
    m_fonts.push_back({m_font, m_qfont});
    m_tilesX = ((m_image.width() - 1) >> kTileShift) + 1;
}

void CCanvasQt::SetCaching(bool on) {
    m_caching = on;
}

QPainter& CCanvasQt::Painter() {
    if (!m_painter.isActive()) {
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setRenderHint(QPainter::TextAntialiasing, false);
    }
    return m_painter;
}

void CCanvasQt::EndPainter() const {
    if (m_painter.isActive()) {
        m_painter.end();
    }
}

const QImage& CCanvasQt::Image() const {
    EndPainter();
    return m_image;
}

CanvasSize CCanvasQt::Size() const {
    return {m_image.width(), m_image.height()};
}

QFont CCanvasQt::ToQFont(const CanvasFont& font) {
    QFont q = font.face.empty() ? QFont() : QFont(QString::fromStdString(font.face));
    q.setWeight(static_cast<QFont::Weight>(font.weight));
    q.setStyleStrategy(QFont::NoAntialias);
    q.setHintingPreference(QFont::PreferFullHinting);
    const int32_t height = std::max(font.height, 1);
    if (font.cellHeight) {
        q.setPixelSize(
            std::max(1, static_cast<int>(height * CellRatio(q.family(), font.weight) + 0.5)));
    } else {
        q.setPixelSize(height);
    }
    return q;
}

CanvasPen CCanvasQt::SelectPen(const CanvasPen& pen) {
    return std::exchange(m_pen, pen);
}

CanvasFont CCanvasQt::SelectFont(const CanvasFont& font) {
    if (!(font == m_font)) {
        // Charts switch between a few fonts many times a redraw: each is
        // made once, and its index keys the texts kept in it.
        const auto it = std::find_if(
            m_fonts.begin(), m_fonts.end(), [&](const FontEntry& e) { return e.font == font; });
        if (it != m_fonts.end()) {
            m_fontIndex = static_cast<int32_t>(it - m_fonts.begin());
            m_qfont = it->qfont;
        } else {
            constexpr size_t kFonts = 64;
            if (m_fonts.size() >= kFonts) {
                // Indexes are about to be reused: what was kept by them goes.
                m_fonts.clear();
                m_texts.Clear();
                m_metrics.Clear();
                m_pixels.Clear();
            }
            m_qfont = ToQFont(font);
            m_fontIndex = static_cast<int32_t>(m_fonts.size());
            m_fonts.push_back({font, m_qfont});
        }
    }
    return std::exchange(m_font, font);
}

void CCanvasQt::MoveTo(int32_t x, int32_t y) {
    m_x = x;
    m_y = y;
}

void CCanvasQt::LineTo(int32_t x, int32_t y) {
    // A wide pen reaches at most its width beyond the end points.
    const int32_t reach = m_pen.style == CanvasPen::kDot ? 0 : std::max(m_pen.width, 1) - 1;
    Drawn(std::min(m_x, x) - reach,
          std::min(m_y, y) - reach,
          std::max(m_x, x) + reach + 1,
          std::max(m_y, y) + reach + 1);
    if (m_pen.width <= 1 || m_pen.style == CanvasPen::kDot) {
        PlotLine1(m_x, m_y, x, y);
    } else {
        PlotWideLine(m_x, m_y, x, y);
    }
    m_x = x;
    m_y = y;
}

void CCanvasQt::PlotWideLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    // A wide pen has round ends and joins and is centred on the ideal line,
    // covering its end point as a raster context's geometric pen does. It is
    // drawn here rather than by QPainter's stroker, which costs some twenty
    // times more (a chart draws thousands of such segments a frame): a disc
    // of the pen's width at both ends, and between them a run of the pen's
    // width across the line's minor axis at every pixel of the centre line.
    const int32_t w = m_pen.width;
    const int32_t lo = -(w / 2);
    const int32_t hi = (w - 1) / 2;
    const int32_t width = m_image.width();
    const int32_t height = m_image.height();
    // Entirely beyond one edge of the surface: nothing to draw.
    if ((x0 + hi < 0 && x1 + hi < 0) || (y0 + hi < 0 && y1 + hi < 0) ||
        (x0 + lo >= width && x1 + lo >= width) || (y0 + lo >= height && y1 + lo >= height)) {
        return;
    }
    EndPainter();
    const QRgb rgb = ToQRgb(m_pen.color);
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    const auto row = [&](int32_t y, int32_t left, int32_t right) { // right inclusive
        if (y < 0 || y >= height) {
            return;
        }
        left = std::max(left, 0);
        right = std::min(right, width - 1);
        if (left <= right) {
            QRgb* line = reinterpret_cast<QRgb*>(bits + y * stride);
            std::fill(line + left, line + right + 1, rgb);
        }
    };
    // The disc: per row of the pen's square, the columns within its radius
    // of the square's centre (for widths up to 3 the whole square).
    const double centre = (lo + hi) / 2.0;
    const double radius2 = w * w / 4.0;
    const auto disc = [&](int32_t cx, int32_t cy) {
        for (int32_t dy = lo; dy <= hi; ++dy) {
            const double ry = dy - centre;
            int32_t a = lo;
            while (a <= hi && (a - centre) * (a - centre) + ry * ry > radius2) {
                ++a;
            }
            row(cy + dy, cx + a, cx + (lo + hi - a));
        }
    };
    disc(x0, y0);
    disc(x1, y1);

    // The centre line, stepped along its major axis (Bresenham); at each step
    // a run of the pen's width across the minor axis.
    // 64-bit steps: a corrupt log may put a point anywhere in 32 bits.
    const int64_t adx = std::abs(int64_t{x1} - x0);
    const int64_t ady = std::abs(int64_t{y1} - y0);
    const int32_t sx = x0 < x1 ? 1 : -1;
    const int32_t sy = y0 < y1 ? 1 : -1;
    if (ady > adx) {
        int64_t err = ady / 2;
        int32_t x = x0;
        // Rows are further apart than a memory page, so the processor does
        // not fetch the next ones on its own: ask for them a few rows ahead.
        constexpr int32_t kAhead = 8;
        for (int32_t y = y0;; y += sy) {
            if (y >= 0 && y < height) {
                const int32_t left = std::max(x + lo, 0);
                const int32_t right = std::min(x + hi, width - 1);
                QRgb* line = reinterpret_cast<QRgb*>(bits + y * stride);
                const int32_t ahead = y + sy * kAhead;
                if (ahead >= 0 && ahead < height && left <= right) {
                    __builtin_prefetch(bits + ahead * stride + left * 4, 1);
                }
                for (int32_t i = left; i <= right; ++i) {
                    line[i] = rgb;
                }
            }
            if (y == y1 || (sy > 0 ? y >= height : y < 0)) {
                break; // done, or gone past the surface for good
            }
            err -= adx;
            if (err < 0) {
                x += sx;
                err += ady;
            }
        }
    } else {
        int64_t err = adx / 2;
        int32_t y = y0;
        for (int32_t x = x0;; x += sx) {
            if (x >= 0 && x < width) {
                const int32_t top = std::max(y + lo, 0);
                const int32_t bottom = std::min(y + hi, height - 1);
                uchar* at = bits + top * stride + x * static_cast<qsizetype>(sizeof(QRgb));
                for (int32_t k = top; k <= bottom; ++k, at += stride) {
                    *reinterpret_cast<QRgb*>(at) = rgb;
                }
            }
            if (x == x1 || (sx > 0 ? x >= width : x < 0)) {
                break;
            }
            err -= ady;
            if (err < 0) {
                y += sy;
                err += adx;
            }
        }
    }
}

void CCanvasQt::PlotLine1(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    EndPainter();
    const QRgb on = ToQRgb(m_pen.color);
    const bool dotted = m_pen.style == CanvasPen::kDot;
    const QRgb gap = ToQRgb(kWhite);
    const int32_t w = m_image.width();
    const int32_t h = m_image.height();
    // Rows by address: QImage::scanLine checks for sharing on every call,
    // which costs more than the pixel itself on a long line.
    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    const auto row = [bits, stride](int32_t y) {
        return reinterpret_cast<QRgb*>(bits + static_cast<qsizetype>(y) * stride);
    };
    if (!dotted && (y0 == y1 || x0 == x1)) {
        // Straight solid lines, the grids' case: the same pixels as the
        // general walk below, start included, end left out.
        if (y0 == y1) {
            if (y0 < 0 || y0 >= h || x0 == x1) {
                return;
            }
            const int32_t from = x0 < x1 ? x0 : x1 + 1;
            const int32_t to = x0 < x1 ? x1 : x0 + 1; // exclusive
            const int32_t left = std::max(from, 0);
            const int32_t right = std::min(to, w);
            if (left < right) {
                std::fill(row(y0) + left, row(y0) + right, on);
            }
            return;
        }
        if (x0 < 0 || x0 >= w) {
            return;
        }
        const int32_t from = y0 < y1 ? y0 : y1 + 1;
        const int32_t to = std::min(y0 < y1 ? y1 : y0 + 1, h); // exclusive
        // Rows are further apart than a memory page, so the processor does
        // not fetch the next ones on its own: ask for them a few rows ahead.
        constexpr int32_t kAhead = 8;
        for (int32_t y = std::max(from, 0); y < to; ++y) {
            if (y + kAhead < to) {
                __builtin_prefetch(row(y + kAhead) + x0, 1);
            }
            row(y)[x0] = on;
        }
        return;
    }
    const int64_t dx = std::abs(int64_t{x1} - x0);
    const int64_t dy = -std::abs(int64_t{y1} - y0);
    const int32_t sx = x0 < x1 ? 1 : -1;
    const int32_t sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    int32_t x = x0;
    int32_t y = y0;
    int32_t step = 0;
    while (x != x1 || y != y1) { // the end pixel is left out
        const bool lit = !dotted || (step / kDotRun) % 2 == 0;
        if (x >= 0 && y >= 0 && x < w && y < h && (lit || !m_transparent)) {
            row(y)[x] = lit ? on : gap;
        }
        if ((sx > 0 ? x >= w : x < 0) || (sy > 0 ? y >= h : y < 0)) {
            break; // gone past the surface for good
        }
        step = (step + 1) % (2 * kDotRun);
        const int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void CCanvasQt::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (right <= left || bottom <= top) {
        return;
    }
    FillRect(left, top, right, bottom, kWhite);
    // The outline's four sides (not the interior, which a chart draws in).
    const int32_t reach = m_pen.style == CanvasPen::kDot ? 0 : std::max(m_pen.width, 1);
    Drawn(left - reach, top - reach, right + reach, top + 1 + reach);
    Drawn(left - reach, bottom - 1 - reach, right + reach, bottom + reach);
    Drawn(left - reach, top - reach, left + 1 + reach, bottom + reach);
    Drawn(right - 1 - reach, top - reach, right + reach, bottom + reach);
    if (m_pen.width <= 1 || m_pen.style == CanvasPen::kDot) {
        // The outline on the outermost pixels of the rectangle, clockwise
        // from the top-left corner, each corner drawn once.
        const int32_t r = right - 1;
        const int32_t b = bottom - 1;
        if (r == left || b == top) {
            FillRect(left, top, right, bottom, m_pen.color);
            return;
        }
        PlotLine1(left, top, r, top);
        PlotLine1(r, top, r, b);
        PlotLine1(r, b, left, b);
        PlotLine1(left, b, left, top);
        return;
    }
    QPainter& painter = Painter();
    QPen pen(ToQColor(m_pen.color));
    pen.setWidth(m_pen.width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

bool CCanvasQt::ClipToSurface(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_image.width());
    bottom = std::min(bottom, m_image.height());
    return left < right && top < bottom;
}

void CCanvasQt::FillRect(
    int32_t left, int32_t top, int32_t right, int32_t bottom, CanvasColor color) {
    if (!ClipToSurface(left, top, right, bottom)) {
        return;
    }
    const QRgb rgb = ToQRgb(color);
    const bool whole =
        left == 0 && top == 0 && right == m_image.width() && bottom == m_image.height();
    if (!whole && StillFilled({left, top, right, bottom}, rgb)) {
        return; // no pixel would change
    }
    EndPainter();
    if (whole) {
        FillWhole(rgb);
        return;
    }
    Drawn(left, top, right, bottom);
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    // The first row pixel by pixel, the others copied from it (a block copy
    // is much faster than a loop of stores).
    QRgb* first = reinterpret_cast<QRgb*>(bits + top * stride) + left;
    std::fill(first, first + (right - left), rgb);
    const size_t bytes = static_cast<size_t>(right - left) * sizeof(QRgb);
    for (int32_t y = top + 1; y < bottom; ++y) {
        std::memcpy(reinterpret_cast<QRgb*>(bits + y * stride) + left, first, bytes);
    }
}

void CCanvasQt::FillWhole(QRgb rgb) {
    // What the image about to be filled holds.
    Marks before;
    if (!m_image.isDetached()) {
        // A host still shows the last picture: drawn into the one it showed
        // before if it let go of that, else a new image; never a copy of
        // the old that is overwritten at once. The shown one is kept for
        // the next time.
        QImage shown = std::move(m_image);
        Marks shownMarks = std::move(m_marks);
        if (m_spare.isDetached() && m_spare.size() == shown.size() &&
            m_spare.format() == shown.format()) {
            m_image = std::move(m_spare);
            before = std::move(m_spareMarks);
        } else {
            m_image = QImage(shown.width(), shown.height(), shown.format());
        }
        m_spare = std::move(shown);
        m_spareMarks = std::move(shownMarks);
    } else {
        before = std::move(m_marks);
    }
    const int32_t width = m_image.width();
    const int32_t height = m_image.height();
    const size_t tiles = static_cast<size_t>(m_tilesX) * (((height - 1) >> kTileShift) + 1);
    m_marks.filled = m_caching;
    m_marks.color = rgb;
    m_marks.tiles.assign(m_caching ? tiles : 0, 0);

    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    // The same fill with drawing on top: only what was drawn on, while that
    // is a small part (short runs cost more per pixel than one big fill).
    const bool sameFill =
        m_caching && before.filled && before.color == rgb && before.tiles.size() == tiles;
    if (sameFill &&
        4 * static_cast<size_t>(std::count(before.tiles.begin(), before.tiles.end(), uint8_t{1})) <=
            tiles) {
        const int32_t tile = 1 << kTileShift;
        for (int32_t ty = 0; static_cast<size_t>(ty) * m_tilesX < tiles; ++ty) {
            const uint8_t* row = before.tiles.data() + static_cast<size_t>(ty) * m_tilesX;
            for (int32_t tx = 0; tx < m_tilesX; ++tx) {
                if (row[tx] == 0) {
                    continue;
                }
                int32_t end = tx;
                while (end < m_tilesX && row[end] != 0) {
                    ++end;
                }
                const int32_t x0 = tx * tile;
                const int32_t x1 = std::min(end * tile, width);
                for (int32_t y = ty * tile; y < std::min((ty + 1) * tile, height); ++y) {
                    QRgb* line = reinterpret_cast<QRgb*>(bits + y * stride);
                    std::fill(line + x0, line + x1, rgb);
                }
                tx = end;
            }
        }
        return;
    }
    const bool oneByte = (rgb & 0xFF) == ((rgb >> 8) & 0xFF) &&
                         (rgb & 0xFF) == ((rgb >> 16) & 0xFF) && (rgb & 0xFF) == (rgb >> 24);
    if (oneByte && stride == width * static_cast<qsizetype>(sizeof(QRgb))) {
        // White, the usual colour, is one byte repeated: one block.
        std::memset(bits, static_cast<int>(rgb & 0xFF), static_cast<size_t>(stride) * height);
        return;
    }
    // The first row pixel by pixel, the others copied from it (a block copy
    // is much faster than a loop of stores).
    QRgb* first = reinterpret_cast<QRgb*>(bits);
    std::fill(first, first + width, rgb);
    for (int32_t y = 1; y < height; ++y) {
        std::memcpy(bits + y * stride, first, static_cast<size_t>(width) * sizeof(QRgb));
    }
}

QRegion CCanvasQt::ChangedFrom(const QImage& before) const {
    const int32_t width = m_image.width();
    const int32_t height = m_image.height();
    const QRegion all(0, 0, width, height);
    if (!m_caching || !m_marks.filled || !m_spareMarks.filled ||
        m_marks.color != m_spareMarks.color || m_spare.isNull() ||
        before.cacheKey() != m_spare.cacheKey() ||
        m_marks.tiles.size() != m_spareMarks.tiles.size()) {
        return all;
    }
    // Both are the same fill but where either was drawn on; when that is
    // most of it, all of it (as cheap to paint, cheaper to work out).
    size_t marked = 0;
    for (size_t i = 0; i < m_marks.tiles.size(); ++i) {
        marked += (m_marks.tiles[i] | m_spareMarks.tiles[i]) != 0 ? 1 : 0;
    }
    if (2 * marked > m_marks.tiles.size()) {
        return all;
    }
    // Bands of tile rows with the same runs of marked tiles; runs closer than a few tiles
    // are joined (fewer rectangles to paint, a few more pixels).
    const int32_t tile = 1 << kTileShift;
    constexpr int32_t kJoin = 4;
    std::vector<QRect> rects;
    std::vector<std::pair<int32_t, int32_t>> runs;
    std::vector<std::pair<int32_t, int32_t>> bandRuns;
    size_t bandFirst = 0;
    const size_t rows = m_marks.tiles.size() / static_cast<size_t>(m_tilesX);
    for (size_t ty = 0; ty <= rows; ++ty) {
        runs.clear();
        if (ty < rows) {
            const uint8_t* a = m_marks.tiles.data() + ty * m_tilesX;
            const uint8_t* b = m_spareMarks.tiles.data() + ty * m_tilesX;
            for (int32_t tx = 0; tx < m_tilesX; ++tx) {
                if ((a[tx] | b[tx]) == 0) {
                    continue;
                }
                int32_t end = tx + 1;
                while (end < m_tilesX && (a[end] | b[end]) != 0) {
                    ++end;
                }
                if (!runs.empty() && tx - runs.back().second <= kJoin) {
                    runs.back().second = end;
                } else {
                    runs.emplace_back(tx, end);
                }
                tx = end;
            }
        }
        if (ty == rows || runs != bandRuns) {
            const int32_t top = static_cast<int32_t>(bandFirst) * tile;
            const int32_t bottom = std::min(static_cast<int32_t>(ty) * tile, height);
            for (const auto& [from, to] : bandRuns) {
                rects.emplace_back(QPoint(from * tile, top),
                                   QPoint(std::min(to * tile, width) - 1, bottom - 1));
            }
            bandRuns = runs;
            bandFirst = ty;
        }
    }
    QRegion changed;
    changed.setRects(rects.data(), static_cast<int>(rects.size()));
    return changed;
}

void CCanvasQt::Drawn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!m_marks.filled) {
        return;
    }
    if (!ClipToSurface(left, top, right, bottom)) {
        return;
    }
    const int32_t first = left >> kTileShift;
    const int32_t count = ((right - 1) >> kTileShift) - first + 1;
    for (int32_t ty = top >> kTileShift; ty <= (bottom - 1) >> kTileShift; ++ty) {
        uint8_t* row = m_marks.tiles.data() + static_cast<size_t>(ty) * m_tilesX + first;
        if (count <= 8) { // a curve's segment: cheaper than a call
            for (int32_t i = 0; i < count; ++i) {
                row[i] = 1;
            }
        } else {
            std::memset(row, 1, static_cast<size_t>(count));
        }
    }
}

bool CCanvasQt::StillFilled(const CanvasRect& r, QRgb rgb) const {
    if (!m_marks.filled || rgb != m_marks.color) {
        return false;
    }
    const int32_t first = r.left >> kTileShift;
    const size_t count = static_cast<size_t>(((r.right - 1) >> kTileShift) - first + 1);
    for (int32_t ty = r.top >> kTileShift; ty <= (r.bottom - 1) >> kTileShift; ++ty) {
        const uint8_t* row = m_marks.tiles.data() + static_cast<size_t>(ty) * m_tilesX + first;
        if (std::memchr(row, 1, count) != nullptr) {
            return false;
        }
    }
    return true;
}

CanvasColor CCanvasQt::SetTextColor(CanvasColor color) {
    return std::exchange(m_textColor, color);
}

bool CCanvasQt::SetTransparentText(bool transparent) {
    return std::exchange(m_transparent, transparent);
}

std::string CCanvasQt::TextKey(std::string_view text, bool withPlace, int32_t x, int32_t y) const {
    std::string key;
    key.reserve(text.size() + 3 * sizeof(int32_t));
    const auto append = [&key](int32_t v) {
        key.append(reinterpret_cast<const char*>(&v), sizeof v);
    };
    append(m_fontIndex);
    if (withPlace) {
        append(x);
        append(y);
    }
    key.append(text);
    return key;
}

const QStaticText& CCanvasQt::LaidOut(std::string_view text) {
    // A chart draws the same labels at every redraw: their layout is kept
    // (the same pixels as laying the text out again, without shaping it).
    const std::string key = TextKey(text, false);
    if (m_caching) {
        if (std::unique_ptr<QStaticText>* kept = m_texts.Find(key)) {
            return **kept;
        }
    }
    auto laidOut = std::make_unique<QStaticText>(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    laidOut->setTextFormat(Qt::PlainText);
    laidOut->setPerformanceHint(QStaticText::AggressiveCaching);
    laidOut->prepare(QTransform(), m_qfont);
    return *m_texts.Insert(key, std::move(laidOut));
}

void CCanvasQt::DrawText(
    QPainter& painter, int32_t x, int32_t y, std::string_view text, QColor color) {
    painter.setFont(m_qfont);
    painter.setPen(color);
    painter.drawStaticText(QPointF(x, y), LaidOut(text));
}

std::optional<std::vector<CCanvasQt::Run>>
CCanvasQt::TakeText(int32_t x, int32_t y, std::string_view text, const TextMetrics& metrics) {
    const int32_t width = m_image.width();
    const int32_t height = m_image.height();
    if (m_scratch.size() != m_image.size()) {
        // Zeroed memory that the system hands out page by page: only the
        // rows texts are taken on ever take room (8 MB at 1920 x 1080
        // otherwise, for each chart).
        const qsizetype stride = static_cast<qsizetype>(width) * sizeof(QRgb);
        void* memory = std::calloc(static_cast<size_t>(stride) * height, 1);
        if (memory == nullptr) {
            return std::nullopt;
        }
        m_scratch = QImage(
            static_cast<uchar*>(memory),
            width,
            height,
            stride,
            QImage::Format_RGB32,
            [](void* p) { std::free(p); },
            memory);
    }
    {
        QPainter painter(&m_scratch);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        DrawText(painter, x, y, text, Qt::white);
    }
    // Lit pixels are the pen's white, all else black. They lie within the
    // glyphs' ink rectangle; it is looked around further while lit pixels
    // reach the edge of where it looked.
    uchar* const bits = m_scratch.bits();
    const qsizetype stride = m_scratch.bytesPerLine();
    const auto line = [&](int32_t py) { return reinterpret_cast<QRgb*>(bits + py * stride); };
    constexpr QRgb kColour = 0x00FFFFFF; // the alpha byte of RGB32 pixels is always set
    const auto lit = [](QRgb v) { return (v & kColour) != 0; };
    QRect area = metrics.ink.translated(x, y);
    int32_t l = 0;
    int32_t t = 0;
    int32_t r = 0;
    int32_t b = 0;
    for (int32_t grow = 1;; grow *= 2) {
        l = std::max(area.left() - grow, 0);
        t = std::max(area.top() - grow, 0);
        r = std::min(area.right() + 1 + grow, width); // exclusive
        b = std::min(area.bottom() + 1 + grow, height);
        if (l >= r || t >= b) {
            return std::vector<Run>{}; // wholly off the surface: nothing was lit
        }
        bool edge = false;
        for (int32_t py : {t, b - 1}) {
            if ((py == t && t > 0) || (py == b - 1 && b < height)) {
                const QRgb* p = line(py);
                edge = edge || std::any_of(p + l, p + r, lit);
            }
        }
        for (int32_t py = t; py < b && !edge; ++py) {
            edge = (l > 0 && lit(line(py)[l])) || (r < width && lit(line(py)[r - 1]));
        }
        if (!edge || (l == 0 && t == 0 && r == width && b == height)) {
            break;
        }
        area = QRect(QPoint(l, t), QPoint(r - 1, b - 1));
    }
    std::vector<Run> runs;
    for (int32_t py = t; py < b; ++py) {
        QRgb* p = line(py);
        QRgb any = 0;
        for (int32_t px = l; px < r; ++px) {
            any |= p[px];
        }
        if (!lit(any)) {
            continue;
        }
        for (int32_t px = l; px < r; ++px) {
            if (!lit(p[px])) {
                continue;
            }
            int32_t end = px;
            while (end < r && lit(p[end])) {
                ++end;
            }
            runs.push_back({py, px, end});
            std::fill(p + px, p + end, qRgb(0, 0, 0)); // black again for the next one
            px = end;
        }
    }
    return runs;
}

void CCanvasQt::TextOut(int32_t x, int32_t y, std::string_view text) {
    if (text.empty()) {
        return;
    }
    const TextMetrics metrics = Metrics(text);
    const CanvasSize extent = metrics.extent;
    if (!m_transparent) {
        FillRect(x, y, x + extent.width, y + extent.height, kWhite);
    }
    if (m_caching && DrawKept(x, y, text, metrics)) {
        return;
    }
    const QRect ink = metrics.ink.translated(x, y);
    Drawn(ink.left(), ink.top(), ink.right() + 1, ink.bottom() + 1);
    DrawText(Painter(), x, y, text, ToQColor(m_textColor));
}

bool CCanvasQt::DrawKept(int32_t x, int32_t y, std::string_view text, const TextMetrics& metrics) {
    const std::string key = TextKey(text, true, x, y);
    TextPixels* kept = m_pixels.Find(key);
    if (kept == nullptr) {
        // Seen once: a readout whose value changes at every redraw would
        // not pay for taking its pixels.
        (void)m_pixels.Insert(key, TextPixels{});
        return false;
    }
    if (!kept->taken) {
        std::optional<std::vector<Run>> runs = TakeText(x, y, text, metrics);
        if (!runs) {
            return false; // no room for the scratch surface: drawn as it comes
        }
        kept->runs = std::move(*runs); // TakeText leaves m_pixels alone
        kept->taken = true;
        CanvasRect& b = kept->bounds;
        constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
        constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
        b = {kMax, kMax, kMin, kMin};
        for (const Run& run : kept->runs) {
            b = {std::min(b.left, run.x0),
                 std::min(b.top, run.y),
                 std::max(b.right, run.x1),
                 std::max(b.bottom, run.y + 1)};
        }
    }
    Drawn(kept->bounds.left, kept->bounds.top, kept->bounds.right, kept->bounds.bottom);
    EndPainter();
    const QRgb rgb = ToQRgb(m_textColor);
    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (const Run& run : kept->runs) {
        QRgb* line = reinterpret_cast<QRgb*>(bits + run.y * stride);
        std::fill(line + run.x0, line + run.x1, rgb);
    }
    return true;
}

const CCanvasQt::TextMetrics& CCanvasQt::Metrics(std::string_view text) const {
    const std::string key = TextKey(text, false);
    if (m_caching) {
        if (const TextMetrics* kept = m_metrics.Find(key)) {
            return *kept;
        }
    }
    const QFontMetrics metrics(m_qfont);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    TextMetrics m;
    m.extent = {metrics.horizontalAdvance(s), metrics.ascent() + metrics.descent()};
    // The glyphs' bounding boxes from the baseline, widened by a margin
    // for rounding and hinting: nothing is drawn beyond it.
    const int32_t margin = 2 + m.extent.height / 8;
    m.ink = metrics.boundingRect(s)
                .translated(0, metrics.ascent())
                .united(QRect(0, 0, std::max(m.extent.width, 1), std::max(m.extent.height, 1)))
                .adjusted(-margin, -margin, margin, margin);
    return m_metrics.Insert(key, m);
}

CanvasSize CCanvasQt::TextExtent(std::string_view text) const {
    return Metrics(text).extent;
}

std::unique_ptr<ICanvas> CCanvasQt::CreateCompatible(int32_t width, int32_t height) const {
    return std::make_unique<CCanvasQt>(width, height);
}

void CCanvasQt::AlphaBlend(int32_t dx,
                           int32_t dy,
                           const ICanvas& source,
                           int32_t sx,
                           int32_t sy,
                           int32_t width,
                           int32_t height,
                           uint8_t alpha) {
    Drawn(dx, dy, dx + width, dy + height);
    EndPainter();
    const auto* qt = dynamic_cast<const CCanvasQt*>(&source);
    if (qt != nullptr) {
        qt->EndPainter();
    }
    for (int32_t j = 0; j < height; ++j) {
        const int32_t ty = dy + j;
        if (ty < 0 || ty >= m_image.height()) {
            continue;
        }
        QRgb* line = reinterpret_cast<QRgb*>(m_image.scanLine(ty));
        const QRgb* from = nullptr;
        if (qt != nullptr && sy + j >= 0 && sy + j < qt->m_image.height()) {
            from = reinterpret_cast<const QRgb*>(qt->m_image.constScanLine(sy + j));
        }
        for (int32_t i = 0; i < width; ++i) {
            const int32_t tx = dx + i;
            if (tx < 0 || tx >= m_image.width()) {
                continue;
            }
            QRgb s = 0;
            if (from != nullptr) {
                if (sx + i < 0 || sx + i >= qt->m_image.width()) {
                    continue;
                }
                s = from[sx + i];
            } else {
                s = ToQRgb(source.PixelAt(sx + i, sy + j));
            }
            const QRgb d = line[tx];
            const auto mix = [alpha](int a, int b) {
                return (a * alpha + b * (255 - alpha)) / 255;
            };
            line[tx] =
                qRgb(mix(qRed(s), qRed(d)), mix(qGreen(s), qGreen(d)), mix(qBlue(s), qBlue(d)));
        }
    }
}

CanvasColor CCanvasQt::PixelAt(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height()) {
        return 0;
    }
    EndPainter();
    const QRgb p = reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x];
    return Rgb(static_cast<uint8_t>(qRed(p)),
               static_cast<uint8_t>(qGreen(p)),
               static_cast<uint8_t>(qBlue(p)));
}
