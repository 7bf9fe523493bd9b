#include "sim/Bus.h"

namespace sim {

void Bus::Attach(uint8_t address, BusUnit* unit) {
    std::lock_guard lock(m_lock);
    m_units[address & 0x1F] = unit;
}

bool Bus::Read(uint8_t address, uint8_t reg, uint8_t length, uint8_t* out) {
    std::lock_guard lock(m_lock);
    BusUnit* unit = m_units[address & 0x1F];
    if (unit == nullptr || length == 0 || length > 32 || reg > 15) {
        return false;
    }
    return unit->ReadRegister(reg, length, out);
}

bool Bus::Write(uint8_t address, uint8_t reg, std::span<const uint8_t> data) {
    std::lock_guard lock(m_lock);
    BusUnit* unit = m_units[address & 0x1F];
    if (unit == nullptr || data.empty() || data.size() > 32 || reg > 15) {
        return false;
    }
    return unit->WriteRegister(reg, data);
}

} // namespace sim
