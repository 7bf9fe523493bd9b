// Arbitrary input reports into the HID link's transactions. Input: [0] bit 0
// write, [1] length (also invalid ones), [2] register, [3] write delay, then
// the reports the dongle answers with: 34 bytes after the report id each
// (status first), one per input report 3 asked for. The dongle fails once the
// bytes run out.

#include "device/CDeviceLinkHID.h"
#include "platform/HidPort.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

struct Script {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    uint8_t last[35] = {};
    unsigned sends = 0;
    unsigned gets = 0;
};

class ScriptedDevice : public platform::HidDevice {
public:
    explicit ScriptedDevice(Script& script)
        : m_script(script) {}
    uint16_t InputReportLength() const override { return 35; }
    uint16_t OutputReportLength() const override { return 36; }
    bool SendOutputReport(const uint8_t* report, size_t length) override {
        if (length != 36 || report[0] != 2) {
            __builtin_trap();
        }
        ++m_script.sends;
        return m_script.at < m_script.size;
    }
    int GetInputReport(uint8_t* report, size_t length) override {
        if (report[0] == 1) {
            const uint8_t version[2] = {0x01, 0x05};
            std::memcpy(report, version, std::min<size_t>(length, 2));
            return static_cast<int>(length);
        }
        ++m_script.gets;
        if (m_script.at >= m_script.size) {
            return -1;
        }
        const size_t n = std::min<size_t>(34, m_script.size - m_script.at);
        std::memset(m_script.last, 0, sizeof m_script.last);
        m_script.last[0] = report[0];
        std::memcpy(m_script.last + 1, m_script.data + m_script.at, n);
        m_script.at += n;
        std::memcpy(report, m_script.last, std::min(length, sizeof m_script.last));
        return static_cast<int>(std::min(length, sizeof m_script.last));
    }
    void Interrupt() override {}
    std::string LastError() const override { return "script ended"; }

private:
    Script& m_script;
};

class ScriptedPort : public platform::HidPort {
public:
    explicit ScriptedPort(Script& script)
        : m_script(script) {}
    std::vector<platform::HidDeviceInfo> Enumerate() override {
        return {{"scripted", 0x16C0, 0x06F5}};
    }
    std::unique_ptr<platform::HidDevice> Open(const std::string&, std::string*) override {
        return std::make_unique<ScriptedDevice>(m_script);
    }

private:
    Script& m_script;
};

class AcceptingLink : public CDeviceLinkHID {
public:
    using CDeviceLinkHID::CDeviceLinkHID;
    int32_t OnLinkState(int32_t, int32_t) override { return 1; }
};

void NoSleep(int32_t) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    Script script;
    script.data = data + 4;
    script.size = size - 4;
    ScriptedPort port(script);
    AcceptingLink link(&port);
    link.SetSleep(&NoSleep);
    (void)link.MonitorOnce(); // open
    (void)link.MonitorOnce(); // version 0x0105: announced
    if (!link.IsConnected()) {
        __builtin_trap();
    }
    const bool write = (data[0] & 1) != 0;
    const uint8_t length = data[1];
    const uint8_t reg = static_cast<uint8_t>(data[2] & 0x0F);
    const int32_t delay = data[3] & 0x07;
    uint8_t payload[32] = {};
    for (int transaction = 0; transaction < 4 && script.at < script.size; ++transaction) {
        uint8_t out[64];
        std::memset(out, 0xEE, sizeof out);
        const unsigned sendsBefore = script.sends;
        const unsigned getsBefore = script.gets;
        const int result =
            write ? link.Write(31, reg, length, payload, delay) : link.Read(31, reg, length, out);
        if (result < 0 || result > 6) {
            __builtin_trap();
        }
        const unsigned sends = script.sends - sendsBefore;
        const unsigned gets = script.gets - getsBefore;
        // At most two sends, each followed by a report, plus 100 busy re-polls.
        if (sends > 2 || gets > 102) {
            __builtin_trap();
        }
        if (result == 6 && (sends != 0 || gets != 0)) {
            __builtin_trap(); // bad arguments must be refused before anything is sent
        }
        if (!write) {
            const size_t copied = result == 0 ? length : 0;
            if (result == 0 && (length == 0 || length > 32 || script.last[1] != 2 ||
                                std::memcmp(out, script.last + 3, length) != 0)) {
                __builtin_trap(); // success must be status 2 with the report's data
            }
            for (size_t i = copied; i < sizeof out; ++i) {
                if (out[i] != 0xEE) {
                    __builtin_trap();
                }
            }
        }
    }
    return 0;
}
