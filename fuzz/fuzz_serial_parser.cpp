// Arbitrary bytes into the serial receive parser; every completed frame goes
// through both serial reply judges.

#include "protocol/FrameSerial.h"
#include "protocol/FrameSerialParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    frames::FrameSerialParser parser;
    uint8_t out[32];
    for (size_t i = 0; i < size; ++i) {
        if (parser.Feed(data[i])) {
            const auto frame = parser.frame();
            if (frame.size() < 3 || frame.size() > frames::FrameSerialParser::kCapacity || frame[0] != 0x38) {
                __builtin_trap();
            }
            const uint8_t sequence = frame[1];
            for (uint8_t length = 1; length <= 32; ++length) {
                (void)frames::JudgeSerialReadReply(frame, sequence, length, out);
            }
            (void)frames::JudgeSerialWriteReply(frame, sequence);
        }
    }
    return 0;
}
