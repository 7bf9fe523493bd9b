#include "engine/CEcuRadioRecord.h"

#include <algorithm>

namespace {

constexpr uint8_t kFutabaRpmSlot = 0x83;
constexpr uint8_t kFutabaTemperatureSlot = 0x43;

// Data byte i of the reply, if present.
std::optional<uint8_t> Data(std::span<const uint8_t> reply, size_t i) {
    const size_t at = CEcuRadioRecord::kDataOffset + i;
    return at < reply.size() ? std::optional<uint8_t>(reply[at]) : std::nullopt;
}

// Little-endian value of data bytes first .. first + count - 1, if all present.
std::optional<uint32_t> DataValue(std::span<const uint8_t> reply, size_t first, size_t count) {
    uint32_t value = 0;
    for (size_t k = 0; k < count; ++k) {
        const auto b = Data(reply, first + k);
        if (!b) {
            return std::nullopt;
        }
        value |= static_cast<uint32_t>(*b) << (8 * k);
    }
    return value;
}

} // namespace

int8_t CEcuRadioRecord::ReceiverMode(std::span<const uint8_t> reply) {
    return reply.empty() ? 0 : static_cast<int8_t>(reply[0]);
}

uint8_t CEcuRadioRecord::RecordKind(std::span<const uint8_t> reply) {
    return reply.size() > 1 ? reply[1] : 0;
}

int32_t CEcuRadioRecord::SignExtend(uint32_t raw, int signBit) {
    const uint32_t sign = 1u << signBit;
    const uint32_t low = raw & (sign - 1u);
    return (raw & sign) != 0 ? static_cast<int32_t>(low | ~(sign - 1u)) : static_cast<int32_t>(low);
}

std::string CEcuRadioRecord::Text(std::span<const uint8_t> bytes, size_t offset, size_t length) {
    std::string text;
    for (size_t i = offset; i < bytes.size() && i < offset + length && bytes[i] != 0; ++i) {
        text.push_back(static_cast<char>(bytes[i]));
    }
    return text;
}

CEcuRadioRecord::Futaba CEcuRadioRecord::DecodeFutaba(std::span<const uint8_t> reply) {
    Futaba f;
    if (RecordKind(reply) != 1) {
        return f;
    }
    if (Data(reply, 0) == kFutabaRpmSlot) {
        if (const auto v = DataValue(reply, 1, 2)) {
            f.rpm = static_cast<int32_t>(*v) * 5;
        }
    }
    if (Data(reply, 3) == kFutabaTemperatureSlot) {
        if (const auto v = DataValue(reply, 4, 2)) {
            f.temperature = static_cast<int32_t>(*v & 0x7FFFu) - 100;
        }
    }
    return f;
}

CEcuRadioRecord::Jeti CEcuRadioRecord::DecodeJeti(std::span<const uint8_t> reply) {
    Jeti j;
    j.kind = RecordKind(reply);
    if (j.kind == 1 || j.kind == 2) {
        j.line = Text(reply, kDataOffset, kLineLength);
    } else if (j.kind == 3) {
        if (const auto v = DataValue(reply, 11, 3)) {
            j.rpm = SignExtend(*v, 20);
        }
        if (const auto v = DataValue(reply, 15, 2)) {
            j.temperature = SignExtend(*v, 12);
        }
    }
    return j;
}

std::array<std::string, 2> CEcuRadioRecord::GroundSupportLines(std::span<const uint8_t> reply) {
    return {Text(reply, 0, kLineLength), Text(reply, kLineLength, kLineLength)};
}

std::vector<uint8_t> CEcuRadioRecord::ReceiverFrame(int mode,
                                                    uint8_t throttle,
                                                    uint8_t switchPosition,
                                                    uint8_t jetiKey) {
    switch (mode) {
    case kModeOff:
        return {1};
    case kModeFutaba:
        return {2, std::min<uint8_t>(throttle, 100), std::min<uint8_t>(switchPosition, 100)};
    case kModeJeti:
        return {3, jetiKey};
    default:
        return {};
    }
}
