#pragma once

#include "platform/SerialPort.h"

#include <cstdint>
#include <string>

namespace platform {

// A port list of exactly one device node, listed as a USB port with the given
// ids and opened through termios like any port. For reaching a serial device
// that the system does not list as a USB port, such as the simulator's
// pseudo-terminal ("turbexctl --serial-port /dev/pts/4").
//
// Thread safety: both operations may be called from any thread.
class NamedSerialPort : public SerialPortSystem {
public:
    NamedSerialPort(std::string path, uint16_t vendorId, uint16_t productId);

    bool ListPorts(std::vector<SerialPortInfo>& ports, std::string* error) override;
    std::unique_ptr<SerialPort> OpenPort(const std::string& path, std::string* error) override;

private:
    SerialPortInfo m_info;
};

} // namespace platform
