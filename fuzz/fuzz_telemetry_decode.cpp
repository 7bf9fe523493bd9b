// Arbitrary register bytes through the telemetry read sequence and decoders of
// both generations, the register-5 sensor decoder and the radio-simulator
// record decoders.
#include "engine/CEcuLiveState.h"
#include "engine/CEcuRadioRecord.h"
#include "engine/CEcuTelemetryRead.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    CEcuTelemetryContext ctx;
    ctx.generation = (data[0] & 1) != 0 ? EcuGeneration::Item : EcuGeneration::Block;
    ctx.formatVersion = static_cast<uint8_t>(2 + (data[0] >> 1) % 3);
    ctx.doubleRange = (data[0] & 0x08) != 0;
    ctx.blockPumpVoltage = static_cast<float>(data[1]) / 10.0f;
    size_t pos = 2;

    CEcuLiveState live;
    CEcuTelemetryRead telemetry(ctx);
    int guard = 0;
    while (auto request = telemetry.next()) {
        if (++guard > 64) {
            __builtin_trap(); // a telemetry set must end by itself
        }
        if (pos >= size) {
            telemetry.fail();
            continue;
        }
        const size_t n = std::min<size_t>(request->length, size - pos);
        telemetry.feed(std::span<const uint8_t>(data + pos, n));
        pos += n;
    }
    (void)telemetry.apply(live);

    // The decoders directly, on whatever length is left (often short).
    const std::span<const uint8_t> rest(data + std::min(pos, size), size - std::min(pos, size));
    live.decodeItemPacket1(rest);
    live.decodeItemPacket2(rest);
    live.decodeBlock(rest, rest.subspan(rest.size() / 2), ctx);
    (void)live.decodeSensor(rest.first(std::min<size_t>(rest.size(), 6)));

    // Radio-simulator replies of any length (registers 11 and 10).
    const auto futaba = CEcuRadioRecord::DecodeFutaba(rest);
    const auto jeti = CEcuRadioRecord::DecodeJeti(rest);
    if (jeti.line && jeti.line->size() > CEcuRadioRecord::kLineLength) {
        __builtin_trap();
    }
    if (jeti.rpm && (*jeti.rpm < -(1 << 20) || *jeti.rpm >= (1 << 20))) {
        __builtin_trap(); // a 21-bit number
    }
    if (futaba.temperature && *futaba.temperature > 0x7FFF - 100) {
        __builtin_trap(); // bit 15 is not part of the value
    }
    for (const std::string& line : CEcuRadioRecord::GroundSupportLines(rest)) {
        if (line.size() > CEcuRadioRecord::kLineLength) {
            __builtin_trap();
        }
    }

    const int state = live.displayState();
    const int error = live.displayError();
    if (CEcuLiveState::DisplayStateTextNumber(state) < 0) {
        __builtin_trap(); // every display state has a text
    }
    (void)CEcuLiveState::ErrorTextNumber(error);
    (void)live.displayedEgt(static_cast<int8_t>(data[1]) / 4, (data[0] & 0x10) != 0);
    return 0;
}
