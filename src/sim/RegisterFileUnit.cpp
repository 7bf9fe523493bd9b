#include "sim/RegisterFileUnit.h"

#include <algorithm>

namespace sim {

bool RegisterFileUnit::ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) {
    if (m_silentReads || length == 0 || length > kRegisterSize) {
        return false;
    }
    const auto& r = m_registers[reg & 0x0F];
    std::copy_n(r.begin(), length, out);
    ++m_reads;
    return true;
}

bool RegisterFileUnit::WriteRegister(uint8_t reg, std::span<const uint8_t> data) {
    if (m_silentWrites || data.empty() || data.size() > kRegisterSize) {
        return false;
    }
    std::copy(data.begin(), data.end(), m_registers[reg & 0x0F].begin());
    ++m_writes;
    return true;
}

void RegisterFileUnit::Set(uint8_t reg, std::span<const uint8_t> bytes) {
    auto& r = m_registers[reg & 0x0F];
    std::copy_n(bytes.begin(), std::min(bytes.size(), r.size()), r.begin());
}

} // namespace sim
