#pragma once

#include <array>
#include <cstdint>
#include <string>

class CDeviceBase;

// Who a unit is, as its status reply and device-info exchange tell it: the
// 12-bit hardware id, the 12 device-info bytes, and the firmware it runs.
// The hardware id and device info are the same in application and
// boot-loader mode, so a unit found waiting in its boot loader is known as
// the unit it was before.
struct CUnitIdentity {
    uint16_t hardwareId = 0;
    std::array<uint8_t, 12> deviceInfo{};
    bool bootLoader = false;
    // Application mode: major x 65536 + minor x 256 + patch. Boot-loader
    // mode: 0 (bootVersion1 and bootVersion2 hold its version).
    uint32_t appVersion = 0;
    uint8_t bootVersion1 = 0;
    uint8_t bootVersion2 = 0;

    // The identity the device holds now (call while it is online).
    [[nodiscard]] static CUnitIdentity Of(const CDeviceBase& device);

    // The unit's folder name: "ecu-" hardware id (three hex digits) "-" the
    // device info (24 hex digits), e.g. "ecu-123-5455...0100". Only letters,
    // digits and '-', so it is safe in any file system.
    [[nodiscard]] std::string Key() const;
    // "1.2.3" in application mode, "boot 1.02" in boot-loader mode.
    [[nodiscard]] std::string VersionText() const;
    // The device info as 24 hex digits.
    [[nodiscard]] std::string DeviceInfoHex() const;
};
