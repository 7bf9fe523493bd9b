#include "device/CDeviceLinkSocket.h"

#include "platform/Clock.h"
#include "platform/Socket.h"
#include "protocol/FrameSocket.h"

#include <algorithm>
#include <cstring>
#include <string>

CDeviceLinkSocket::CDeviceLinkSocket(uint16_t port, int32_t replyWindowMs)
    : m_port(port)
    , m_replyWindowMs(replyWindowMs) {
    (void)m_replySignal.Create(0);
}

CDeviceLinkSocket::~CDeviceLinkSocket() {
    Stop();
    m_replySignal.Close();
}

int CDeviceLinkSocket::Start() {
    if (m_running.load() == 0) {
        return 0;
    }
    return m_thread.Start(&CDeviceLinkSocket::ThreadMain, this);
}

void CDeviceLinkSocket::Stop() {
    m_running = 0;
    {
        std::lock_guard lock(m_state);
        platform::SocketShutdown(m_socket);
    }
    m_thread.Stop();
}

int32_t CDeviceLinkSocket::OnLinkState(int32_t, int32_t) {
    return 0;
}

std::string CDeviceLinkSocket::GetLastError() const {
    std::lock_guard lock(m_state);
    return m_lastError;
}

void CDeviceLinkSocket::SetLastError(std::string text) {
    std::lock_guard lock(m_state);
    m_lastError = std::move(text);
}

void CDeviceLinkSocket::ThreadMain(void* self) {
    static_cast<CDeviceLinkSocket*>(self)->Run();
}

void CDeviceLinkSocket::Run() {
    while (m_running.load() != 0) {
        std::string error;
        // The connect is bounded so that Stop is never held by a bridge whose
        // backlog is full.
        const int s = platform::TcpConnect("127.0.0.1", m_port, 1000, &error);
        if (s == platform::kInvalidSocket) {
            SetLastError(error);
            platform::SleepMs(kRetryMs);
            continue;
        }
        {
            std::lock_guard lock(m_state);
            m_socket = s;
        }
        if (m_running.load() == 0) {
            break; // Stop came between the connect and the store above
        }
        if (OnLinkState(1, kLinkType) == 0) {
            {
                std::lock_guard lock(m_state);
                m_socket = -1;
            }
            platform::SocketClose(s);
            platform::SleepMs(kRetryMs);
            continue;
        }
        ++m_connects;
        m_connected = 1;
        ReceiveLoop(s);
        m_connected = 0;
        OnLinkState(0, kLinkType);
        {
            std::lock_guard lock(m_state);
            m_socket = -1;
        }
        platform::SocketClose(s);
        // Reconnect at once: a bridge that restarts is taken up again without delay.
    }
    std::lock_guard lock(m_state);
    if (m_socket != -1) {
        platform::SocketClose(m_socket);
        m_socket = -1;
    }
}

void CDeviceLinkSocket::ReceiveLoop(int socket) {
    uint8_t segment[64];
    for (;;) {
        const long n = platform::SocketRecv(socket, segment, sizeof segment);
        if (n <= 0) {
            if (n < 0) {
                SetLastError("recv: connection lost");
            }
            return;
        }
        {
            // A bridge may deliver one reply in several segments: append, and
            // let the transaction judge once the reply is complete. Bytes
            // beyond the buffer cannot belong to one reply and are dropped.
            std::lock_guard lock(m_state);
            const size_t room = sizeof m_reply - m_replyLength;
            const size_t take = std::min(room, static_cast<size_t>(n));
            std::memcpy(m_reply + m_replyLength, segment, take);
            m_replyLength += take;
        }
        m_replySignal.Release();
    }
}

int CDeviceLinkSocket::Read(uint8_t unit, uint8_t reg, uint8_t length, uint8_t* buffer) {
    if (buffer == nullptr) {
        return 0;
    }
    return Transact(unit, reg, false, length, nullptr, buffer);
}

int CDeviceLinkSocket::Write(
    uint8_t unit, uint8_t reg, uint8_t length, const uint8_t* data, int32_t) {
    return Transact(unit, reg, true, length, data, nullptr);
}

int CDeviceLinkSocket::Transact(
    uint8_t unit, uint8_t reg, bool write, uint8_t length, const uint8_t* data, uint8_t* out) {
    std::array<uint8_t, frames::kSocketMaxRequest> request{};
    const size_t requestLength =
        frames::BuildSocketRequest(unit, reg, write, length, data, request);
    if (requestLength == 0) {
        SetLastError("invalid transaction length");
        return 0;
    }
    CMLockGuard guard(m_transaction);
    if (!guard.locked()) {
        return 0;
    }
    if (m_connected.load() == 0) {
        SetLastError("not connected");
        return 0;
    }

    // A reply that came after the previous transaction gave up must not be
    // taken for this one's: consume its signals, then clear the buffer. Only
    // a failed transaction can leave a reply on its way, so only then is it
    // worth waiting 1 ms for one; after a clean one the signals are drained.
    const bool unsettled = m_previousFailed;
    if (m_replySignal.Wait(unsettled ? 1 : 0) != 0) {
        while (m_replySignal.Wait(0) != 0) {
        }
    }
    m_previousFailed = true; // until this one has been judged a success
    {
        std::lock_guard lock(m_state);
        m_replyLength = 0;
        std::memset(m_reply, 0, sizeof m_reply);
        // Sent under the state lock so the receive thread cannot close and the
        // system reuse the descriptor in between; the send never blocks.
        if (platform::SocketSend(m_socket, request.data(), requestLength) !=
            static_cast<long>(requestLength)) {
            m_lastError = "send failed";
            return 0;
        }
    }

    const size_t expected = frames::SocketReplyLength(write, length);
    uint8_t reply[64];
    const uint32_t start = platform::TickCount();
    size_t received = 0;
    for (;;) {
        const int32_t elapsed = static_cast<int32_t>(platform::TickCount() - start);
        const int32_t remaining = m_replyWindowMs - elapsed;
        if (remaining < 0 || m_replySignal.Wait(remaining) == 0) {
            SetLastError("no reply within " + std::to_string(m_replyWindowMs) + " ms");
            return 0;
        }
        if (m_connected.load() == 0) {
            SetLastError("connection lost");
            return 0;
        }
        std::lock_guard lock(m_state);
        if (m_replyLength >= expected) {
            std::memcpy(reply, m_reply, expected);
            received = m_replyLength;
            break;
        }
    }
    if (unsettled) {
        // The reply of a transaction that gave up may come after all, right
        // in this one's window, and the frames carry nothing to tell whose
        // reply it is. The bridge answers in order, so the replies still due
        // follow it at once: until a transaction comes back clean, a reply
        // counts only when nothing follows it for a moment.
        const uint32_t settle = platform::TickCount();
        for (;;) {
            const int32_t left = kSettleMs - static_cast<int32_t>(platform::TickCount() - settle);
            if (left <= 0 || m_replySignal.Wait(left) == 0) {
                break;
            }
        }
        std::lock_guard lock(m_state);
        received = m_replyLength;
    }
    if (received > expected) {
        SetLastError("replies out of step with the requests");
        return 0;
    }

    const std::span<const uint8_t> complete(reply, expected);
    const bool ok = write ? frames::JudgeSocketWriteReply(complete)
                          : frames::JudgeSocketReadReply(complete, length, out);
    if (!ok) {
        SetLastError(write ? "write not acknowledged" : "malformed reply");
        return 0;
    }
    m_previousFailed = false;
    return 1;
}
