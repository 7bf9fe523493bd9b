#include "device/CDeviceLinkHID.h"

#include "platform/Clock.h"
#include "protocol/FrameHeader.h"
#include "protocol/FrameHid.h"

#include <algorithm>
#include <array>
#include <string>

CDeviceLinkHID::CDeviceLinkHID(platform::HidPort* port)
    : m_sleep(&platform::SleepMs)
    , m_hid(port) {
    (void)m_monitorWake.Create(0);
    (void)m_rateWake.Create(0);
}

CDeviceLinkHID::~CDeviceLinkHID() {
    Stop();
    m_monitorWake.Close();
    m_rateWake.Close();
}

int CDeviceLinkHID::Start() {
    if (m_running.load() == 0) {
        return 0;
    }
    const int monitor = m_monitorThread.Start(&CDeviceLinkHID::MonitorMain, this);
    const int rate = m_rateThread.Start(&CDeviceLinkHID::RateMain, this);
    return (monitor != 0 && rate != 0) ? 1 : 0;
}

void CDeviceLinkHID::Stop() {
    m_running = 0;
    m_hid.Interrupt();
    m_monitorWake.Release();
    m_rateWake.Release();
    m_monitorThread.Stop();
    m_rateThread.Stop();
}

int32_t CDeviceLinkHID::OnLinkState(int32_t, int32_t) {
    return 0;
}

std::string CDeviceLinkHID::GetLastError() const {
    std::lock_guard lock(m_errorLock);
    return m_lastError;
}

void CDeviceLinkHID::SetLastError(std::string text) {
    std::lock_guard lock(m_errorLock);
    m_lastError = std::move(text);
}

void CDeviceLinkHID::MonitorMain(void* self) {
    static_cast<CDeviceLinkHID*>(self)->RunMonitor();
}
void CDeviceLinkHID::RateMain(void* self) {
    static_cast<CDeviceLinkHID*>(self)->RunRate();
}

void CDeviceLinkHID::RunMonitor() {
    while (m_running.load() != 0) {
        const int32_t pause = MonitorOnce();
        if (pause > 0 && m_running.load() != 0) {
            (void)m_monitorWake.Wait(pause);
        }
    }
    bool wasConnected = false;
    {
        CMLockGuard guard(m_transaction);
        wasConnected = m_connected.exchange(0) != 0;
        (void)m_hid.Close();
    }
    if (wasConnected) {
        OnLinkState(0, kLinkType);
    }
}

void CDeviceLinkHID::RunRate() {
    while (m_running.load() != 0) {
        (void)m_rateWake.Wait(kRateMs);
        if (m_running.load() != 0) {
            RateOnce();
        }
    }
}

void CDeviceLinkHID::RateOnce() {
    m_countLastSecond = m_countThisSecond.exchange(0);
}

int32_t CDeviceLinkHID::MonitorOnce() {
    if (m_hid.IsOpen() == 0) {
        const int count = m_hid.CountDevices(kVendorId, kProductId);
        if (count == 0) {
            return kSearchMs;
        }
        int opened;
        {
            CMLockGuard guard(m_transaction);
            // With several dongles present the last one found is used.
            opened = m_hid.Open(count - 1, kVendorId, kProductId, 0);
            if (opened == CDeviceHID::kOk) {
                m_hid.SetTimeouts(100, 100);
            }
        }
        if (opened != CDeviceHID::kOk) {
            SetLastError(m_hid.GetLastError());
            return kSearchMs;
        }
        return kOpenSettleMs;
    }

    if (m_transaction.Lock() == 0) {
        return kPollMs;
    }
    uint8_t bytes[2];
    if (m_hid.GetInputReport(frames::kHidVersionReport, bytes, sizeof bytes) != CDeviceHID::kOk) {
        // Unplugged, or the dongle stopped answering: closed before the lock
        // is released, so that a waiting transaction finds it closed rather
        // than half gone; then down, and search again at once.
        SetLastError(m_hid.GetLastError());
        const bool wasConnected = m_connected.exchange(0) != 0;
        (void)m_hid.Close();
        m_transaction.Unlock();
        if (wasConnected) {
            OnLinkState(0, kLinkType);
        }
        return 0;
    }
    const uint16_t version = static_cast<uint16_t>(bytes[0] * 256 + bytes[1]);
    m_version = version;
    const bool offer = version >= kMinVersion && version <= kMaxVersion && m_connected.load() == 0;
    m_transaction.Unlock();
    if (!offer) {
        // Out of range: stays open and polled, never announced.
        return kPollMs;
    }
    // Offered without the transaction mutex: the device takes its own locks
    // in OnLinkState, and they come before a link's mutex.
    if (OnLinkState(1, kLinkType) == 0) {
        CMLockGuard guard(m_transaction);
        (void)m_hid.Close();
        return kRefusedMs;
    }
    m_connected = 1;
    return kPollMs;
}

