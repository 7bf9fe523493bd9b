#pragma once

#include "platform/SerialPort.h"
#include "sim/HidDongleSet.h"

// A computer with no serial ports at all, so that a device under test never
// looks at the machine's own.
class NoSerialPorts : public platform::SerialPortSystem {
public:
    bool ListPorts(std::vector<platform::SerialPortInfo>& ports, std::string*) override {
        ports.clear();
        return true;
    }
    std::unique_ptr<platform::SerialPort> OpenPort(const std::string&, std::string* error) override {
        if (error != nullptr) {
            *error = "no such port";
        }
        return nullptr;
    }
};
