#include "update/CUnitIdentity.h"

#include "device/CDeviceBase.h"
#include "foundation/StringPrintf.h"

CUnitIdentity CUnitIdentity::Of(const CDeviceBase& device) {
    CUnitIdentity id;
    id.hardwareId = device.GetHardwareId();
    id.deviceInfo = device.GetDeviceInfo();
    id.bootLoader = device.IsBootLoader() != 0;
    if (id.bootLoader) {
        id.bootVersion1 = device.GetVersion1();
        id.bootVersion2 = device.GetVersion2();
    } else {
        id.appVersion = device.GetAppVersion();
    }
    return id;
}

std::string CUnitIdentity::DeviceInfoHex() const {
    std::string out;
    for (uint8_t b : deviceInfo) {
        out += StringPrintf("%02x", b);
    }
    return out;
}

std::string CUnitIdentity::Key() const {
    return StringPrintf("ecu-%03x-", hardwareId & 0xFFFu) + DeviceInfoHex();
}

std::string CUnitIdentity::VersionText() const {
    if (bootLoader) {
        return StringPrintf("boot %u.%02u", bootVersion1, bootVersion2);
    }
    return StringPrintf(
        "%u.%u.%u", (appVersion >> 16) & 0xFFu, (appVersion >> 8) & 0xFFu, appVersion & 0xFFu);
}
