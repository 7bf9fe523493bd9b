#include "device/CDeviceLinkUart.h"

#include "foundation/DebugTrace.h"
#include "platform/SerialPort.h"
#include "protocol/FrameHeader.h"
#include "protocol/FrameSerial.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

CDeviceLinkUart::CDeviceLinkUart(platform::SerialPortSystem* ports)
    : m_ports(ports != nullptr ? ports : &platform::SystemSerialPorts()) {
    (void)m_replySignal.Create(0);
    (void)m_wake.Create(0);
}

CDeviceLinkUart::~CDeviceLinkUart() {
    Stop();
    m_replySignal.Close();
    m_wake.Close();
}

int CDeviceLinkUart::Start() {
    if (m_running.load() == 0) {
        return 0;
    }
    return m_thread.Start(&CDeviceLinkUart::ThreadMain, this);
}

void CDeviceLinkUart::Stop() {
    m_running = 0;
    m_replySignal.Release(); // a transaction waiting for its reply gives up
    m_wake.Release();
    m_thread.Stop();
}

int32_t CDeviceLinkUart::OnLinkState(int32_t, int32_t) {
    return 0;
}

std::string CDeviceLinkUart::GetLastError() const {
    std::lock_guard lock(m_infoLock);
    return m_lastError;
}

std::string CDeviceLinkUart::GetPortPath() const {
    std::lock_guard lock(m_infoLock);
    return m_portPath;
}

void CDeviceLinkUart::SetLastError(std::string text) {
    std::lock_guard lock(m_infoLock);
    m_lastError = std::move(text);
}

bool CDeviceLinkUart::ParseHardwareId(std::string_view hardwareId,
                                      uint16_t* vendorId,
                                      uint16_t* productId) {
    auto number = [&](size_t from, uint16_t* value) {
        const std::string digits(hardwareId.substr(from, 8));
        char* end = nullptr;
        const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
        if (end == digits.c_str() || v > 0xFFFF) {
            return false;
        }
        *value = static_cast<uint16_t>(v);
        return true;
    };
    const size_t vid = hardwareId.find("VID_");
    if (vid == std::string_view::npos) {
        return false;
    }
    const size_t pid = hardwareId.find("PID_", vid + 4);
    if (pid == std::string_view::npos) {
        return false;
    }
    return number(vid + 4, vendorId) && number(pid + 4, productId);
}

std::string CDeviceLinkUart::PortNameFromFriendlyName(std::string_view friendlyName) {
    const size_t com = friendlyName.find("COM");
    if (com == std::string_view::npos) {
        return {};
    }
    std::string_view name = friendlyName.substr(com);
    // Such names end in the parenthesis after the port name; a name without
    // it keeps its last character.
    if (!name.empty() && name.back() == ')') {
        name.remove_suffix(1);
    }
    return std::string(name);
}

std::string CDeviceLinkUart::PortPath(const platform::SerialPortInfo& port) {
    if (!port.path.empty()) {
        return port.path;
    }
    const std::string name = PortNameFromFriendlyName(port.friendlyName);
    return name.empty() ? std::string() : "\\\\.\\" + name;
}

void CDeviceLinkUart::ThreadMain(void* self) {
    static_cast<CDeviceLinkUart*>(self)->Run();
}

void CDeviceLinkUart::Run() {
    while (m_running.load() != 0) {
        if (m_connected.load() == 0) {
            const int32_t pause = SearchOnce();
            if (pause > 0 && m_running.load() != 0) {
                (void)m_wake.Wait(pause);
            }
            continue;
        }
        if (!ReceiveOnce()) {
            Disconnect();
        }
    }
    if (m_connected.load() != 0) {
        Disconnect();
    }
}

int32_t CDeviceLinkUart::SearchOnce() {
    std::vector<platform::SerialPortInfo> ports;
    std::string error;
    if (!m_ports->ListPorts(ports, &error)) {
        SetLastError(error);
        return kSearchMs;
    }
    std::unique_ptr<platform::SerialPort> port;
    std::string path;
    for (size_t index = 0; index < ports.size() && !port; ++index) {
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        if (!ParseHardwareId(ports[index].hardwareId, &vendorId, &productId) ||
            vendorId != kVendorId || productId != kProductId) {
            continue;
        }
        DebugTrace(
            "[%03d] : FriendName = %s", static_cast<int>(index), ports[index].friendlyName.c_str());
        path = PortPath(ports[index]);
        if (path.empty()) {
            continue;
        }
        port = m_ports->OpenPort(path, &error);
        if (!port) {
            SetLastError(error);
        }
    }
    if (!port) {
        return kSearchMs;
    }
    if (!port->Configure(kBaudRate)) {
        SetLastError(port->LastError());
        return kSearchMs; // closed as it goes out of scope
    }
    {
        std::lock_guard lock(m_rxLock);
        m_parser.Reset();
    }
    m_port = std::move(port);
    if (OnLinkState(1, kLinkType) == 0) {
        m_port.reset();
        return kSearchMs;
    }
    {
        std::lock_guard lock(m_infoLock);
        m_portPath = path;
    }
    DebugTrace("serial link on %s", path.c_str());
    m_connected = 1;
    return 0;
}

