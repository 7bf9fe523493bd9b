// Arbitrary replies into the socket, HID and serial reply judges. The first
// byte chooses the transaction being judged; the rest is the reply.

#include "protocol/FrameHid.h"
#include "protocol/FrameSerial.h"
#include "protocol/FrameSocket.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t selector = data[0];
    const std::span<const uint8_t> reply(data + 1, size - 1);
    const uint8_t length = static_cast<uint8_t>(selector & 0x3F); // 0..63 reaches the invalid lengths too
    uint8_t out[64];

    (void)frames::JudgeSocketReadReply(reply, length, out);
    (void)frames::JudgeSocketWriteReply(reply);
    (void)frames::JudgeSerialReadReply(reply, selector, length, out);
    (void)frames::JudgeSerialWriteReply(reply, selector);

    // A sequence of input-report status bytes through one HID judge: it must
    // finish within 100 busy re-polls and two sends.
    frames::HidStatusJudge judge;
    int steps = 0;
    for (uint8_t status : reply) {
        ++steps;
        if (judge.OnStatus(status) == frames::HidStatusJudge::Action::Finish) {
            if (judge.result() < frames::kHidOk || judge.result() > frames::kHidStatusError3) {
                __builtin_trap();
            }
            break;
        }
        if (steps > frames::HidStatusJudge::kMaxBusyRepeats + 2) {
            __builtin_trap();
        }
    }
    return 0;
}
