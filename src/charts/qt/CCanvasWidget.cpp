#include "charts/qt/CCanvasWidget.h"

#include "charts/qt/CCanvasQt.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

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
        // Copied into the control's own image: sharing the surface's would
        // make its next redraw copy it first (and allocate a new one) only
        // to paint over it.
        const QImage& image = qt->Image();
        if (m_shown.size() != image.size() || m_shown.format() != image.format()) {
            m_shown = QImage(image.size(), image.format());
        }
        const qsizetype bytes = std::min(m_shown.sizeInBytes(), image.sizeInBytes());
        std::memcpy(m_shown.bits(), image.constBits(), static_cast<size_t>(bytes));
    } else {
        const CanvasSize size = surface.Size();
        m_shown = QImage(size.width, size.height, QImage::Format_RGB32);
        for (int32_t y = 0; y < size.height; ++y) {
            for (int32_t x = 0; x < size.width; ++x) {
                const CanvasColor c = surface.PixelAt(x, y);
                m_shown.setPixel(x, y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
            }
        }
    }
    m_copied = true;
    if (!m_inPaint) {
        update();
    }
}

void CCanvasWidget::paintEvent(QPaintEvent*) {
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
    painter.drawImage(0, 0, m_shown);
}
