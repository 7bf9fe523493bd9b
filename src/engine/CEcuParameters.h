#pragma once

#include "engine/CDeviceECUCmdList.h"
#include "engine/CEcuCommitPlan.h"
#include "engine/CEcuParameterRead.h"
#include "engine/EcuTextId.h"
#include "engine/EcuTypes.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CEcuParamCodec; // how one parameter is placed and scaled (internal)

// The tool's mirror of the engine parameter block of either ECU generation,
// with its clamping setters, the text interface of the settings panel and the
// parameter file, the pending changes and the building of commit frames.
// It performs no bus I/O: the protocol object executes the reads
// (beginRead/applyRead) and writes (buildCommit/commitDone) it describes.
//
// Generations. The block generation keeps the parameters in two 32-byte pages
// (register 2 = page 1, register 3 = page 2); a setter patches its bits in the
// page images and a commit writes both images whole, followed by the
// immediate commands for restart-allowed, RPM control and the engine name
// when those differ from what the ECU holds. The item generation reports the
// parameters as two bit-packed packets; a setter keeps one pending item per
// parameter id (CDeviceECUCmdList) and a commit sends the items as 0xAA 0x55
// frames (0xAA 0x66 with length bytes when the ECU announces extended
// items).
//
// Values. Every parameter is addressed by its text id 1..79 (EcuTextId) and
// set in engineering units (RPM, V, s, °C, %, list index, 0/1); the setter
// clamps to the range of the connected generation and format, then encodes
// (scaled values are truncated after adding 0.00001, so 2.3 V stores 23
// tenths). A value never leaves its bit field: a range wider than its field
// is clamped to what the field holds (block pole pairs 2..31; item pump test
// voltage 1..12.7 V, which the ECU reports back in 7 bits). Setters of a
// parameter the connected ECU does not have or does not report (its index
// field or value read back is 0, or its group's support bit is clear) change
// nothing. Before the first read, and after reset(), every parameter is
// unsupported and every setter does nothing.
//
// Pending changes (item generation). A setter whose encoded value equals the
// value last read removes the pending item of that id; otherwise it adds the
// item or replaces its value. A group item (60 fuel ramp, 61/62 high altitude,
// 63 calibration, 65 oxygen start, 69 CAN; also item 59 of the four valve
// supply selections) is rebuilt from all its members and removed when all are
// back at their read values. Pending items survive a read; getText shows the
// pending value. requestReread discards all pending changes.
//
// The CAN group (69) is not reported by the ECU: its "read" values are the
// values last committed in this session, 0 after a reset.
//
// Thread safety: none. The protocol object serialises every call (the user
// interface thread's setters and commit against the poll thread's applyRead)
// with its own lock; the reads themselves run outside it on a
// CEcuParameterRead value.
class CEcuParameters {
public:
    // getText result.
    struct Text {
        std::string text;  // formatted as the parameter's format ("%d", "%.1f", ...)
        int32_t value = 0; // list index, switch state or the shown number truncated
        bool supported = false;
    };

    CEcuParameters() = default;

    // Clears the mirror to its initial state (generation unknown, no pending
    // change, dirty flag clear). Called on every connect and disconnect.
    void reset();

    // --- generation --------------------------------------------------------
    [[nodiscard]] EcuGeneration generation() const { return m_generation; }
    // The item-protocol flag.
    [[nodiscard]] bool itemProtocol() const { return m_generation == EcuGeneration::Item; }
    // Block generation: 2, 3 or 4; 0 otherwise.
    [[nodiscard]] uint8_t formatVersion() const { return m_format; }
    // Block generation: certain voltages at 0.1 V instead of 0.05 V and the
    // thrust reading doubled.
    [[nodiscard]] bool doubleRange() const { return m_doubleRange; }
    // Item generation: commit frames use the 0xAA 0x66 header.
    [[nodiscard]] bool extendedItems() const { return m_extendedItems; }
    [[nodiscard]] CEcuTelemetryContext telemetryContext() const;

    // --- reading back ------------------------------------------------------
    // The parameter-dirty flag: set, the next poll cycle reads the block.
    [[nodiscard]] bool dirty() const { return m_dirty; }
    void markDirty();
    // Discards every pending change (the settings panel's cancel) and marks
    // the block dirty so the ECU's values come back.
    void requestReread();

    // A read sequence for the poll thread (see CEcuParameterRead).
    [[nodiscard]] CEcuParameterRead beginRead() const {
        return CEcuParameterRead(m_generation, m_dirtySerial);
    }
    // Decodes a complete read into the mirror and returns 1; returns 0 and
    // changes nothing for a failed read. Clears the dirty flag unless it was
    // set again after the read began.
    int applyRead(const CEcuParameterRead& read);

