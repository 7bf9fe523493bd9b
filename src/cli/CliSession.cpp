#include "cli/CliSession.h"

#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "platform/NamedSerialPort.h"

#include <atomic>
#include <chrono>

namespace cli {

namespace {

std::atomic<int> g_interrupted{0};

// The serial adapter's USB identity, as the serial link looks for it.
constexpr uint16_t kAdapterVendorId = 0x16C0;
constexpr uint16_t kAdapterProductId = 0x06F6;

} // namespace

void RequestInterrupt() {
    g_interrupted.store(1);
}

bool Interrupted() {
    return g_interrupted.load() != 0;
}

void ClearInterrupt() {
    g_interrupted.store(0);
}

int EventCounts::Slot(int32_t event) {
    if (event >= 0 && event < 16) {
        return event;
    }
    if (event >= 301 && event < 317) {
        return 16 + (event - 301);
    }
    return -1;
}

uint64_t EventCounts::count(int32_t event) const {
    const int s = Slot(event);
    return s < 0 ? 0 : counts[static_cast<size_t>(s)];
}

int32_t EventCounts::value(int32_t event) const {
    const int s = Slot(event);
    return s < 0 ? 0 : values[static_cast<size_t>(s)];
}

CliSession::CliSession(const Options& options)
    : m_options(options) {
    CDeviceBase::Options device;
    device.socketPort = options.port;
    device.hidPort = options.hidPort;
    if (!options.serialPort.empty()) {
        m_serialPorts = std::make_unique<platform::NamedSerialPort>(
            options.serialPort, kAdapterVendorId, kAdapterProductId);
        device.serialPorts = m_serialPorts.get();
    }
    m_device = std::make_unique<CDeviceBase>(device);
    m_ecu = std::make_unique<CDeviceECU>();
    m_ecu->setDownloadRequested(options.downloadRequested);
    m_ecu->attach(m_device.get());
    m_device->SetEventHandler(&CliSession::OnGeneralEvent, this);
}

CliSession::~CliSession() {
    // The ECU goes first: its threads use the device until they are joined,
    // and it takes its handler off the device, which waits for a call of it
    // still under way.
    m_ecu.reset();
    m_device.reset();
}

void CliSession::Start() {
    if (!m_started) {
        m_started = true;
        m_device->Start();
    }
}

int32_t CliSession::OnGeneralEvent(int32_t event, int32_t value, void* self) {
    auto* s = static_cast<CliSession*>(self);
    {
        std::lock_guard lock(s->m_lock);
        EventCounts& c = s->m_counts;
        const int slot = EventCounts::Slot(event);
        if (slot >= 0) {
            ++c.counts[static_cast<size_t>(slot)];
            c.values[static_cast<size_t>(slot)] = value;
        }
        if (event == CDeviceBase::kEventOnline || event == CDeviceBase::kEventTransferBegin) {
            // The ECU starts again from an empty mirror.
            c.parametersSeen = false;
            c.ecuReady = false;
            c.telemetryAfterParameters = 0;
        } else if (event == CDeviceECU::kParameters) {
            c.parametersSeen = true;
        } else if (event == CDeviceECU::kTelemetry && c.parametersSeen) {
            c.ecuReady = ++c.telemetryAfterParameters >= 2;
        }
    }
    s->m_changed.notify_all();
    return 0;
}

bool CliSession::WaitUntil(const std::function<bool(const EventCounts&)>& pred, int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::unique_lock lock(m_lock);
    for (;;) {
        if (pred(m_counts)) {
            return true;
        }
        if (Interrupted()) {
            return false;
        }
        auto slice = std::chrono::milliseconds(100);
        if (timeoutMs >= 0) {
            const auto now = Clock::now();
            if (now >= deadline) {
                return false;
            }
            slice = std::min(slice,
                             std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                 std::chrono::milliseconds(1));
        }
        // Woken by every event; the slice only bounds how late Ctrl-C and
        // the deadline are seen.
        m_changed.wait_for(lock, slice);
    }
}

EventCounts CliSession::Counts() const {
    std::lock_guard lock(m_lock);
    return m_counts;
}

CliSession::Ready CliSession::WaitOnline(int32_t timeoutMs) {
    CDeviceBase& d = *m_device;
    const bool online = WaitUntil(
        [&](const EventCounts&) { return d.IsLinkUp() != 0 && d.IsOnline() != 0; }, timeoutMs);
    if (!online) {
        return Interrupted() ? Ready::Interrupted : Ready::NoUnit;
    }
    return Ready::Ok;
}

CliSession::Ready CliSession::WaitReady(int32_t timeoutMs) {
    const Ready online = WaitOnline(timeoutMs);
    if (online != Ready::Ok) {
        return online;
    }
    if (m_device->GetUnitType() != CDeviceECU::kUnitType) {
        return Ready::NotEcu;
    }
    if (m_device->IsBootLoader() != 0) {
        return Ready::BootLoader;
    }
    if (!WaitUntil([](const EventCounts& c) { return c.ecuReady; }, timeoutMs)) {
        return Interrupted() ? Ready::Interrupted : Ready::NoAnswer;
    }
    return Ready::Ok;
}

std::string CliSession::NoUnitReason() const {
    std::string reason;
    if (m_device->IsLinkUp() == 0) {
        reason = "no link: no bridge on 127.0.0.1:" + std::to_string(m_options.port);
        const std::string socketError = m_device->CDeviceLinkSocket::GetLastError();
        if (!socketError.empty()) {
            reason += " (" + socketError + ")";
        }
        reason += ", no dongle, no serial adapter";
    } else {
        reason = "the link is up but no unit answers its status poll";
    }
    return reason;
}

} // namespace cli
