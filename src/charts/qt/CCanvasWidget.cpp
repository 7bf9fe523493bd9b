#include "charts/qt/CCanvasWidget.h"

#include "charts/qt/CCanvasQt.h"

#include <QPaintEvent>
#include <QPainter>

CCanvasWidget::CCanvasWidget(QWidget* parent)
    : QWidget(parent) {
    // Every pixel comes from the surface: no background to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CanvasSize CCanvasWidget::HostSize() const {
    return {width(), height()};
}

CanvasRect CCanvasWidget::HostRect() const {
    const QRect r = geometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

bool CCanvasWidget::HostVisible() const {
    return isVisible();
}

std::unique_ptr<ICanvas> CCanvasWidget::CreateSurface(int32_t width, int32_t height) {
    return std::make_unique<CCanvasQt>(width, height);
}

void CCanvasWidget::BlockCopy(const ICanvas& surface) {
    if (const auto* qt = dynamic_cast<const CCanvasQt*>(&surface)) {
        // The surface's image is kept, not copied: the canvas draws its
        // next picture into another one (see CCanvasQt), and a copy of the
        // same picture again changes nothing on screen.
        const QImage& image = qt->Image();
        if (!m_shown.isNull() && image.cacheKey() == m_shown.cacheKey()) {
            return;
        }
        // Only where the new picture may differ from the one on screen.
        const QRegion changed = m_shown.isNull() || m_shown.size() != image.size()
                                    ? QRegion(0, 0, image.width(), image.height())
                                    : qt->ChangedFrom(m_shown);
        m_shown = image;
        m_copied = true;
        if (!m_inPaint) {
            update(changed);
        }
        return;
    }
    const CanvasSize size = surface.Size();
    m_shown = QImage(size.width, size.height, QImage::Format_RGB32);
    for (int32_t y = 0; y < size.height; ++y) {
        for (int32_t x = 0; x < size.width; ++x) {
            const CanvasColor c = surface.PixelAt(x, y);
            m_shown.setPixel(x, y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
        }
    }
    m_copied = true;
    if (!m_inPaint) {
        update();
    }
}

void CCanvasWidget::paintEvent(QPaintEvent* event) {
    if (!m_copied && m_onPaint) {
        m_inPaint = true;
        m_onPaint();
        m_inPaint = false;
    }
    m_copied = false;
    QPainter painter(this);
    if (m_shown.isNull()) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    // Only what Qt asks for: what changed, or what a window moved away
    // from uncovers.
    for (const QRect& area : event->region()) {
        painter.drawImage(area.topLeft(), m_shown, area);
    }
}
