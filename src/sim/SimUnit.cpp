#include "sim/SimUnit.h"

#include <algorithm>

namespace sim {

bool SimUnit::ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) {
    if (status.identity.bootLoader && bootLoader.Silent()) {
        return false;
    }
    if (reg == 0) {
        if (m_leavePending > 0 && --m_leavePending == 0) {
            m_leavePending = -1;
            Leave();
        }
        return status.Read(length, out);
    }
    if (status.identity.bootLoader) {
        return bootLoader.Read(reg, length, out);
    }
    if (m_application != nullptr) {
        return m_application->ReadRegister(reg, length, out);
    }
    std::copy_n(m_plain[reg].begin(), length, out);
    return true;
}

bool SimUnit::WriteRegister(uint8_t reg, std::span<const uint8_t> data) {
    if (status.identity.bootLoader && bootLoader.Silent()) {
        return false;
    }
    if (reg == 0) {
        if (data.size() == 2 && data[0] == 0x02 && data[1] == 0xFD) {
            if (!status.identity.bootLoader) {
                m_erasesAtEnter = bootLoader.Erases();
            }
            status.identity.bootLoader = true;
            return true;
        }
        if (data.size() == 2 && data[0] == 0x01 && data[1] == 0xFE) {
            if (leaveDelayPolls > 0) {
                m_leavePending = leaveDelayPolls;
            } else {
                Leave();
            }
            return true;
        }
        return status.Write(data.data(), static_cast<uint8_t>(data.size()));
    }
    if (status.identity.bootLoader) {
        return bootLoader.Write(reg, data);
    }
    if (m_application != nullptr) {
        return m_application->WriteRegister(reg, data);
    }
    std::copy(data.begin(), data.end(), m_plain[reg].begin());
    return true;
}

void SimUnit::Leave() {
    const bool updated = status.identity.bootLoader && bootLoader.Erases() > m_erasesAtEnter;
    status.identity.bootLoader = false;
    m_erasesAtEnter = bootLoader.Erases();
    if (updated && onUpdated) {
        onUpdated();
    }
}

} // namespace sim
