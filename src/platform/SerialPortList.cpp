#include "platform/SerialPort.h"

#include <libserialport.h>

#include <cstdio>

namespace platform {

std::string UsbHardwareId(uint16_t vendorId, uint16_t productId) {
    char text[32];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", vendorId, productId);
    return text;
}

bool ListSystemSerialPorts(std::vector<SerialPortInfo>& ports, std::string* error) {
    ports.clear();
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK) {
        if (error != nullptr) {
            char* message = sp_last_error_message();
            *error = std::string("sp_list_ports: ") + (message != nullptr ? message : "failed");
            sp_free_error_message(message);
        }
        return false;
    }
    for (sp_port** p = list; *p != nullptr; ++p) {
        SerialPortInfo info;
        const char* name = sp_get_port_name(*p);
        info.path = name != nullptr ? name : "";
        const char* description = sp_get_port_description(*p);
        std::string base = info.path;
        if (const auto slash = base.rfind('/'); slash != std::string::npos) {
            base = base.substr(slash + 1);
        }
        info.friendlyName =
            std::string(description != nullptr ? description : "Serial Port") + " (" + base + ")";
        int vid = 0;
        int pid = 0;
        if (sp_get_port_transport(*p) == SP_TRANSPORT_USB &&
            sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
            info.vendorId = static_cast<uint16_t>(vid);
            info.productId = static_cast<uint16_t>(pid);
            info.hardwareId = UsbHardwareId(info.vendorId, info.productId);
        }
        ports.push_back(std::move(info));
    }
    sp_free_port_list(list);
    return true;
}

namespace {
class SystemPorts final : public SerialPortSystem {
public:
    bool ListPorts(std::vector<SerialPortInfo>& ports, std::string* error) override {
        return ListSystemSerialPorts(ports, error);
    }
    std::unique_ptr<SerialPort> OpenPort(const std::string& path, std::string* error) override {
        return OpenSystemSerialPort(path, error);
    }
};
} // namespace

SerialPortSystem& SystemSerialPorts() {
    static SystemPorts ports;
    return ports;
}

} // namespace platform
