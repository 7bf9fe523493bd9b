#pragma once

#include "engine/CEcuLiveState.h"
#include "engine/CEcuPacketSet.h"
#include "engine/EcuTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The register reads of one telemetry decode, gathered and then applied to a
// live state in one step. The protocol object drives it once per poll cycle:
//
//     CEcuTelemetryRead telemetry(parameters.telemetryContext());
//     while (auto request = telemetry.next()) {
//         if (device.Read(request->reg, request->length, buffer))
//             telemetry.feed({buffer, request->length});
//         else
//             telemetry.fail();
//     }
//     if (telemetry.apply(liveState)) notify 301;
//     if (block generation) parameters.noteRpmControlState(liveState.rpm_control_state);
//
// Item generation: register 1 (32 bytes) is read until the telemetry set is
// complete (CEcuPacketSet rules) or a read fails; apply() decodes packets 1
// and 2 as far as they arrived and always asks for the notification, also for
// a set cut short. Block generation: register 1 and then register 4 (32 bytes
// each); apply() decodes only when both reads succeeded. Before the
// generation is known nothing is read (the bytes could not be interpreted).
//
// Thread safety: none; a value owned by the polling thread.
class CEcuTelemetryRead {
public:
    explicit CEcuTelemetryRead(const CEcuTelemetryContext& context)
        : m_context(context) {}

    [[nodiscard]] std::optional<CEcuReadRequest> next() const;
    void feed(std::span<const uint8_t> bytes);
    void fail();

    // Decodes what was gathered into live; returns 1 when the poll cycle
    // raises notification 301, 0 when nothing was decoded.
    int apply(CEcuLiveState& live) const;

    [[nodiscard]] bool finished() const;
    [[nodiscard]] const CEcuPacketSet& packetSet() const { return m_set; }

private:
    static void copyPage(std::array<uint8_t, 32>& to, std::span<const uint8_t> from);

    CEcuTelemetryContext m_context;
    CEcuPacketSet m_set;
    bool m_failed = false;
    bool m_have1 = false; // item: packet 1; block: register 1
    bool m_have2 = false; // item: packet 2; block: register 4
    std::array<uint8_t, 32> m_first{};
    std::array<uint8_t, 32> m_second{};
};
