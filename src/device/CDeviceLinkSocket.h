#pragma once

#include "foundation/CMMutex.h"
#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Link type 1: register transactions over one TCP connection to the bridge
// program on this computer (127.0.0.1:8987).
//
// The link contract, shared by the HID, socket and serial links:
//  - a running flag, 1 from construction until Stop;
//  - a connected flag, set by the link's thread only after OnLinkState(1, type)
//    was accepted, cleared when the connection is lost;
//  - one background thread that finds, opens and watches the connection;
//  - a transaction mutex serialising Read and Write;
//  - OnLinkState(connected, link type), called on the link's thread when the
//    connection comes up or goes down; a non-zero result accepts the link.
//
// Thread safety: Read and Write may be called from any thread; they are
// serialised by the transaction mutex. OnLinkState runs on the link's thread
// and must not start a transaction on this link. Start and Stop belong to the
// owner.
class CDeviceLinkSocket {
public:
    static constexpr int32_t kLinkType = 1;
    static constexpr uint16_t kDefaultPort = 8987;
    static constexpr int32_t kReplyWindowMs = 10;
    static constexpr int32_t kRetryMs = 100;
    // After a failed transaction, how long a reply must stand alone before
    // it is taken (a late reply of the failed one would be followed at once
    // by the replies still due).
    static constexpr int32_t kSettleMs = 3;

    // The endpoint and the 10 ms reply window are fixed for users; tests pass
    // another port so that runs in parallel never collide, and a wider window
    // where sanitizers slow the simulator down.
    explicit CDeviceLinkSocket(uint16_t port = kDefaultPort,
                               int32_t replyWindowMs = kReplyWindowMs);
    virtual ~CDeviceLinkSocket(); // calls Stop
    CDeviceLinkSocket(const CDeviceLinkSocket&) = delete;
    CDeviceLinkSocket& operator=(const CDeviceLinkSocket&) = delete;

    // Starts the connect-and-receive thread; 1 if it started.
    int Start();

    // Ends the thread cooperatively: clears the running flag, shuts the socket
    // down so a blocked receive returns, and joins. Idempotent. An owner that
    // overrides OnLinkState calls it before its own members are destroyed.
    void Stop();

    // Reads length (1..32) bytes of register reg (0..15) of unit; 1 on success
    // with exactly length bytes in buffer, 0 on failure. After a failed
    // transaction, until one succeeds, a reply followed by more bytes within
    // kSettleMs is refused as out of step (it may be a late one's).
    [[nodiscard]] int Read(uint8_t unit, uint8_t reg, uint8_t length, uint8_t* buffer);

    // Writes length (1..32) bytes and waits for the acknowledgement; the delay
    // is ignored on this link. 1 on success, 0 on failure.
    [[nodiscard]] int
    Write(uint8_t unit, uint8_t reg, uint8_t length, const uint8_t* data, int32_t delayMs);

    // Link up or down; returns non-zero to accept. This class accepts nothing.
    virtual int32_t OnLinkState(int32_t connected, int32_t linkType);

    [[nodiscard]] bool IsConnected() const { return m_connected.load() != 0; }
    [[nodiscard]] uint16_t GetPort() const { return m_port; }

    // The failing OS call of the latest connect attempt or transaction.
    [[nodiscard]] std::string GetLastError() const;

    // Successful connects so far (for tests and diagnostics).
    [[nodiscard]] uint32_t GetConnectCount() const { return m_connects.load(); }

private:
    static void ThreadMain(void* self);
    void Run();
    void ReceiveLoop(int socket);
    int Transact(
        uint8_t unit, uint8_t reg, bool write, uint8_t length, const uint8_t* data, uint8_t* out);
    void SetLastError(std::string text);

    const uint16_t m_port;
    const int32_t m_replyWindowMs;
    std::atomic<int32_t> m_running{1};
    std::atomic<int32_t> m_connected{0};
    std::atomic<uint32_t> m_connects{0};

    CMThread m_thread;
    CMMutex m_transaction;        // serialises Read and Write; never taken by the thread
    bool m_previousFailed = true; // guarded by m_transaction
    CMSemaphore m_replySignal;    // released by the thread for each received segment

    // Guards the socket handle against Stop's shutdown racing the thread's
    // close, and the reply buffer against the receive thread. Held only for
    // copies, never across a blocking call.
    mutable std::mutex m_state;
    int m_socket = -1;
    uint8_t m_reply[64] = {};
    size_t m_replyLength = 0;
    std::string m_lastError;
};
