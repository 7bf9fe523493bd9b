#pragma once

#include "foundation/CMMutex.h"
#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"
#include "protocol/FrameSerialParser.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {
class SerialPort;
class SerialPortSystem;
struct SerialPortInfo;
} // namespace platform

// Link type 2: register transactions through the USB serial adapter (vendor
// 0x16C0, product 0x06F6) at 100000 baud, as byte-stuffed frames.
//
// The thread lists the serial ports every 200 ms, traces the line
// "[%03d] : FriendName = %s" (list index, friendly name) on the debug channel
// (DebugTrace) for every port with the adapter's ids, opens the first such port that
// opens, configures it (100000 baud, DTR and RTS on) and offers it with
// OnLinkState(1, 2). Once accepted it feeds every received byte to the frame
// parser, polling the port at least every 10 ms. When the port fails (the
// adapter was unplugged) the link reports itself down at once, ends a
// transaction that waits for its reply, and searches again.
//
// A transaction sends its request with a new sequence byte, waits up to
// 100 ms for a reply frame, and judges it (echoed sequence, length, check
// byte or acknowledgement); a missing or wrong reply costs one attempt, and
// a call makes at most two.
//
// Link contract as for CDeviceLinkSocket: Start, Stop, Read, Write,
// OnLinkState, IsConnected, GetLastError.
//
// Thread safety: Read and Write may be called from any thread; the
// transaction mutex serialises them. OnLinkState runs on the link's thread,
// never with the transaction mutex held, and must not start a transaction on
// this link. Start and Stop belong to the owner.
class CDeviceLinkUart {
public:
    static constexpr int32_t kLinkType = 2;
    static constexpr uint16_t kVendorId = 0x16C0;
    static constexpr uint16_t kProductId = 0x06F6;
    static constexpr uint32_t kBaudRate = 100000;
    static constexpr int32_t kSearchMs = 200;    // between searches, also after a failed list
    static constexpr int32_t kIdlePollMs = 10;   // longest wait for received bytes
    static constexpr int32_t kReplyWaitMs = 100; // per attempt
    static constexpr int kAttempts = 2;
    static constexpr size_t kReadChunk = 512;
    static constexpr int32_t kDrainMs = 50;

    // ports: where to look for the adapter; null means the system's serial
    // ports. Not owned; it must outlive this object.
    explicit CDeviceLinkUart(platform::SerialPortSystem* ports = nullptr);
    virtual ~CDeviceLinkUart(); // calls Stop
    CDeviceLinkUart(const CDeviceLinkUart&) = delete;
    CDeviceLinkUart& operator=(const CDeviceLinkUart&) = delete;

    // Starts the search-and-receive thread; 1 if it started. 0 after Stop.
    int Start();

    // Ends the thread cooperatively: clears the running flag, ends a reply
    // wait, wakes the pauses, and joins (every wait of the thread is at most
    // 10 ms or a pause that Stop cuts short). A connected link reports itself
    // down first. Idempotent.
    void Stop();

    // Reads length (1..32) bytes of register reg (0..15) of unit; 1 on
    // success with exactly length bytes in buffer, 0 on failure. With no
    // port announced it fails at once, without taking the transaction mutex.
    [[nodiscard]] int Read(uint8_t unit, uint8_t reg, uint8_t length, uint8_t* buffer);

    // Writes length (1..32) bytes and waits for the acknowledgement; the
    // delay is ignored on this link. 1 on success, 0 on failure.
    [[nodiscard]] int
    Write(uint8_t unit, uint8_t reg, uint8_t length, const uint8_t* data, int32_t delayMs);

    // Link up or down; returns non-zero to accept. This class accepts nothing.
    virtual int32_t OnLinkState(int32_t connected, int32_t linkType);

    [[nodiscard]] bool IsConnected() const { return m_connected.load() != 0; }

    // The failing call or the reason of the latest failure.
    [[nodiscard]] std::string GetLastError() const;

    // The path of the announced port; empty while none.
    [[nodiscard]] std::string GetPortPath() const;

    // Finds "VID_" and the hexadecimal number after it, then "PID_" after
    // that and its number. False when either is missing.
    [[nodiscard]] static bool
    ParseHardwareId(std::string_view hardwareId, uint16_t* vendorId, uint16_t* productId);

    // The port name in a friendly name: from "COM" on, without the closing
    // parenthesis ("USB Serial Device (COM7)" gives "COM7"). Empty when there
    // is no "COM".
    [[nodiscard]] static std::string PortNameFromFriendlyName(std::string_view friendlyName);

    // The path to open for a listed port: its device node when the list
    // names one, otherwise "\\.\" and the port name of the friendly name.
    [[nodiscard]] static std::string PortPath(const platform::SerialPortInfo& port);

    // One search pass of the thread: list, open, configure, offer. Returns 0
    // once announced, otherwise the pause in ms before the next search.
    int32_t SearchOnce();

    // One receive pass of the thread over the announced port; false when the
    // port is gone.
    bool ReceiveOnce();

    // The receive path: feeds bytes to the frame parser and signals each
    // completed reply frame. Returns the frames completed. Receive thread
    // only (or a fuzzer on a link that was never started).
    size_t ReceiveBytes(const uint8_t* bytes, size_t count);

    // Judges the latest reply frame as the reply to a transaction with this
    // sequence byte; a read's data go to out. Same thread rules as
    // ReceiveBytes, or under the transaction mutex.
    [[nodiscard]] bool JudgeLastReply(bool write, uint8_t sequence, uint8_t length, uint8_t* out);

private:
    static void ThreadMain(void* self);
    void Run();
    void Disconnect();
    int Transact(
        uint8_t unit, uint8_t reg, bool write, uint8_t length, const uint8_t* data, uint8_t* out);
    void SetLastError(std::string text);

    platform::SerialPortSystem* const m_ports;
    std::atomic<int32_t> m_running{1};
    std::atomic<int32_t> m_connected{0};

    CMThread m_thread;
    // Serialises transactions; the thread also takes it to close the port,
    // so that no transaction is using the port when it goes. Never held
    // while calling OnLinkState.
    CMMutex m_transaction;
    CMSemaphore m_replySignal; // one count per completed reply frame, one to end a wait
    CMSemaphore m_wake;        // released by Stop to cut a search pause short

    // Set by the thread before the link is announced and reset by the thread
    // under the transaction mutex; transactions use it only while connected.
    std::unique_ptr<platform::SerialPort> m_port;
    uint8_t m_sequence = 0; // under the transaction mutex

    // Guards the parser (and with it the latest reply) between the receive
    // thread and a transaction that resets it or reads the reply.
    mutable std::mutex m_rxLock;
    frames::FrameSerialParser m_parser;

    mutable std::mutex m_infoLock; // guards the two texts below
    std::string m_lastError;
    std::string m_portPath;
};
