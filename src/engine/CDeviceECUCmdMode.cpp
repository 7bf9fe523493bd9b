#include "engine/CDeviceECUCmdMode.h"

#include <algorithm>

CDeviceECUCmdMode::CDeviceECUCmdMode(uint8_t id, std::span<const uint8_t> valueBytes)
    : orderKey(OrderKeyFor(id))
    , parameterId(id) {
    SetValue(valueBytes);
}

void CDeviceECUCmdMode::SetValue(std::span<const uint8_t> valueBytes) {
    const size_t n = std::min<size_t>(valueBytes.size(), kMaxValueBytes);
    value.fill(0);
    std::copy_n(valueBytes.begin(), n, value.begin());
    itemLength = static_cast<uint8_t>(1 + n);
}
