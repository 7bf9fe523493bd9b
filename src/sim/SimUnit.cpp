#include "sim/SimUnit.h"

#include <algorithm>

namespace sim {

bool SimUnit::ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) {
    if (reg == 0) {
        return status.Read(length, out);
    }
    if (m_application != nullptr) {
        return m_application->ReadRegister(reg, length, out);
    }
    std::copy_n(m_plain[reg].begin(), length, out);
    return true;
}

bool SimUnit::WriteRegister(uint8_t reg, std::span<const uint8_t> data) {
    if (reg == 0) {
        return status.Write(data.data(), static_cast<uint8_t>(data.size()));
    }
    if (m_application != nullptr) {
        return m_application->WriteRegister(reg, data);
    }
    std::copy(data.begin(), data.end(), m_plain[reg].begin());
    return true;
}

} // namespace sim
