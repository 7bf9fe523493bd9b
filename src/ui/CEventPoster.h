#pragma once

#include <cstdint>
#include <mutex>

class QObject;

// Posts window messages to one object from any thread. The device's event
// handler is DeviceCallback with the poster as its user data: it only posts
// message 0x0401 (event, value) and never touches a control.
//
// Thread safety: Post and DeviceCallback from any thread. Close on the
// user-interface thread, before the target is destroyed: once it returns no
// message is posted any more (a Post running at the same time finishes
// first). The poster itself must outlive every thread that may still call it.
class CEventPoster {
public:
    explicit CEventPoster(QObject* target);
    ~CEventPoster();
    CEventPoster(const CEventPoster&) = delete;
    CEventPoster& operator=(const CEventPoster&) = delete;

    // Queues the message for the target; false once closed.
    bool Post(uint32_t message, int32_t wParam, int32_t lParam);
    void Close();

    // A device event handler: posts 0x0401 (event, value) to the poster
    // given as user data. 1 when posted, 0 otherwise.
    static int32_t DeviceCallback(int32_t event, int32_t value, void* poster);

private:
    std::mutex m_lock; // guards m_target against Close
    QObject* m_target;
};
