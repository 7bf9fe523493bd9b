#pragma once

#include "sim/LiveValues.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace sim {

// The ECU's side of the radio simulator: register 11 (the receiver bus the
// ECU listens on, and the telemetry record it would send the receiver) and
// register 10 (a simple ground-support unit's two text lines and its keys).
//
// Register 11 read, 32 bytes: byte 0 the receiver mode (2 Futaba, 3 JETI,
// 1 simulator on with no bus, 0 or less none), byte 1 the record kind, bytes
// 2.. the record's data bytes (data byte i = register byte 2 + i):
//   Futaba, kind 1: data 0 = 0x83, data 1-2 = RPM / 5; data 3 = 0x43,
//     data 4-5 = EGT + 100 with bit 15 set (a flag the reader must clear).
//   JETI, kinds 1, 2, 3 in turn: 1 and 2 the JetiBox lines (16 characters,
//     space-padded); 3 data 11-13 RPM as a 21-bit two's complement number,
//     data 15-16 EGT as a 13-bit two's complement number.
// JetiBox keys (mode-3 write): right and left turn the pages, up shows the
// EGT in Fahrenheit, down in Celsius.
// Register 10 read, 32 bytes: the two 16-character lines of the ground-support
// display, space-padded.
//
// Thread safety: none; SimEcu calls it under the bus lock.
class EcuRadioSimulator {
public:
    using Page = std::array<uint8_t, 32>;

    // JetiBox keys of the register-11 mode-3 write.
    static constexpr uint8_t kJetiLeft = 0x70, kJetiRight = 0xE0, kJetiUp = 0xD0, kJetiDown = 0xB0;
    // Ground-support keys of the register-10 write.
    static constexpr uint8_t kGsuDown = 1, kGsuUp = 2, kGsuMinus = 3, kGsuPlus = 4;
    static constexpr int kPages = 4;

    explicit EcuRadioSimulator(int8_t mode = 0)
        : m_mode(mode) {}

    [[nodiscard]] int8_t Mode() const { return m_mode; }
    void SetMode(int8_t mode) { m_mode = mode; }

    // Register 11, fills the next record from the live values.
    Page ReadRegister11(const LiveValues& live);
    // While set, every register-11 read answers exactly these bytes instead
    // (tests: records this ECU would not build, such as other Futaba slots
    // or out-of-range JETI values). Mode and keys are unaffected.
    void ServeRecord(std::optional<Page> record) { m_served = record; }
    // Register 10.
    Page ReadRegister10(const LiveValues& live) const;

    // Register-11 write (the receiver frame). False when malformed. A Futaba
    // frame sets throttle and switch (0..100 each) when the ECU listens to
    // Futaba; a JETI frame's key moves the JetiBox pages.
    struct ReceiverFrame {
        bool accepted = false;
        bool receiverInput = false; // throttle and switch below are valid
        uint8_t throttle = 0;
        uint8_t switchPosition = 0;
    };
    ReceiverFrame WriteRegister11(std::span<const uint8_t> data);
    // Register-10 write: one ground-support key (0 = none). False when malformed.
    bool WriteRegister10(std::span<const uint8_t> data);

    [[nodiscard]] int JetiPage() const { return m_jetiPage; }
    [[nodiscard]] bool JetiFahrenheit() const { return m_jetiFahrenheit; }
    [[nodiscard]] int GsuPage() const { return m_gsuPage; }
    [[nodiscard]] bool GsuFahrenheit() const { return m_gsuFahrenheit; }
    [[nodiscard]] uint8_t NextJetiKind() const { return m_nextJetiKind; }

    // The text lines of a page (the same pages serve the JetiBox and the
    // ground-support unit), each exactly 16 characters.
    static std::array<std::string, 2> PageLines(int page, const LiveValues& live, bool fahrenheit);

    // What the last register-11 telemetry record carried (RPM, temperature).
    [[nodiscard]] int32_t LastRecordRpm() const { return m_lastRpm; }
    [[nodiscard]] int32_t LastRecordTemperature() const { return m_lastTemperature; }

private:
    int8_t m_mode;
    std::optional<Page> m_served;
    uint8_t m_nextJetiKind = 1;
    int m_jetiPage = 0;
    bool m_jetiFahrenheit = false;
    int m_gsuPage = 0;
    bool m_gsuFahrenheit = false;
    int32_t m_lastRpm = 0;
    int32_t m_lastTemperature = 0;
};

} // namespace sim
