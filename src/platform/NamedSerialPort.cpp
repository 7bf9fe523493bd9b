#include "platform/NamedSerialPort.h"

namespace platform {

NamedSerialPort::NamedSerialPort(std::string path, uint16_t vendorId, uint16_t productId) {
    m_info.path = std::move(path);
    m_info.vendorId = vendorId;
    m_info.productId = productId;
    m_info.hardwareId = UsbHardwareId(vendorId, productId);
    std::string base = m_info.path;
    if (const auto slash = base.rfind('/'); slash != std::string::npos) {
        base = base.substr(slash + 1);
    }
    m_info.friendlyName = "Named serial port (" + base + ")";
}

bool NamedSerialPort::ListPorts(std::vector<SerialPortInfo>& ports, std::string*) {
    ports = {m_info};
    return true;
}

std::unique_ptr<SerialPort> NamedSerialPort::OpenPort(const std::string& path, std::string* error) {
    return OpenSystemSerialPort(path, error);
}

} // namespace platform
