#pragma once

#include <array>
#include <cstdint>
#include <span>

// Plain types shared by the parameter block, the live state and their read
// sequences. Nothing here performs bus I/O: the ECU protocol object executes
// the reads and writes these types describe.

// Which firmware generation the connected ECU speaks. Decided by the first
// parameter read after a reset (byte 0 of register 2) and kept until the next
// reset.
enum class EcuGeneration : uint8_t {
    Unknown = 0, // no parameter block read yet
    Block = 1,   // fixed 32-byte pages (registers 2, 3; live state in 1 and 4)
    Item = 2,    // bit-packed packet sets; changes sent as id/value items
};

// One register read the protocol object has to perform next.
struct CEcuReadRequest {
    uint8_t reg = 0;    // register number 0..15
    uint8_t length = 0; // bytes to read, 1..32
};

// One register write of a commit or command sequence, to be passed to the
// device's Write(reg, length, data, delayMs) and followed by a pause of
// pauseAfterMs before the next write.
struct CEcuRegisterWrite {
    uint8_t reg = 0;
    uint8_t length = 0; // 1..32
    std::array<uint8_t, 32> data{};
    uint8_t delayMs = 0;      // delay handed to Write (the HID link uses it)
    uint8_t pauseAfterMs = 0; // sleep after a successful write

    [[nodiscard]] std::span<const uint8_t> bytes() const { return {data.data(), length}; }
};

// What the live-state decoder needs to know of the parameter block
// (CEcuParameters::telemetryContext).
struct CEcuTelemetryContext {
    EcuGeneration generation = EcuGeneration::Unknown;
    uint8_t formatVersion = 0;  // block generation: 2, 3 or 4
    bool doubleRange = false;   // block generation: page-1 byte 20 bit 7
    float blockPumpVoltage = 0; // block generation: ignition pump voltage, V
};
