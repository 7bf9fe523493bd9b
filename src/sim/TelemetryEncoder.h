#pragma once

#include "sim/LiveValues.h"

#include <array>
#include <cstdint>

namespace sim {

// Encodes the live state into the register layouts the ECU answers with.
// Each function also fills `encoded` with the fields its layout carries,
// quantised exactly as a decoder must get them back (fields the layout does
// not carry are left as they are), so tests can compare the tool's decode
// with what went on the wire. Values beyond a field saturate, never wrap.
//
// Item generation, packet header byte: bits 0-2 packet count n, bits 3-5
// packet number k. Packets 1 and 2 carry the fields; packets 3..7 only their
// header. The aux fields carry the fixed non-zero patterns of TelemetryAux so
// that a decoder misreading a width shows it in the fields after them.
//
// Block generation, register 1: [0] CPU load; [1] state bits 0-4, learning
// max/min 5, low voltage 6, throttle lock 7; [2] learning high end 0, fault
// bits 1-6, learning idle 7; [3-4] RPM / 10; [5-6] EGT (signed); [7-8] pump
// voltage (below); [10] RC voltage x 10; [11] battery x 10; [12-13] current
// mA (signed); [14-15] RC throttle µs. Register 4: [0-1] air pressure / 2;
// [2] record storage / 512; [3] record format bits 4-5, rate 6-7; [6] bits
// 5-7 and [7] bits 0-1 the error code; [7] TCU fitted 2, answering 3, starter
// fitted 4, answering 5, state 6-7; [8-9] starter RPM / 4; [10] starter
// temperature; [11] pump limit 0, RPM control 1, ignition pump types 2-3,
// 4-5, state 6-7; [12-14] TCU version; [15-16] TCU voltage; [17-18] ignition
// pump RPM / 4; [19] its temperature; [20-21] RC switch µs; [23] overload 0,
// stick down at ignition 1, altitude high bits 2-7; [24] altitude low byte
// (altitude + 2000); [25] stick down running 0; [26] TCU temperature + 60;
// [27-28] alternator x 10; [31] bit 7 alternator present. Other bytes are 0.
//
// Thread safety: pure functions.
struct TelemetryAux {
    // Item packet 1, fields 4, 5, 6, 11, 15, 17, 20, 21, 22, 23.
    static constexpr uint32_t p1Byte1 = 0xA5, p1Value2 = 0x5, p1Value3 = 0xABC, p1Value4 = 0x1A5,
                              p1Value5 = 0x2C3, p1Flag6 = 1, p1Value7 = 0x55, p1Value8 = 0xBEEF,
                              p1Value9 = 0xC0FFEE, p1Value10 = 0xE71;
    // Item packet 2, fields 8..14 and 27.
    static constexpr uint32_t p2Value8 = 0x9, p2Value9 = 0x15, p2Value10 = 0x5A5A,
                              p2Value11 = 0x2B2B, p2Value12 = 0x99, p2Value13 = 0xAB,
                              p2Value14 = 0xCD, p2Flag27 = 1;
};

class TelemetryEncoder {
public:
    using Page = std::array<uint8_t, 32>;

    // Item generation: packet k of a set of n (n 0..7, k 0..7 as given, so
    // tests can build impossible headers too).
    static Page ItemPacket(const LiveValues& in, uint8_t k, uint8_t n, LiveValues& encoded);

    // Block generation. Register 1 bytes 7-8 hold the pump voltage in
    // thousandths of a volt (two thousandths with the double-range flag), which
    // the decoder doubles (double range) and divides by 10 into hundredths.
    static Page BlockRegister1(const LiveValues& in, bool doubleRange, LiveValues& encoded);
    static Page BlockRegister4(const LiveValues& in, LiveValues& encoded);

    // Register 5, both generations: presence mask, then group 1 (bit 0) and
    // group 2 (bit 1, thrust) as present; unused trailing bits are 0.
    static std::array<uint8_t, 6> Register5(const LiveValues& in, LiveValues& encoded);
};

} // namespace sim