bool CDeviceLinkUart::ReceiveOnce() {
    const int waiting = m_port->BytesWaiting();
    if (waiting < 0) {
        SetLastError(m_port->LastError());
        return false;
    }
    if (waiting == 0) {
        // Wakes as soon as bytes arrive, so a reply is parsed without the
        // idle delay; a hang-up ends the loop here as well.
        if (m_port->WaitReadable(kIdlePollMs) < 0) {
            SetLastError(m_port->LastError());
            return false;
        }
        return true;
    }
    std::array<uint8_t, kReadChunk> bytes;
    const long n =
        m_port->Read(bytes.data(), std::min<size_t>(static_cast<size_t>(waiting), bytes.size()));
    if (n < 0) {
        SetLastError(m_port->LastError());
        return false;
    }
    if (n == 0) {
        (void)m_wake.Wait(1); // counted but not readable yet
        return true;
    }
    ReceiveBytes(bytes.data(), static_cast<size_t>(n));
    return true;
}

size_t CDeviceLinkUart::ReceiveBytes(const uint8_t* bytes, size_t count) {
    size_t frames = 0;
    {
        std::lock_guard lock(m_rxLock);
        for (size_t i = 0; i < count; ++i) {
            if (m_parser.Feed(bytes[i])) {
                ++frames;
            }
        }
    }
    for (size_t i = 0; i < frames; ++i) {
        m_replySignal.Release();
    }
    return frames;
}

bool CDeviceLinkUart::JudgeLastReply(bool write, uint8_t sequence, uint8_t length, uint8_t* out) {
    std::array<uint8_t, frames::FrameSerialParser::kCapacity> reply;
    size_t size;
    {
        std::lock_guard lock(m_rxLock);
        const auto frame = m_parser.frame();
        size = frame.size();
        std::copy(frame.begin(), frame.end(), reply.begin());
    }
    const std::span<const uint8_t> bytes(reply.data(), size);
    return write ? frames::JudgeSerialWriteReply(bytes, sequence)
                 : frames::JudgeSerialReadReply(bytes, sequence, length, out);
}

void CDeviceLinkUart::Disconnect() {
    {
        std::lock_guard lock(m_infoLock);
        m_portPath.clear();
    }
    m_connected = 0;
    m_replySignal.Release(); // a transaction waiting for its reply ends now
    OnLinkState(0, kLinkType);
    CMLockGuard guard(m_transaction);
    m_port.reset();
}

int CDeviceLinkUart::Read(uint8_t unit, uint8_t reg, uint8_t length, uint8_t* buffer) {
    return Transact(unit, reg, false, length, nullptr, buffer);
}

int CDeviceLinkUart::Write(
    uint8_t unit, uint8_t reg, uint8_t length, const uint8_t* data, int32_t) {
    return Transact(unit, reg, true, length, data, nullptr);
}

int CDeviceLinkUart::Transact(
    uint8_t unit, uint8_t reg, bool write, uint8_t length, const uint8_t* data, uint8_t* out) {
    if (!frames::ValidLength(length) || (write ? data == nullptr : out == nullptr)) {
        SetLastError("invalid transaction length or buffer");
        return 0;
    }
    if (m_connected.load() == 0) {
        SetLastError("no port open");
        return 0;
    }
    CMLockGuard guard(m_transaction);
    if (!guard.locked()) {
        return 0;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (m_connected.load() == 0 || m_running.load() == 0) {
            SetLastError("no port open");
            return 0;
        }
        const uint8_t sequence = ++m_sequence;
        std::array<uint8_t, frames::kSerialMaxPayload> payload{};
        const size_t payloadLength =
            frames::BuildSerialPayload(sequence, unit, reg, write, length, data, payload);
        std::array<uint8_t, frames::kSerialFrameBuffer> frame{};
        const size_t frameLength = frames::StuffSerialFrame({payload.data(), payloadLength}, frame);

        {
            std::lock_guard lock(m_rxLock);
            m_parser.Reset();
        }
        // Every stale signal, not just one: a late reply and an unplug can
        // both have left one.
        while (m_replySignal.Wait(0) != 0) {
        }
        (void)m_port->Purge();
        if (m_port->Write(frame.data(), frameLength) != static_cast<long>(frameLength)) {
            SetLastError(m_port->LastError());
            continue;
        }
        (void)m_port->Drain(kDrainMs);

        if (m_replySignal.Wait(kReplyWaitMs) == 0) {
            SetLastError("no reply within 100 ms");
            continue;
        }
        if (m_connected.load() == 0) {
            SetLastError("port gone while waiting for the reply");
            return 0;
        }
        if (m_running.load() == 0) {
            SetLastError("stopped while waiting for the reply");
            return 0;
        }
        if (JudgeLastReply(write, sequence, length, out)) {
            return 1;
        }
        SetLastError(write ? "write not acknowledged" : "wrong reply");
    }
    return 0;
}
