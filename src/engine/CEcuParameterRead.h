#pragma once

#include "engine/CEcuPacketSet.h"
#include "engine/EcuTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The register reads of one parameter-block read-back, gathered before they
// are decoded into the mirror in one step (CEcuParameters::applyRead). The
// protocol object drives it without holding any lock of the mirror:
//
//     CEcuParameterRead read = parameters.beginRead();
//     while (auto request = read.next()) {
//         if (device.Read(request->reg, request->length, buffer))
//             read.feed({buffer, request->length});
//         else
//             read.fail();
//     }
//     if (parameters.applyRead(read)) notify 302;
//
// Sequence:
//   1. register 2, 32 bytes. Byte 0 decides the generation:
//      - item generation (bits 3-5 = k, bits 0-2 = n, 1 <= k <= n, 2 <= n <= 7):
//        this read is the first packet of a set; register 2 is read again
//        (32 bytes) until the set is complete (CEcuPacketSet rules);
//      - block generation (byte 0 is the format version 2, 3 or 4): page 1;
//        then register 3, 32 bytes (page 2);
//      - anything else, or the generation opposite to the one already known:
//        the read fails.
//   2. register 14, 32 bytes: the engine name page.
// A failed read of register 2 or 3, or a packet set that does not complete,
// fails the whole read: the mirror stays as it was and the parameter-dirty
// flag stays set so the next poll cycle tries again. A failed register-14
// read still completes the read; the engine name keeps its previous value.
//
// Thread safety: none; a value owned by the thread that performs the reads.
class CEcuParameterRead {
public:
    enum class State : uint8_t { Reading, Complete, Failed };

    // known: the generation the mirror already holds (Unknown after a reset).
    // serial: the mirror's dirty serial when the read began (see
    // CEcuParameters::beginRead).
    explicit CEcuParameterRead(EcuGeneration known = EcuGeneration::Unknown, uint32_t serial = 0)
        : m_known(known)
        , m_serial(serial) {}

    // The read to perform next, or nothing when the read has finished.
    [[nodiscard]] std::optional<CEcuReadRequest> next() const;

    // The bytes of the read that next() asked for (shorter replies read as
    // zero-filled). Ignored once finished.
    void feed(std::span<const uint8_t> bytes);
    // The read that next() asked for failed.
    void fail();

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] EcuGeneration generation() const { return m_generation; }
    [[nodiscard]] uint32_t serial() const { return m_serial; }

    // Gathered bytes (valid per generation once Complete).
    [[nodiscard]] const std::array<uint8_t, 32>& page1() const { return m_page1; }     // block
    [[nodiscard]] const std::array<uint8_t, 32>& page2() const { return m_page2; }     // block
    [[nodiscard]] const std::array<uint8_t, 32>& packet1() const { return m_packet1; } // item
    [[nodiscard]] const std::array<uint8_t, 32>& packet2() const { return m_packet2; } // item
    [[nodiscard]] const std::array<uint8_t, 32>& namePage() const { return m_name; }
    [[nodiscard]] bool hasNamePage() const { return m_hasName; }

private:
    enum class Step : uint8_t { First, ItemPackets, Page2, Name, Done };

    static void copyPage(std::array<uint8_t, 32>& to, std::span<const uint8_t> from);
    void takeItemPacket(std::span<const uint8_t> bytes);

    EcuGeneration m_known;
    uint32_t m_serial;
    EcuGeneration m_generation = EcuGeneration::Unknown;
    State m_state = State::Reading;
    Step m_step = Step::First;
    CEcuPacketSet m_set;
    std::array<uint8_t, 32> m_page1{};
    std::array<uint8_t, 32> m_page2{};
    std::array<uint8_t, 32> m_packet1{};
    std::array<uint8_t, 32> m_packet2{};
    std::array<uint8_t, 32> m_name{};
    bool m_hasName = false;
};