    // --- text interface ----------------------------------------------------
    // 0 for an unknown text id, else 1 and the parameter's text, integer
    // value and supported flag. Text id 76 always reports unsupported (the
    // settings panel never offers it). Text id 10 is six hexadecimal digits
    // and a trailing "0"; text id 11 is the held value followed by "0".
    [[nodiscard]] int getText(int textId, Text& out) const;

    // Parses text and calls the setter of textId: text ids 5-9, 24, 27-30,
    // 47, 54, 57, 63, 64 and 72-79 take integer (a list index or switch
    // state), text id 10 parses text as hexadecimal (the address, held / 16),
    // text id 11 as a decimal number held / 10 (so it reads back as typed),
    // the others as a decimal number. Text that
    // does not parse gives 0. Returns 0 for an unknown id, else 1 (also when
    // the parameter is unsupported and nothing changed).
    int setFromText(int textId, std::string_view text, int32_t integer);

    // The setter of one parameter, in engineering units (see the header
    // comment for clamping). Returns 0 for an unknown id, else 1.
    int setParameter(int textId, double value);

    // The parameter's current value in engineering units (0 when unknown).
    [[nodiscard]] double value(int textId) const;
    [[nodiscard]] bool supported(int textId) const;

    // --- parameters without a text id --------------------------------------
    int setTemperatureUnit(int unit);       // 0 Celsius, 1 Fahrenheit (other values: 1)
    int setPumpMode(int mode);              // 0..3; larger values are ignored
    int setTelemetryProtocol(int protocol); // 0..7 (1-based list entry)
    [[nodiscard]] int temperatureUnit() const;
    [[nodiscard]] int pumpMode() const;
    [[nodiscard]] int telemetryProtocol() const;
    // Item generation: supported telemetry protocols, bit i = protocol i + 1
    // (bit 5 CANBus, which also reports the CAN group). Block: 0.
    [[nodiscard]] uint8_t telemetryProtocolMask() const;
    // Bit 0 "DC Pump", bit 1 "DC Pump(Sensor)", bit 2 "BS Pump".
    [[nodiscard]] uint8_t pumpTypeMask() const;
    // Highest pump maximum-current index the settings panel offers (0 when
    // none is reported).
    [[nodiscard]] int highestCurrentIndex() const;
    // Read only, °C: item generation 6 bits - 31, block page-2 byte 0 bits
    // 0-5 as a signed 6-bit value.
    [[nodiscard]] int egtCorrection() const;
    // Aux fields of the block (meaning not settled): item packet-1 field 1 /
    // block page-2 byte 5 bits 0-3 (outside 3..12 taken as 3), and item
    // switch bit 8.
    [[nodiscard]] uint8_t auxValue() const;
    [[nodiscard]] bool auxSwitch() const;
    // Item generation: whether the ECU reports group 60, 61, 62, 63, 65 or 69.
    [[nodiscard]] bool groupSupported(uint8_t itemId) const;

    // Block generation: the RPM-control switch as the live state reports it
    // (register 4 byte 11 bit 1); the protocol object calls this after each
    // block telemetry decode. It is the "read" value of text id 72.
    void noteRpmControlState(bool on) { m_rpmControlReported = on ? 1 : 0; }

    // --- engine name (register 14) -----------------------------------------
    // The name as read (or as set and not yet committed), up to 28 bytes.
    [[nodiscard]] std::string engineName() const;
    // The whole register-14 page as last read: byte 0, name bytes 1-28,
    // a 16-bit value in bytes 29-30, a byte in 31.
    [[nodiscard]] const std::array<uint8_t, 32>& namePage() const { return m_namePage; }
    // Block generation only (returns 0 otherwise): the name command becomes
    // pending when the 28-byte zero-padded name differs from the one read;
    // longer names are cut to 28 bytes.
    int setEngineName(std::string_view name);

    // --- pending changes and commit ----------------------------------------
    [[nodiscard]] const CDeviceECUCmdList& pendingItems() const { return m_pending; }
    [[nodiscard]] bool hasPendingChanges() const;

