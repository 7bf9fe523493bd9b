#pragma once

#include <array>
#include <cstdint>

namespace sim {

// Who the simulated unit says it is.
struct UnitIdentity {
    uint8_t unitId = 0;
    uint8_t unitType = 2; // 2: an ECU
    uint8_t mode = 1;     // 6 bits; a unit whose id is 1 and mode is not 1 is refused by the tool
    uint16_t hardwareId = 0x123; // 12 bits
    uint8_t major = 1;    // 5 bits, 31 is reserved for the boot loader
    uint8_t minor = 2;
    uint8_t patch = 3;
    bool bootLoader = false;
    uint8_t bootVersion1 = 1;
    uint8_t bootVersion2 = 2;
    uint16_t bootExtra = 0;
    bool marker = false; // status byte 9 = 'A'
    std::array<uint8_t, 12> deviceInfo{'T', 'U', 'R', 'B', 'E', 'X', '-', 'S', 'I', 'M', 0x01, 0x00};
};

// Register 0 of a unit: writing 04 FB selects the 10-byte status reply,
// writing 05 FA the 12-byte device information; a read returns the selected
// reply.
class StatusRegister {
public:
    UnitIdentity identity;

    bool Write(const uint8_t* data, uint8_t length);
    bool Read(uint8_t length, uint8_t* out) const;

    // The 10 status bytes for the current identity.
    [[nodiscard]] std::array<uint8_t, 10> StatusBytes() const;

private:
    enum class Selected { Status, DeviceInfo };
    Selected m_selected = Selected::Status;
};

} // namespace sim
