#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// What the HID link needs of the system's HID layer: the present devices with
// their ids, opening one by path, and its numbered reports. The real port is
// hidapi's hidraw backend; tests and the simulator put a simulated dongle set
// in its place.

struct HidDeviceInfo {
    std::string path; // opaque to callers; hand it back to HidPort::Open
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// One open HID device; destroying it closes it.
//
// Thread safety: SendOutputReport and GetInputReport are called by one thread
// at a time (the link's transaction mutex sees to it). Interrupt may be called
// from any thread at any time, also while another thread is inside a report
// call; the device stays valid until it is destroyed.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // Report lengths in bytes, report id byte included.
    [[nodiscard]] virtual uint16_t InputReportLength() const = 0;
    [[nodiscard]] virtual uint16_t OutputReportLength() const = 0;

    // Sends the output report whose id is report[0]. True when it was sent.
    [[nodiscard]] virtual bool SendOutputReport(const uint8_t* report, size_t length) = 0;

    // Fetches the input report whose id the caller put in report[0]; the
    // report, id byte included, is written over report[0..length). Returns the
    // bytes received, or -1 on failure.
    [[nodiscard]] virtual int GetInputReport(uint8_t* report, size_t length) = 0;

    // Makes a report call that is blocked return failure as soon as the system
    // lets it, and every later call fail at once.
    virtual void Interrupt() = 0;

    // The failing call of the latest failure, with the system's reason.
    [[nodiscard]] virtual std::string LastError() const = 0;
};

// The set of HID devices present.
//
// Thread safety: Enumerate and Open may be called from any thread.
class HidPort {
public:
    virtual ~HidPort() = default;

    // The present HID devices, in the system's enumeration order.
    [[nodiscard]] virtual std::vector<HidDeviceInfo> Enumerate() = 0;

    // Opens the device at path for reading and writing; null on failure, with
    // the failing call and reason in *error when error is not null.
    [[nodiscard]] virtual std::unique_ptr<HidDevice> Open(const std::string& path,
                                                          std::string* error) = 0;
};

// The system's HID devices (hidapi). Lives for the whole process.
[[nodiscard]] HidPort& SystemHidPort();

} // namespace platform