    // The writes of a commit, in order:
    //  item generation: frames of 0xAA, then 0x55 (or 0x66 with extended
    //    items), then items from the head of the pending list while
    //    32 - frame length >= item length + 1 (each: [length byte = item
    //    length + 1 when extended,] id, value bytes); register 2, delay 20 ms,
    //    pause 50 ms. At most 14 one-byte items per short frame, 10 per
    //    extended frame. Empty when nothing is pending.
    //  block generation: page 1 image to register 2, page 2 image to
    //    register 3, then the pending immediate commands (restart allowed
    //    FF 02 33/77, RPM control FF 0A 55/88, engine name FF 05 3A 56 +
    //    28 bytes) to register 2; each delay 20 ms, pause 50 ms. Empty before
    //    the first read.
    [[nodiscard]] CEcuCommitPlan buildCommit() const;
    // The first writesSent writes of plan reached the ECU: their changes are
    // retired. When the whole plan was sent (also an empty one) the block is
    // marked dirty so the next poll cycle reads it back.
    void commitDone(const CEcuCommitPlan& plan, size_t writesSent);

    // The writes of a temperature-sensor calibration at ambient °C (reference
    // 500): block generation the prepare command FF 09 37 C8 (left out when
    // withPrepare is false) and then FF 09 37 C8 F4 01 ambient; item
    // generation AA 55 D4 37 ambient (AA 66 04 D4 37 ambient with extended
    // items), which has no prepare command. Register 2, delay 20 ms, pause
    // 50 ms. Empty before the first read.
    [[nodiscard]] std::vector<CEcuRegisterWrite>
    temperatureCalibration(uint8_t ambient, bool withPrepare = true) const;

    // Block page images as patched by the setters (bytes last read otherwise).
    [[nodiscard]] const std::array<uint8_t, 32>& page1() const { return m_page1; }
    [[nodiscard]] const std::array<uint8_t, 32>& page2() const { return m_page2; }
    // Item generation: the current value of an item id (little-endian value
    // bytes as a number), as read or as pending.
    [[nodiscard]] uint64_t itemValue(uint8_t itemId) const;

    static constexpr uint8_t kItemCount = 70; // item ids 0..69

private:
    [[nodiscard]] bool codecFor(int key, CEcuParamCodec& out) const;
    [[nodiscard]] bool supportedKey(const CEcuParamCodec& c) const;
    [[nodiscard]] uint32_t readRaw(const CEcuParamCodec& c) const;
    [[nodiscard]] uint32_t currentRaw(const CEcuParamCodec& c) const;
    void storeRaw(const CEcuParamCodec& c, uint32_t raw);
    int setKey(int key, double value);
    void updatePending(uint8_t itemId);
    void refreshItemCurrent();
    void decodeItemPacket1(std::span<const uint8_t> packet);
    void decodeItemPacket2(std::span<const uint8_t> packet);
    void decodeBlockPages(std::span<const uint8_t> p1, std::span<const uint8_t> p2);
    [[nodiscard]] static uint8_t itemValueLength(uint8_t itemId);

    EcuGeneration m_generation = EcuGeneration::Unknown;
    uint8_t m_format = 0;
    bool m_doubleRange = false;
    bool m_extendedItems = false;
    bool m_dirty = false;
    uint32_t m_dirtySerial = 0;

    // Item generation: values by item id, as read and as current (read or
    // pending). Item 69 "read" = the CAN values committed this session.
    std::array<uint64_t, kItemCount> m_itemRead{};
    std::array<uint64_t, kItemCount> m_itemCurrent{};
    std::array<uint8_t, 3> m_throttlePoints{}; // packet-1 fields 29-31 (÷ 10)
    uint8_t m_itemAux = 0;
    uint8_t m_itemPumpTypes = 0;
    uint8_t m_itemHighestCurrent = 0; // index + 1
    bool m_itemAuxSwitch = false;
    uint8_t m_protocolMask = 0;
    uint8_t m_egtCorrectionRaw = 0; // + 31
    bool m_supAltRun = false;
    bool m_supAltStart = false;
    bool m_supCalibration = false;
    bool m_supOxygen = false;
    CDeviceECUCmdList m_pending;

    // Block generation: page images as read and as patched.
    std::array<uint8_t, 32> m_readPage1{};
    std::array<uint8_t, 32> m_readPage2{};
    std::array<uint8_t, 32> m_page1{};
    std::array<uint8_t, 32> m_page2{};
    uint8_t m_restartRead = 0;
    uint8_t m_rpmControlReported = 0;
    int16_t m_restartPending = -1;    // -1 none, else the value to send
    int16_t m_rpmControlPending = -1; // -1 none, else the value to send

    // Register 14, both generations.
    std::array<uint8_t, 32> m_namePage{};
    std::array<uint8_t, 28> m_nameRead{};
    std::array<uint8_t, 28> m_namePendingBytes{};
    bool m_namePending = false;
};
