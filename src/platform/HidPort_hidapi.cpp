#include "platform/HidPort.h"

#include <hidapi.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

// hidapi 0.13 cannot report a device's report lengths; the dongle's output
// report is id 2 plus 35 bytes and its input report id 3 plus 34 bytes.
constexpr uint16_t kInputReportLength = 35;
constexpr uint16_t kOutputReportLength = 36;

void InitOnce() {
    // hid_init is not safe to run from two threads at once, and every other
    // call would run it implicitly.
    static std::once_flag once;
    std::call_once(once, [] { (void)hid_init(); });
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (; *text != L'\0'; ++text) {
        out += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
    }
    return out;
}

class HidapiDevice final : public HidDevice {
public:
    explicit HidapiDevice(hid_device* device)
        : m_device(device) {}
    ~HidapiDevice() override { hid_close(m_device); }

    uint16_t InputReportLength() const override { return kInputReportLength; }
    uint16_t OutputReportLength() const override { return kOutputReportLength; }

    bool SendOutputReport(const uint8_t* report, size_t length) override {
        if (m_interrupted.load()) {
            SetError("hid_write: interrupted");
            return false;
        }
        // hidraw sends an output report through write(): the interrupt OUT
        // endpoint when there is one, a SET_REPORT request otherwise.
        if (hid_write(m_device, report, length) < 0) {
            SetError("hid_write: " + Narrow(hid_error(m_device)));
            return false;
        }
        return true;
    }

    int GetInputReport(uint8_t* report, size_t length) override {
        if (m_interrupted.load()) {
            SetError("hid_get_input_report: interrupted");
            return -1;
        }
        // A GET_REPORT request; the kernel bounds it with its USB control
        // time-out, which is what bounds a Stop while the dongle hangs.
        const int n = hid_get_input_report(m_device, report, length);
        if (n < 0) {
            SetError("hid_get_input_report: " + Narrow(hid_error(m_device)));
        }
        return n;
    }

    void Interrupt() override { m_interrupted = true; }

    std::string LastError() const override {
        std::lock_guard lock(m_errorLock);
        return m_error;
    }

private:
    void SetError(std::string text) {
        std::lock_guard lock(m_errorLock);
        m_error = std::move(text);
    }

    hid_device* m_device;
    std::atomic<bool> m_interrupted{false};
    mutable std::mutex m_errorLock;
    std::string m_error;
};

class HidapiPort final : public HidPort {
public:
    std::vector<HidDeviceInfo> Enumerate() override {
        InitOnce();
        std::vector<HidDeviceInfo> out;
        hid_device_info* list = hid_enumerate(0, 0);
        for (const hid_device_info* d = list; d != nullptr; d = d->next) {
            out.push_back({d->path != nullptr ? d->path : "", d->vendor_id, d->product_id});
        }
        hid_free_enumeration(list);
        return out;
    }

    std::unique_ptr<HidDevice> Open(const std::string& path, std::string* error) override {
        InitOnce();
        errno = 0;
        hid_device* device = hid_open_path(path.c_str());
        if (device == nullptr) {
            if (error != nullptr) {
                // hidraw fails in open(), so errno names the reason (most
                // often EACCES: the udev rule is not installed).
                *error = "hid_open_path " + path + ": " +
                         (errno != 0 ? std::strerror(errno) : Narrow(hid_error(nullptr)));
            }
            return nullptr;
        }
        return std::make_unique<HidapiDevice>(device);
    }
};

} // namespace

HidPort& SystemHidPort() {
    static HidapiPort port;
    return port;
}

} // namespace platform
