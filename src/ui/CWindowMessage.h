#pragma once

#include <QEvent>

#include <cstdint>

// A window message posted to a dialog and delivered on the user-interface
// thread: the message number and its two parameters. The device event
// message 0x0401 carries the event number and its value.
class CWindowMessage : public QEvent {
public:
    static constexpr uint32_t kUser = 0x0400;
    static constexpr uint32_t kDeviceEvent = kUser + 1; // 0x0401: event, value

    CWindowMessage(uint32_t message, int32_t wParam, int32_t lParam);

    // The event type of every window message (registered once).
    [[nodiscard]] static QEvent::Type EventType();

    [[nodiscard]] uint32_t Message() const { return m_message; }
    [[nodiscard]] int32_t WParam() const { return m_wParam; }
    [[nodiscard]] int32_t LParam() const { return m_lParam; }

private:
    uint32_t m_message;
    int32_t m_wParam;
    int32_t m_lParam;
};
