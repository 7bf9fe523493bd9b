#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The radio-simulator registers of the ECU as pure functions: the decoding
// of the register-11 reply (the receiver mode the ECU listens on and the
// telemetry record it would send the receiver) and of the register-10 reply
// (a ground-support unit's two text lines), and the bytes of the
// receiver-simulation frame written to register 11.
//
// Register-11 reply: byte 0 the receiver mode (signed: 2 Futaba, 3 JETI, 1
// receiver simulation with no bus, 0 or less none), byte 1 the record kind,
// bytes 2.. the record's data bytes; data byte i is reply byte 2 + i.
//
// Decoders never read past the end of their span: a field whose bytes are
// missing decodes as absent (std::nullopt, or an empty text).
// Texts are the ECU's narrow code-page bytes, cut at the first NUL; the
// caller converts them for display.
//
// Thread safety: pure functions; any thread.
class CEcuRadioRecord {
public:
    static constexpr size_t kDataOffset = 2;
    static constexpr size_t kLineLength = 16;

    // Receiver modes of the reply and of the frame.
    static constexpr int8_t kModeOff = 1;
    static constexpr int8_t kModeFutaba = 2;
    static constexpr int8_t kModeJeti = 3;

    // Byte 0 as a signed number; 0 for an empty reply.
    [[nodiscard]] static int8_t ReceiverMode(std::span<const uint8_t> reply);
    // Byte 1; 0 when the reply is shorter.
    [[nodiscard]] static uint8_t RecordKind(std::span<const uint8_t> reply);

    // Futaba record (kind 1): slot 0x83 in data byte 0 carries the RPM / 5
    // in data bytes 1-2, slot 0x43 in data byte 3 the temperature + 100 in
    // data bytes 4-5 (bit 15 is not part of the value), both little-endian.
    // A value is absent when the kind is not 1, its slot byte differs, or
    // its bytes are missing.
    struct Futaba {
        std::optional<int32_t> rpm;         // 1/min
        std::optional<int32_t> temperature; // °C
    };
    [[nodiscard]] static Futaba DecodeFutaba(std::span<const uint8_t> reply);

    // JETI record. Kinds 1 and 2: the JetiBox's first and second text line,
    // data bytes 0-15. Kind 3: the RPM, data bytes 11-13 little-endian with
    // bit 20 as the sign (a 21-bit two's complement number), and the
    // temperature, data bytes 15-16 little-endian with bit 12 as the sign
    // (13-bit two's complement). Fields of the other kinds stay absent.
    struct Jeti {
        uint8_t kind = 0;
        std::optional<std::string> line;    // kinds 1 and 2
        std::optional<int32_t> rpm;         // kind 3, 1/min
        std::optional<int32_t> temperature; // kind 3, °C
    };
    [[nodiscard]] static Jeti DecodeJeti(std::span<const uint8_t> reply);

    // Register-10 reply: the ground-support unit's two text lines, bytes 0-15
    // and 16-31 (a line whose bytes are missing is empty or cut short).
    [[nodiscard]] static std::array<std::string, 2>
    GroundSupportLines(std::span<const uint8_t> reply);

    // The register-11 write for a receiver mode: mode 1 {1}; mode 2 {2,
    // throttle, switch} (slider positions 0..100, larger values are clamped
    // to 100); mode 3 {3, JetiBox key}. Empty for any other mode.
    [[nodiscard]] static std::vector<uint8_t>
    ReceiverFrame(int mode, uint8_t throttle, uint8_t switchPosition, uint8_t jetiKey);

    // raw as a two's complement number whose sign is bit signBit (0..30):
    // the bits below it are kept, and bit signBit and every bit above are
    // set when it is set; bits of raw above signBit are ignored.
    [[nodiscard]] static int32_t SignExtend(uint32_t raw, int signBit);

private:
    // Text of up to length bytes from offset, cut at the first NUL.
    static std::string Text(std::span<const uint8_t> bytes, size_t offset, size_t length);
};
