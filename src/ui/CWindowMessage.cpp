#include "ui/CWindowMessage.h"

CWindowMessage::CWindowMessage(uint32_t message, int32_t wParam, int32_t lParam)
    : QEvent(EventType())
    , m_message(message)
    , m_wParam(wParam)
    , m_lParam(lParam) {}

QEvent::Type CWindowMessage::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
