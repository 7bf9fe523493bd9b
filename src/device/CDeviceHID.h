#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {
class HidDevice;
class HidPort;
} // namespace platform

// One HID device handle: finding a device by vendor and product id among the
// present HID devices, opening it, and its numbered reports.
//
// Result codes of Open, Close and the report calls: 0 success; 1 no such
// device (or it would not open); 2 not open; 3 already open; 5 the report
// transfer failed; 7 the handle was already invalid.
//
// Thread safety: Open, Close, SetTimeouts and the report calls are made by one
// thread at a time (the HID link's transaction mutex serialises them).
// Interrupt and IsOpen may be called from any thread; the getters belong to
// the thread that opens and closes.
class CDeviceHID {
public:
    static constexpr int kMaxDevices = 64; // enumeration index limit

    enum Code : int {
        kOk = 0,
        kNoDevice = 1,
        kNotOpen = 2,
        kAlreadyOpen = 3,
        kTransferFailed = 5,
        kInvalidHandle = 7,
    };

    // port: the HID devices to look among; null means the system's.
    // Not owned; it must outlive this object.
    explicit CDeviceHID(platform::HidPort* port = nullptr);
    virtual ~CDeviceHID(); // closes
    CDeviceHID(const CDeviceHID&) = delete;
    CDeviceHID& operator=(const CDeviceHID&) = delete;

    // The path of the present HID device at index (0..63) into path; 1 on
    // success, 0 when there is none. An index of 64 or more fails without
    // enumerating.
    [[nodiscard]] int GetDevicePath(int index, std::string& path);

    // The present devices (among the first 64) with both ids.
    [[nodiscard]] int CountDevices(uint16_t vendorId, uint16_t productId);

    // Opens the n-th present device (from 0, in enumeration order) with both
    // ids. 3 if a device is already open (nothing changes); 1 if there are
    // fewer than n + 1 such devices or it would not open; 0 when open, with
    // the report lengths taken from the device. buffers (input report buffer
    // count) has no meaning on this system and is ignored.
    [[nodiscard]] int Open(int n, uint16_t vendorId, uint16_t productId, uint32_t buffers);

    // 2 if not open; otherwise closes and resets, 0.
    int Close();

    [[nodiscard]] int IsOpen() const { return m_open.load() ? 1 : 0; }

    // Stored only: report calls are bounded by the system on this platform.
    void SetTimeouts(int32_t readMs, int32_t writeMs);

    // Sends output report reportId: byte 0 the id, then up to (output report
    // length - 1) bytes of data, the rest zero. 0, 5 failure, 2 not open.
    [[nodiscard]] int SetOutputReport(uint8_t reportId, const uint8_t* data, size_t length);

    // Fetches input report reportId and copies its first length bytes (id
    // byte included; at most the input report length) to buffer, which is
    // zero-filled first. 0, 5 failure, 2 not open.
    [[nodiscard]] int GetInputReport(uint8_t reportId, uint8_t* buffer, size_t length);

    // Makes a report call blocked in the device return failure as soon as
    // the system lets it, and every later Open and report call fail. For
    // stopping; there is no way back.
    void Interrupt();

    // Report lengths in bytes, id byte included; 0 while nothing is open.
    [[nodiscard]] uint16_t GetInputReportLength() const { return m_inputLength; }
    [[nodiscard]] uint16_t GetOutputReportLength() const { return m_outputLength; }
    [[nodiscard]] int32_t GetReadTimeout() const { return m_readTimeout; }
    [[nodiscard]] int32_t GetWriteTimeout() const { return m_writeTimeout; }
    [[nodiscard]] uint32_t GetInputBuffers() const { return m_inputBuffers; }

    // The failing call of the latest failure.
    [[nodiscard]] std::string GetLastError() const;

private:
    void Reset();
    void SetLastError(std::string text);

    platform::HidPort* const m_port;

    // Guards m_device against Interrupt from another thread while Open or
    // Close replaces it; never held across a report call.
    mutable std::mutex m_deviceLock;
    std::unique_ptr<platform::HidDevice> m_device;
    bool m_interrupted = false;

    std::atomic<bool> m_open{false};
    int32_t m_readTimeout = -1;
    int32_t m_writeTimeout = -1;
    uint16_t m_inputLength = 0;
    uint16_t m_outputLength = 0;
    // Counted by the system on the other platform; none here.
    uint32_t m_inputBuffers = 0;

    mutable std::mutex m_errorLock;
    std::string m_lastError;
};
