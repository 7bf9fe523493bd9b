#pragma once

#include "foundation/CMNode.h"

#include <array>
#include <cstdint>
#include <span>

// One pending parameter change of an item-generation ECU: an item id and the
// value bytes a commit frame will carry for it.
class CDeviceECUCmdMode : public CMNode {
public:
    static constexpr uint8_t kMaxValueBytes = 6; // the largest group item

    // Item 28 (the run pump limit) sorts first so that a commit sends it before
    // every other change; all other ids share key 0.
    [[nodiscard]] static int32_t OrderKeyFor(uint8_t parameterId) {
        return parameterId == 28 ? 1 : 0;
    }

    // value is cut to kMaxValueBytes.
    CDeviceECUCmdMode(uint8_t id, std::span<const uint8_t> valueBytes);

    // Replaces the value; the length follows the new value.
    void SetValue(std::span<const uint8_t> valueBytes);
    [[nodiscard]] std::span<const uint8_t> Value() const {
        return {value.data(), static_cast<size_t>(itemLength - 1)};
    }

    int32_t orderKey = 0;
    uint8_t itemLength = 1; // 1 + number of value bytes
    uint8_t parameterId = 0;
    std::array<uint8_t, kMaxValueBytes> value{}; // little-endian
};
