#include "ui/CEventPoster.h"

#include "ui/CWindowMessage.h"

#include <QCoreApplication>

CEventPoster::CEventPoster(QObject* target)
    : m_target(target) {}

CEventPoster::~CEventPoster() {
    Close();
}

bool CEventPoster::Post(uint32_t message, int32_t wParam, int32_t lParam) {
    std::lock_guard lock(m_lock);
    if (m_target == nullptr) {
        return false;
    }
    // postEvent is safe from any thread; the queue owns the event.
    QCoreApplication::postEvent(m_target, new CWindowMessage(message, wParam, lParam));
    return true;
}

void CEventPoster::Close() {
    std::lock_guard lock(m_lock);
    m_target = nullptr;
}

int32_t CEventPoster::DeviceCallback(int32_t event, int32_t value, void* poster) {
    if (poster == nullptr) {
        return 0;
    }
    return static_cast<CEventPoster*>(poster)->Post(CWindowMessage::kDeviceEvent, event, value) ? 1
                                                                                                : 0;
}
