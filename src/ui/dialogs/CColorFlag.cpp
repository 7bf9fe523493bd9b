#include "ui/dialogs/CColorFlag.h"

#include <QPainter>

CColorFlag::CColorFlag(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CColorFlag::SetColor(const QColor& color) {
    m_color = color;
    update();
}

void CColorFlag::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
}
