#include "foundation/CMSemaphore.h"

#include "platform/Semaphore.h"

CMSemaphore::CMSemaphore() = default;

CMSemaphore::~CMSemaphore() = default;

int CMSemaphore::Create(int32_t initialCount) {
    if (m_handle) {
        return 0;
    }
    m_handle = std::make_unique<platform::Semaphore>(initialCount, kMaximum);
    return 1;
}

int CMSemaphore::Wait(int32_t timeoutMs) {
    if (!m_handle) {
        return 0;
    }
    return m_handle->wait(timeoutMs) ? 1 : 0;
}

int CMSemaphore::Release() {
    if (!m_handle) {
        return 0;
    }
    return m_handle->release() ? 1 : 0;
}

int CMSemaphore::Close() {
    if (!m_handle) {
        return 0;
    }
    m_handle.reset();
    return 1;
}
