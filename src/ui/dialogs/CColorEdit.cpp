#include "ui/dialogs/CColorEdit.h"

#include <QApplication>
#include <QPainter>

CColorEdit::CColorEdit(QWidget* parent)
    : QLineEdit(parent) {
    ChooseBackground();
}

void CColorEdit::SetAlarm(uint8_t alarm) {
    if (alarm == m_alarm) {
        return;
    }
    m_alarm = alarm;
    ChooseBackground();
    update();
}

void CColorEdit::SetTextAndAlarm(const QString& text, uint8_t alarm) {
    setText(text);
    SetAlarm(alarm);
}

QColor CColorEdit::FrameColor() const {
    return m_alarm != 0 ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::Shadow);
}

void CColorEdit::ChooseBackground() {
    // The system colour is read each time, so a colour scheme changed since
    // construction is followed when the alarm clears.
    m_background = m_alarm != 0 ? QColor::fromRgb(kAlarmColor)
                                : QApplication::palette().color(QPalette::Button);
    QPalette p = palette();
    p.setColor(QPalette::Base, m_background);
    p.setColor(QPalette::Text, Qt::black);
    setPalette(p);
    ++m_backgroundChanges;
}

void CColorEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // The frame goes over the edit's own painting. It is not followed by
    // another repaint request: that would repaint the control forever.
    QPainter painter(this);
    painter.setPen(FrameColor());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