int CDeviceLinkHID::Read(uint8_t unit, uint8_t reg, uint8_t length, uint8_t* buffer) {
    return Transact(unit, reg, false, length, nullptr, buffer, 0);
}

int CDeviceLinkHID::Write(
    uint8_t unit, uint8_t reg, uint8_t length, const uint8_t* data, int32_t delayMs) {
    return Transact(unit, reg, true, length, data, nullptr, delayMs);
}

int CDeviceLinkHID::SendRequest(const uint8_t* report) {
    // The report id travels separately; the data after it are 35 bytes.
    return m_hid.SetOutputReport(report[0], report + 1, frames::kHidOutputReportSize - 1);
}

int CDeviceLinkHID::Transact(uint8_t unit,
                             uint8_t reg,
                             bool write,
                             uint8_t length,
                             const uint8_t* data,
                             uint8_t* out,
                             int32_t delayMs) {
    if (!frames::ValidLength(length) || (write ? data == nullptr : out == nullptr)) {
        SetLastError("invalid transaction length or buffer");
        return frames::kHidBadArguments;
    }
    if (m_connected.load() == 0) {
        SetLastError("not connected");
        return frames::kHidNotOpen;
    }
    CMLockGuard guard(m_transaction);
    if (!guard.locked() || m_hid.IsOpen() == 0 || m_connected.load() == 0) {
        SetLastError("not connected");
        return frames::kHidNotOpen;
    }

    std::array<uint8_t, frames::kHidOutputReportSize> request{};
    frames::BuildHidOutputReport(unit, reg, write, length, data, request);
    std::array<uint8_t, frames::kHidInputReportSize> reply{};
    frames::HidStatusJudge judge;
    bool send = true;
    for (;;) {
        if (send) {
            if (SendRequest(request.data()) != CDeviceHID::kOk) {
                SetLastError(m_hid.GetLastError());
                return frames::kHidNotOpen;
            }
            if (write && delayMs > 0) {
                m_sleep(delayMs);
            }
            send = false;
        }
        if (m_hid.GetInputReport(frames::kHidReplyReport, reply.data(), reply.size()) !=
            CDeviceHID::kOk) {
            SetLastError(m_hid.GetLastError());
            return frames::kHidNotOpen;
        }
        switch (judge.OnStatus(reply[frames::kHidStatusOffset])) {
        case frames::HidStatusJudge::Action::PollAgain:
            m_sleep(1);
            continue;
        case frames::HidStatusJudge::Action::Resend:
            send = true;
            continue;
        case frames::HidStatusJudge::Action::Finish:
            break;
        }
        break;
    }
    const int result = judge.result();
    if (result != frames::kHidOk) {
        SetLastError("dongle status " + std::to_string(reply[frames::kHidStatusOffset]) +
                     ", result " + std::to_string(result));
        return result;
    }
    if (!write) {
        std::copy_n(reply.begin() + frames::kHidDataOffset, length, out);
    }
    m_countThisSecond.fetch_add(1);
    return frames::kHidOk;
}
