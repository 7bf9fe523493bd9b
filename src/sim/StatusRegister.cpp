#include "sim/StatusRegister.h"

#include <algorithm>
#include <cstring>

namespace sim {

std::array<uint8_t, 10> StatusRegister::StatusBytes() const {
    const UnitIdentity& u = identity;
    std::array<uint8_t, 10> b{};
    const uint16_t hw = u.hardwareId & 0x0FFF;
    b[0] = u.unitId;
    b[1] = u.unitType;
    b[2] = static_cast<uint8_t>(((u.mode & 0x3F) << 2) | ((hw >> 10) & 0x03));
    b[3] = static_cast<uint8_t>((hw >> 2) & 0xFF);
    const uint8_t low = u.bootLoader ? 0x1F : (u.major & 0x1F);
    b[4] = static_cast<uint8_t>(((hw & 0x03) << 6) | low);
    b[5] = u.bootLoader ? u.bootVersion1 : u.minor;
    b[6] = u.bootLoader ? u.bootVersion2 : u.patch;
    if (u.bootLoader) {
        b[7] = static_cast<uint8_t>(u.bootExtra & 0xFF);
        b[8] = static_cast<uint8_t>(u.bootExtra >> 8);
    }
    b[9] = u.marker ? 'A' : 0;
    return b;
}

bool StatusRegister::Write(const uint8_t* data, uint8_t length) {
    if (length == 2 && data[0] == 0x04 && data[1] == 0xFB) {
        m_selected = Selected::Status;
        return true;
    }
    if (length == 2 && data[0] == 0x05 && data[1] == 0xFA) {
        m_selected = Selected::DeviceInfo;
        return true;
    }
    return false;
}

bool StatusRegister::Read(uint8_t length, uint8_t* out) const {
    std::memset(out, 0, length);
    if (m_selected == Selected::Status) {
        const auto status = StatusBytes();
        std::copy_n(status.begin(), std::min<size_t>(length, status.size()), out);
    } else {
        std::copy_n(identity.deviceInfo.begin(), std::min<size_t>(length, identity.deviceInfo.size()), out);
    }
    return true;
}

} // namespace sim
