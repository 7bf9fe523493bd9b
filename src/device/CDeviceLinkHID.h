#pragma once

#include "device/CDeviceHID.h"
#include "foundation/CMMutex.h"
#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace platform {
class HidPort;
}

// Link type 0: register transactions through the USB HID dongle (vendor
// 0x16C0, product 0x06F5) as output report 2 and input report 3.
//
// The monitor thread looks for the dongle every 100 ms, opens the last one
// found, and polls input report 1 every 100 ms under the transaction mutex.
// The first two bytes of that report as the device returns it (report id
// byte included) form the dongle version; a version in 256..512 is offered
// with OnLinkState(1, 0). A refused offer closes the dongle for 1 s; a failed
// poll reports the link down and searches again. The rate thread turns the
// count of successful transactions into a per-second rate.
//
// Link contract as for CDeviceLinkSocket: Start, Stop, Read, Write,
// OnLinkState, IsConnected, GetLastError.
//
// Thread safety: Read and Write may be called from any thread; the
// transaction mutex serialises them with each other and with the version
// poll. OnLinkState runs on the monitor thread, never with the transaction
// mutex held, and must not start a transaction on this link. Start and Stop
// belong to the owner. GetRate, IsConnected and GetDongleVersion from any
// thread.
class CDeviceLinkHID {
public:
    static constexpr int32_t kLinkType = 0;
    static constexpr uint16_t kVendorId = 0x16C0;
    static constexpr uint16_t kProductId = 0x06F5;
    static constexpr int32_t kSearchMs = 100;   // between searches
    static constexpr int32_t kPollMs = 100;     // between version polls
    static constexpr int32_t kRefusedMs = 1000; // after a refused offer
    static constexpr int32_t kOpenSettleMs = 2; // between opening and the first poll
    static constexpr int32_t kRateMs = 1000;
    static constexpr uint16_t kMinVersion = 256;
    static constexpr uint16_t kMaxVersion = 512;

    // port: where to look for the dongle; null means the system's HID
    // devices. Not owned; it must outlive this object.
    explicit CDeviceLinkHID(platform::HidPort* port = nullptr);
    virtual ~CDeviceLinkHID(); // calls Stop
    CDeviceLinkHID(const CDeviceLinkHID&) = delete;
    CDeviceLinkHID& operator=(const CDeviceLinkHID&) = delete;

    // Starts the monitor and rate threads; 1 if both started. 0 after Stop.
    int Start();

    // Ends both threads cooperatively: clears the running flag, interrupts
    // the dongle (a poll or transaction blocked in it fails), wakes the
    // pauses, and joins. A connected link reports itself down first.
    // Idempotent. An owner that overrides OnLinkState calls it before its own
    // members are destroyed.
    void Stop();

    // Reads length (1..32) bytes of register reg (0..15) of unit. Returns the
    // HID result code (frames::HidResult): 0 success with exactly length
    // bytes in buffer; 1 not connected or a report transfer failed; 2 no
    // final status; 3 resend limit; 4 status 5; 5 status 3; 6 bad length or
    // no buffer (checked before anything else).
    [[nodiscard]] int Read(uint8_t unit, uint8_t reg, uint8_t length, uint8_t* buffer);

    // Writes length (1..32) bytes; delayMs (0 or more) is paused between
    // sending the request and asking for its status. Codes as Read.
    [[nodiscard]] int
    Write(uint8_t unit, uint8_t reg, uint8_t length, const uint8_t* data, int32_t delayMs);

    // Link up or down; returns non-zero to accept. This class accepts nothing.
    virtual int32_t OnLinkState(int32_t connected, int32_t linkType);

    [[nodiscard]] bool IsConnected() const { return m_connected.load() != 0; }

    // Successful transactions in the last whole second.
    [[nodiscard]] uint32_t GetRate() const { return m_countLastSecond.load(); }

    // The latest value read from input report 1.
    [[nodiscard]] uint16_t GetDongleVersion() const { return m_version.load(); }

    [[nodiscard]] bool IsDongleOpen() const { return m_hid.IsOpen() != 0; }

    // The failing call of the latest failure.
    [[nodiscard]] std::string GetLastError() const;

    // One pass of the monitor thread: a search and open while no dongle is
    // open, otherwise one version poll. Returns the pause in ms before the
    // next pass. Called by the monitor thread, or by tests on a link that was
    // never started.
    int32_t MonitorOnce();

    // One pass of the rate thread: the count of this second becomes the rate.
    void RateOnce();

    // The pause used inside a transaction (the write delay, 1 ms between busy
    // polls). Tests and fuzzing replace it; default platform::SleepMs.
    using SleepFn = void (*)(int32_t ms);
    void SetSleep(SleepFn sleep) { m_sleep = sleep; }

private:
    static void MonitorMain(void* self);
    static void RateMain(void* self);
    void RunMonitor();
    void RunRate();
    int Transact(uint8_t unit,
                 uint8_t reg,
                 bool write,
                 uint8_t length,
                 const uint8_t* data,
                 uint8_t* out,
                 int32_t delayMs);
    int SendRequest(const uint8_t* report);
    void SetLastError(std::string text);

    std::atomic<int32_t> m_running{1};
    std::atomic<int32_t> m_connected{0};
    std::atomic<uint16_t> m_version{0};
    std::atomic<uint32_t> m_countThisSecond{0};
    std::atomic<uint32_t> m_countLastSecond{0};
    SleepFn m_sleep;

    CMThread m_monitorThread;
    CMThread m_rateThread;
    // Serialises transactions and the version poll; also held by the monitor
    // thread while it opens or closes the dongle. Never held while calling
    // OnLinkState, so that the device's own locks always come first.
    CMMutex m_transaction;
    CMSemaphore m_monitorWake; // released by Stop to cut a monitor pause short
    CMSemaphore m_rateWake;    // likewise for the rate thread

    CDeviceHID m_hid;

    mutable std::mutex m_errorLock;
    std::string m_lastError;
};
