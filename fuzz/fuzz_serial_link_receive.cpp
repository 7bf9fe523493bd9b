// Arbitrary bytes into the serial link's receive path (frame parser, reply
// signal) and its reply judges. Input: [0] sequence, [1] transaction length
// (also invalid ones), then the received bytes, fed in reads of at most 512.

#include "device/CDeviceLinkUart.h"
#include "platform/SerialPort.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {
class NoPorts : public platform::SerialPortSystem {
public:
    bool ListPorts(std::vector<platform::SerialPortInfo>& ports, std::string*) override {
        ports.clear();
        return true;
    }
    std::unique_ptr<platform::SerialPort> OpenPort(const std::string&, std::string*) override {
        return nullptr;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    static NoPorts ports;
    CDeviceLinkUart link(&ports); // never started: the fuzzer is its receive thread
    const uint8_t sequence = data[0];
    const uint8_t length = static_cast<uint8_t>(data[1] & 0x3F);
    data += 2;
    size -= 2;
    for (size_t at = 0; at < size;) {
        const size_t n = std::min<size_t>(size - at, CDeviceLinkUart::kReadChunk);
        (void)link.ReceiveBytes(data + at, n);
        at += n;
    }
    uint8_t out[64];
    std::memset(out, 0xEE, sizeof out);
    const bool readOk = link.JudgeLastReply(false, sequence, length, out);
    if (readOk && (length == 0 || length > 32)) {
        __builtin_trap(); // accepted an impossible length
    }
    for (size_t i = readOk ? length : 0; i < sizeof out; ++i) {
        if (out[i] != 0xEE) {
            __builtin_trap(); // wrote past the data
        }
    }
    (void)link.JudgeLastReply(true, sequence, 1, nullptr);
    return 0;
}
