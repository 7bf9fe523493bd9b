#include "device/CDeviceHID.h"

#include "platform/HidPort.h"

#include <algorithm>
#include <cstring>
#include <vector>

CDeviceHID::CDeviceHID(platform::HidPort* port)
    : m_port(port != nullptr ? port : &platform::SystemHidPort()) {
    Reset();
}

CDeviceHID::~CDeviceHID() {
    (void)Close();
}

void CDeviceHID::Reset() {
    m_open = false;
    m_inputLength = 0;
    m_outputLength = 0;
    m_inputBuffers = 0;
}

int CDeviceHID::GetDevicePath(int index, std::string& path) {
    if (index < 0 || index >= kMaxDevices) {
        return 0;
    }
    const auto devices = m_port->Enumerate();
    if (static_cast<size_t>(index) >= devices.size()) {
        return 0;
    }
    path = devices[static_cast<size_t>(index)].path;
    return 1;
}

int CDeviceHID::CountDevices(uint16_t vendorId, uint16_t productId) {
    // One enumeration serves the whole count. The ids come from the
    // enumeration: opening every HID device present just to read its ids
    // would need access to all of them (keyboards included) on this system.
    const auto devices = m_port->Enumerate();
    const size_t limit = std::min<size_t>(devices.size(), kMaxDevices);
    int count = 0;
    for (size_t i = 0; i < limit; ++i) {
        if (devices[i].vendorId == vendorId && devices[i].productId == productId) {
            ++count;
        }
    }
    return count;
}

int CDeviceHID::Open(int n, uint16_t vendorId, uint16_t productId, uint32_t /*buffers*/) {
    if (m_open.load()) {
        return kAlreadyOpen;
    }
    const auto devices = m_port->Enumerate();
    const size_t limit = std::min<size_t>(devices.size(), kMaxDevices);
    int match = 0;
    for (size_t i = 0; i < limit; ++i) {
        if (devices[i].vendorId != vendorId || devices[i].productId != productId) {
            continue;
        }
        if (match++ != n) {
            continue;
        }
        std::string error;
        auto device = m_port->Open(devices[i].path, &error);
        if (!device) {
            SetLastError(error);
            return kNoDevice;
        }
        const uint16_t input = device->InputReportLength();
        const uint16_t output = device->OutputReportLength();
        std::lock_guard lock(m_deviceLock);
        if (m_interrupted) {
            SetLastError("open: stopping");
            return kNoDevice;
        }
        m_device = std::move(device);
        if (input != 0) {
            m_inputLength = input;
        }
        if (output != 0) {
            m_outputLength = output;
        }
        m_open = true;
        return kOk;
    }
    SetLastError(devices.empty() ? "no HID device present" : "no matching HID device");
    return kNoDevice;
}

int CDeviceHID::Close() {
    std::unique_ptr<platform::HidDevice> closing;
    {
        std::lock_guard lock(m_deviceLock);
        if (!m_open.load()) {
            return kNotOpen;
        }
        closing = std::move(m_device);
        Reset();
    }
    // Destroyed outside the lock so that Interrupt never waits on a close.
    return closing ? kOk : kInvalidHandle;
}

void CDeviceHID::SetTimeouts(int32_t readMs, int32_t writeMs) {
    m_readTimeout = readMs;
    m_writeTimeout = writeMs;
}

int CDeviceHID::SetOutputReport(uint8_t reportId, const uint8_t* data, size_t length) {
    if (!m_open.load() || !m_device) {
        return kNotOpen;
    }
    std::vector<uint8_t> report(std::max<size_t>(m_outputLength, 1), 0);
    report[0] = reportId;
    if (data != nullptr) {
        std::copy_n(data, std::min(length, report.size() - 1), report.begin() + 1);
    }
    if (!m_device->SendOutputReport(report.data(), report.size())) {
        SetLastError(m_device->LastError());
        return kTransferFailed;
    }
    return kOk;
}

int CDeviceHID::GetInputReport(uint8_t reportId, uint8_t* buffer, size_t length) {
    if (buffer != nullptr) {
        std::memset(buffer, 0, length);
    }
    if (!m_open.load() || !m_device) {
        return kNotOpen;
    }
    std::vector<uint8_t> report(std::max<size_t>(m_inputLength, 1), 0);
    report[0] = reportId;
    if (m_device->GetInputReport(report.data(), report.size()) < 0) {
        SetLastError(m_device->LastError());
        return kTransferFailed;
    }
    if (buffer != nullptr) {
        // Never more than the report holds, whatever the caller asked for.
        std::copy_n(report.begin(), std::min(length, report.size()), buffer);
    }
    return kOk;
}

void CDeviceHID::Interrupt() {
    std::lock_guard lock(m_deviceLock);
    m_interrupted = true;
    if (m_device) {
        m_device->Interrupt();
    }
}

std::string CDeviceHID::GetLastError() const {
    std::lock_guard lock(m_errorLock);
    return m_lastError;
}

void CDeviceHID::SetLastError(std::string text) {
    std::lock_guard lock(m_errorLock);
    m_lastError = std::move(text);
}
