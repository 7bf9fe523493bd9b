#pragma once

#include "sim/EcuParameters.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// The ECU's side of the parameter block, for both generations: encodes the
// parameters into the pages and packets the tool reads (registers 2, 3, 14)
// and applies what the tool writes (block pages, item frames 0xAA 0x55 and
// 0xAA 0x66, immediate 0xFF commands).
//
// Block generation (P1 = register 2, P2 = register 3, byte n):
//   P1[0] format; [1] bit 2 restart allowed; [2..4] learned throttle points
//   (max, min, idle) / 10; [5] lost-signal delay x 10; [6] max EGT / 10;
//   [7] min battery x 10; [8..10] starter eject time, eject and run voltage
//   x 10; [11] starter stability; [12], [13], [18] cooling, ignition, preheat
//   RPM / 1000 (format 2) or / 200; [14] ignition pump x 100 (x 50 format 4);
//   [15] bits 0-3 starter ramp / 10; [16], [22] glow plug start, restart x 10;
//   [17] bits 0-3 valve duty / 5; [19] bits 0-3 pump ramp; [20] bits 0-2
//   throttle channel, 4-6 telemetry mode, 7 double range; [21] clutch RPM
//   / 1000 (format 2) or / 500; [23] ignition pump voltage x 20 (x 10 double
//   range); [24..26] run min, idle, max RPM / 1000; [28], [29] throttle
//   curves; [30] design max RPM / 1000; [31] baud index + 1, stop bits + 1.
//   P2[0] bits 0-5 EGT correction (signed), 6 temperature unit; [1] pump
//   limit x 20 (x 10 double range); [2] bits 0-4 switch channel, 5-7
//   telemetry protocol; [3] bits 0-3 idle sensitivity; [4] pump test max x 10;
//   [5] aux value, pump types; [6] bits 0-1 pump mode, 4-7 preheat time index
//   + 1; [7] temperature scale; [8] ignition confirm index + 1, pump current
//   index + 1 (bits 3-7); [9] switches bits 0-6; [10] preheat end index + 1,
//   highest current index offered + 1 (bits 3-7); [12] bits 0-4 pole pairs,
//   5-7 forced delay index + 1; [13], [14] valve voltages; [17] starter stop.
//   Bits no parameter owns are stored as written and read back unchanged.
//   A page write does not change the ECU's own fields: format, restart bit
//   (its own command does), learned points, double range, EGT correction,
//   P2[5] and the highest current index offered.
// Item generation: parameter packets 1 and 2 (header byte n = 2, k = 1/2,
// then 31 bytes of bit fields, least significant bit first, in the order of
// EncodeItemPacket1/2); changes arrive as id/value items.
//
// Writes are checked as a whole before anything is applied: a malformed write
// changes nothing and is answered false (not acknowledged). A well-formed item
// frame is acknowledged even when some of its items are ignored (unsupported
// parameter, zero index); ReceivedItems() tells which.
//
// Thread safety: none; the owning SimEcu is called under the bus lock.
class EcuParameterStore {
public:
    static constexpr size_t kPageSize = 32;
    using Page = std::array<uint8_t, kPageSize>;

    // One item of an item-generation frame as received.
    struct ReceivedItem {
        uint8_t id = 0;
        std::vector<uint8_t> value; // value bytes, without id or length byte
        bool applied = false;       // false: ignored (unsupported parameter, zero index)
    };

    // What a write did, besides changing parameters.
    struct WriteOutcome {
        bool accepted = false;                     // acknowledged
        bool parametersChanged = false;            // a page or item was applied
        std::optional<uint8_t> calibrationAmbient; // temperature calibration asked, °C
        bool calibrationPrepared = false;
    };

    explicit EcuParameterStore(const EcuFormat& format,
                               const EcuFeatures& features = {},
                               uint8_t blockSpareFill = 0);

    [[nodiscard]] const EcuFormat& Format() const { return m_format; }
    [[nodiscard]] EcuParameters& Parameters() { return m_parameters; }
    [[nodiscard]] const EcuParameters& Parameters() const { return m_parameters; }

    // The parameter of this text id exists in this generation.
    [[nodiscard]] bool Exists(int textId) const;
    // Exists and the ECU reports it (the "when supported" ones may be absent).
    [[nodiscard]] bool Supported(int textId) const;

    // Encodings the tool reads.
    [[nodiscard]] Page EncodePage1() const; // block generation, register 2
    [[nodiscard]] Page EncodePage2() const; // block generation, register 3
    // Item generation, register 2: packet k (1 or 2) with its header. Other k
    // give a packet of that number with an all-zero body.
    [[nodiscard]] Page EncodeParameterPacket(uint8_t k, uint8_t packetCount = 2) const;
    [[nodiscard]] Page EncodeNamePage() const; // register 14, both generations

    // Writes from the tool.
    WriteOutcome ApplyRegister2(std::span<const uint8_t> data);
    WriteOutcome ApplyRegister3(std::span<const uint8_t> data);

    // Engine name (28 bytes, zero-padded) and the other bytes of the name page.
    [[nodiscard]] std::string EngineName() const;
    void SetEngineName(const std::string& name); // cut to 28 bytes
    [[nodiscard]] const std::array<uint8_t, 28>& EngineNameBytes() const { return m_name; }
    uint8_t namePageByte0 = 0x01;
    uint16_t namePageValue = 0x0102;
    uint8_t namePageByte31 = 0x5A;

    // History of what reached the ECU, for tests.
    [[nodiscard]] const std::vector<ReceivedItem>& ReceivedItems() const { return m_items; }
    [[nodiscard]] int CalibrationCount() const { return m_calibrations; }
    [[nodiscard]] int PrepareCount() const { return m_prepares; }
    [[nodiscard]] int LastCalibrationAmbient() const { return m_lastAmbient; }
    [[nodiscard]] int LastCalibrationReference() const { return m_lastReference; }
    [[nodiscard]] int NameCommandCount() const { return m_nameCommands; }
    [[nodiscard]] int PageWriteCount(uint8_t reg) const {
        return reg == 3 ? m_page2Writes : m_page1Writes;
    }
    void ClearHistory();

private:
    bool GroupSupported(int firstTextId) const;
    WriteOutcome ApplyBlockCommand(std::span<const uint8_t> data);
    WriteOutcome ApplyItemFrame(std::span<const uint8_t> data);
    bool ApplyItem(uint8_t id, std::span<const uint8_t> value, WriteOutcome& outcome);
    void ApplyPage1(const Page& page);
    void ApplyPage2(const Page& page);
    void EncodeItemPacket1(std::span<uint8_t> body) const;
    void EncodeItemPacket2(std::span<uint8_t> body) const;

    EcuFormat m_format;
    EcuFeatures m_features;
    EcuParameters m_parameters;
    Page m_spare1{}; // page-1 bits no parameter owns, as last written
    Page m_spare2{};
    std::array<uint8_t, 28> m_name{};
    std::vector<ReceivedItem> m_items;
    int m_calibrations = 0;
    int m_prepares = 0;
    int m_lastAmbient = -1;
    int m_lastReference = -1;
    int m_nameCommands = 0;
    int m_page1Writes = 0;
    int m_page2Writes = 0;
};

// Value bytes of an item-generation parameter id (0 for an id the ECU does not
// know). Id 0xD4 is the temperature-calibration command.
[[nodiscard]] uint8_t ItemValueLength(uint8_t id);

} // namespace sim
