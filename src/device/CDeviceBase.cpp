#include "device/CDeviceBase.h"

#include "foundation/DebugTrace.h"
#include "platform/Clock.h"
#include "protocol/FrameHid.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kStatusPoll[2] = {0x04, 0xFB};
constexpr uint8_t kDeviceInfo[2] = {0x05, 0xFA};
constexpr uint8_t kEnterBoot[2] = {0x02, 0xFD};
constexpr uint8_t kLeaveBoot[2] = {0x01, 0xFE};
constexpr uint8_t kEraseCommand[2] = {0x32, 0x74};
} // namespace

CDeviceBase::CDeviceBase()
    : CDeviceBase(Options{}) {}

CDeviceBase::CDeviceBase(const Options& options)
    : CDeviceLinkHID(options.hidPort)
    , CDeviceLinkSocket(options.socketPort, options.socketReplyWindowMs)
    , CDeviceLinkUart(options.serialPorts)
    , m_options(options) {
    (void)m_exchangeLock.Create(1);
    (void)m_wake.Create(0);
}

CDeviceBase::~CDeviceBase() {
    // Cooperative stop: the poll thread's pauses end at once, and every loop
    // of a transfer checks the running flag.
    m_running = 0;
    m_wake.Release();
    m_pollThread.Stop();
    // The links' threads call OnLinkState on this object: stop them while it
    // is still whole, in the reverse order of their bases.
    CDeviceLinkUart::Stop();
    CDeviceLinkSocket::Stop();
    CDeviceLinkHID::Stop();
    m_wake.Close();
    m_exchangeLock.Close();
}

void CDeviceBase::Start() {
    (void)m_pollThread.Start(&CDeviceBase::PollThreadMain, this);
    (void)CDeviceLinkHID::Start();
    (void)CDeviceLinkUart::Start();
    (void)CDeviceLinkSocket::Start();
}

int CDeviceBase::Read(uint8_t reg, uint8_t length, uint8_t* buffer) {
    switch (m_activeLink.load()) {
    case CDeviceLinkHID::kLinkType:
        return CDeviceLinkHID::Read(kUnitAddress, reg, length, buffer) == frames::kHidOk ? 1 : 0;
    case CDeviceLinkSocket::kLinkType:
        return CDeviceLinkSocket::Read(kUnitAddress, reg, length, buffer) == 1 ? 1 : 0;
    case CDeviceLinkUart::kLinkType:
        return CDeviceLinkUart::Read(kUnitAddress, reg, length, buffer) == 1 ? 1 : 0;
    default:
        return 0;
    }
}

int CDeviceBase::Write(uint8_t reg, uint8_t length, const uint8_t* data, int32_t delayMs) {
    switch (m_activeLink.load()) {
    case CDeviceLinkHID::kLinkType:
        return CDeviceLinkHID::Write(kUnitAddress, reg, length, data, delayMs) == frames::kHidOk
                   ? 1
                   : 0;
    case CDeviceLinkSocket::kLinkType:
        return CDeviceLinkSocket::Write(kUnitAddress, reg, length, data, delayMs) == 1 ? 1 : 0;
    case CDeviceLinkUart::kLinkType:
        return CDeviceLinkUart::Write(kUnitAddress, reg, length, data, delayMs) == 1 ? 1 : 0;
    default:
        return 0;
    }
}

void CDeviceBase::SetEventHandler(Callback callback, void* userData) {
    std::unique_lock lock(m_handlerLock);
    m_generalHandler = {callback, userData};
}

int CDeviceBase::SetTypeHandler(Callback callback, void* userData, int32_t unitType) {
    std::unique_lock lock(m_handlerLock);
    m_typeHandlers[static_cast<size_t>(unitType & 0xFF)] = {callback, userData};
    return 1;
}

int32_t CDeviceBase::Notify(int32_t event, int32_t value) {
    std::shared_lock lock(m_handlerLock);
    const uint16_t unitType = m_unitType.load();
    if (unitType < kNoUnit) {
        const auto& type = m_typeHandlers[unitType];
        if (type.first != nullptr) {
            type.first(event, value, type.second);
        }
    }
    const auto& general = m_generalHandler;
    return general.first != nullptr ? general.first(event, value, general.second) : 0;
}

int CDeviceBase::RequestTransfer(const uint8_t* data, uint32_t length) {
    if (m_linkUp.load() == 0 || m_online.load() == 0 || length == 0 || data == nullptr) {
        return 0;
    }
    {
        std::lock_guard lock(m_imageLock);
        m_image.assign(data, data + length);
    }
    m_transferRequested = 1;
    return 1;
}

int32_t CDeviceBase::GetLinkRate() {
    return m_activeLink.load() == CDeviceLinkHID::kLinkType
               ? static_cast<int32_t>(CDeviceLinkHID::GetRate())
               : 1;
}

int32_t CDeviceBase::OnLinkState(int32_t connected, int32_t linkType) {
    std::lock_guard lock(m_arbitration);
    if (connected == m_linkUp.load()) {
        return 0;
    }
    if (m_linkUp.load() != 0 && (linkType & 0xFF) != m_activeLink.load()) {
        return 0; // another link owns the device
    }
    m_linkUp = connected;
    m_activeLink = linkType;
    TraceLink(connected, linkType);
    Notify(kEventLink, connected);
    if (m_online.load() != 0 && connected == 0) {
        OnOnline(0);
    }
    if (connected != 0) {
        m_wake.Release();
    }
    return 1;
}

void CDeviceBase::TraceLink(int32_t connected, int32_t linkType) const {
    if (!DebugTraceEnabled()) {
        return;
    }
    std::string name;
    std::string error;
    switch (linkType & 0xFF) {
    case CDeviceLinkHID::kLinkType:
        name = "HID";
        error = CDeviceLinkHID::GetLastError();
        break;
    case CDeviceLinkSocket::kLinkType:
        name = "socket (127.0.0.1:" + std::to_string(CDeviceLinkSocket::GetPort()) + ")";
        error = CDeviceLinkSocket::GetLastError();
        break;
    case CDeviceLinkUart::kLinkType:
        name = "serial";
        error = CDeviceLinkUart::GetLastError();
        break;
    default:
        name = std::to_string(linkType);
        break;
    }
    if (connected != 0) {
        DebugTrace("%s link up", name.c_str());
    } else {
        DebugTrace("%s link down%s%s", name.c_str(), error.empty() ? "" : ": ", error.c_str());
    }
}

int32_t CDeviceBase::OnOnline(int32_t online) {
    std::lock_guard lock(m_arbitration);
    m_transferRequested = 0;
    m_online = online;
    DebugTrace("unit %s", online != 0 ? "online" : "offline");
    if (online != 0) {
        Notify(kEventOnline, 1);
    } else {
        {
            std::lock_guard identity(m_identityLock);
            m_lastStatus.fill(0);
        }
        // The departing unit's handler must still see it go.
        Notify(kEventOnline, 0);
        m_unitType = kNoUnit;
    }
    return 1;
}

std::array<uint8_t, 12> CDeviceBase::GetDeviceInfo() const {
    std::lock_guard lock(m_identityLock);
    return m_deviceInfo;
}

std::array<uint8_t, 7> CDeviceBase::GetLastStatus() const {
    std::lock_guard lock(m_identityLock);
    return m_lastStatus;
}

bool CDeviceBase::Pause(int32_t ms) {
    if (!Running()) {
        return false;
    }
    if (ms > 0 && m_wake.Wait(ms) != 0) {
        // Link-up wake-ups are only for the wait for a link; destruction
        // leaves the signal set so that every later pause ends at once.
        if (!Running()) {
            m_wake.Release();
            return false;
        }
    }
    return Running();
}

void CDeviceBase::DecodeStatus(const uint8_t s[10]) {
    m_unitId = s[0];
    m_unitType = s[1];
    m_mode = static_cast<uint8_t>(s[2] >> 2);
    m_hardwareId = static_cast<uint16_t>(((s[2] & 0x03) * 256 + s[3]) * 4 + (s[4] >> 6));
    m_marker = s[9] == 0x41 ? 1 : 0;
    const bool boot = (s[4] & 0x1F) == 0x1F;
    m_bootLoader = boot ? 1 : 0;
    if (boot) {
        m_version1 = s[5];
        m_version2 = s[6];
        m_version3 = 0;
        m_appVersion = 0;
        m_bootExtra = (s[6] * 256 + s[5]) >= 0x0102 ? static_cast<uint16_t>(s[7] | (s[8] << 8)) : 0;
    } else {
        const uint8_t major = s[4] & 0x1F;
        m_version1 = major;
        m_version2 = s[5];
        m_version3 = s[6];
        m_bootExtra = 0;
        m_appVersion = static_cast<uint32_t>(major) * 65536u + s[5] * 256u + s[6];
    }
    std::lock_guard lock(m_identityLock);
    std::copy_n(s, 7, m_lastStatus.begin());
}

int CDeviceBase::StatusPoll() {
    if (m_exchangeLock.Wait(-1) == 0) {
        return 0;
    }
    uint8_t status[10] = {};
    const bool ok = Write(0, 2, kStatusPoll, 5) == 1 && Read(0, 10, status) == 1;
    m_exchangeLock.Release();
    if (!ok) {
        return 0;
    }
    DecodeStatus(status);
    // A unit with id 1 answers for a device that is not ready unless its mode is 1.
    if (status[0] == 1 && (status[2] >> 2) != 1) {
        return 0;
    }
    return 1;
}

int CDeviceBase::DeviceInfoExchange() {
    if (m_exchangeLock.Wait(-1) == 0) {
        return 0;
    }
    uint8_t info[12] = {};
    const bool ok = Write(0, 2, kDeviceInfo, 3) == 1 && Read(0, 12, info) == 1;
    m_exchangeLock.Release();
    if (ok) {
        std::lock_guard lock(m_identityLock);
        std::copy_n(info, 12, m_deviceInfo.begin());
    }
    return ok ? 1 : 0;
}

void CDeviceBase::PollThreadMain(void* self) {
    static_cast<CDeviceBase*>(self)->PollLoop();
}

void CDeviceBase::PollLoop() {
    while (Running()) {
        // Wait for a link; a link coming up releases m_wake.
        if (m_linkUp.load() == 0) {
            (void)Pause(50);
            continue;
        }
        if (StatusPoll() == 0 || DeviceInfoExchange() == 0) {
            (void)Pause(50);
            continue;
        }
        OnOnline(1);
        int32_t rememberedMarker = 0;
        int32_t budget = kMissLimit;
        // A link that went down took the device offline; start again from
        // the identity exchanges rather than poll on as if it were online
        // (a link that comes straight back would otherwise never make the
        // polls fail ten times, and the device would stay offline for good).
        while (budget != 0 && Running() && m_online.load() != 0) {
            if (StatusPoll() == 0) {
                (void)Pause(50);
                --budget;
                continue;
            }
            const int32_t marker = m_marker.load();
            if (marker != rememberedMarker) {
                Notify(kEventMarker, 1);
                rememberedMarker = marker;
            }
            budget = kMissLimit;
            if (!Pause(100)) {
                break;
            }
            // Taken before the transfer runs: a new request made while its end
            // is being reported (a repeated upgrade asks at once) is kept for
            // the next pass instead of being cleared with this one.
            if (m_transferRequested.exchange(0) != 0) {
                Transfer();
            }
        }
        if (!Running()) {
            break;
        }
        if (m_online.load() != 0) {
            OnOnline(0);
        }
    }
}

// --- Firmware transfer --------------------------------------------------

int CDeviceBase::EnterBootLoader() {
    for (int i = 0; i < 25 && m_bootLoader.load() == 0 && Running(); ++i) {
        (void)Write(0, 2, kEnterBoot, 5);
        if (!Pause(200)) {
            break;
        }
        (void)StatusPoll();
    }
    OnOnline(1);
    return m_bootLoader.load();
}

int CDeviceBase::LeaveBootLoader() {
    for (int i = 0; i < 12 && m_bootLoader.load() == 1 && Running(); ++i) {
        (void)Write(0, 2, kLeaveBoot, 20);
        if (!Pause(500)) {
            break;
        }
        (void)StatusPoll();
    }
    OnOnline(1);
    return 1;
}

int CDeviceBase::ReadTimings() {
    for (int i = 0; i < 4; ++i) {
        uint8_t t[2] = {};
        if (Read(1, 2, t) == 1) {
            m_eraseTime = t[0];
            m_blockWriteDelay = t[1];
            return 1;
        }
    }
    return 0;
}

int CDeviceBase::ReadCapability() {
    for (int i = 0; i < 4; ++i) {
        uint8_t c[4] = {};
        if (Read(5, 4, c) == 1) {
            const bool block = c[0] == 0xAB && c[1] == 0x01;
            m_blockTransfer = block ? 1 : 0;
            m_blocksPerBatch = block ? c[2] : 0;
            m_blockSize = block ? c[3] : 0;
            return 1;
        }
    }
    return 0;
}

int CDeviceBase::Erase() {
    bool erased = false;
    for (int i = 0; i < 5 && !erased && Running(); ++i) {
        erased = Write(2, 2, kEraseCommand, 5) == 1;
        if (!erased && !Pause(50)) {
            return 0;
        }
    }
    if (!erased) {
        return 0;
    }
    if (m_blockTransfer.load() != 0) {
        for (int i = 0; i < 100; ++i) {
            uint8_t status = 0xFF;
            if (Read(6, 1, &status) == 1 && status == 0) {
                return 1;
            }
            if (!Pause(100)) {
                return 0;
            }
        }
        return 0;
    }
    const uint8_t eraseTime = m_eraseTime.load();
    if (!Pause(eraseTime * 10)) {
        return 0;
    }
    if (eraseTime != 255) {
        return 1;
    }
    // 255: the unit is silent while it erases; wait until it answers again.
    for (int i = 0; i < 100; ++i) {
        uint8_t any[4];
        if (Read(0, 4, any) == 1) {
            return 1;
        }
        if (!Pause(100)) {
            return 0;
        }
    }
    return 0;
}

int CDeviceBase::WriteBlockNumber(uint16_t block) {
    const uint8_t number[2] = {static_cast<uint8_t>(block & 0xFF),
                               static_cast<uint8_t>(block >> 8)};
    for (int i = 0; i < 10; ++i) {
        if (Write(3, 2, number, 2) == 1) {
            return 1;
        }
        if (!Pause(50)) {
            return 0;
        }
    }
    return 0;
}

int CDeviceBase::WriteRetry(uint8_t reg,
                            uint8_t length,
                            const uint8_t* data,
                            int32_t sleepAfterMs) {
    for (int i = 0; i < 5; ++i) {
        if (Write(reg, length, data, 0) == 1) {
            if (sleepAfterMs > 0) {
                (void)Pause(sleepAfterMs);
            }
            return 1;
        }
        if (!Pause(50)) {
            return 0;
        }
    }
    return 0;
}

int CDeviceBase::Transfer() {
    std::vector<uint8_t> image;
    {
        std::lock_guard lock(m_imageLock);
        image = m_image;
    }
    m_transferRunning = 1;
    Notify(kEventTransferBegin, 0);

    int ok = 0;
    if (m_mode.load() == 1 && (m_bootLoader.load() != 0 || EnterBootLoader() == 1) &&
        m_mode.load() == 1 && ReadCapability() == 1) {
        ok = m_blockTransfer.load() != 0 ? TransferBlocks(image) : TransferClassic(image);
    }
    ok = ok != 0 && Running() ? 1 : 0;

    (void)Pause(100);
    m_transferRunning = 0;
    Notify(kEventTransferEnd, ok);
    return ok;
}

int CDeviceBase::TransferBlocks(const std::vector<uint8_t>& image) {
    const uint32_t blockSize = m_blockSize.load();
    const uint32_t perBatch = std::min<uint32_t>(m_blocksPerBatch.load(), 32);
    // A block travels behind its index in one write of at most 32 bytes, so
    // a block size above 31 cannot be sent whole: refuse it rather than cut
    // blocks short and write a corrupted image.
    if (blockSize == 0 || blockSize > 31 || perBatch == 0) {
        return 0;
    }
    if (Erase() == 0) {
        return 0;
    }
    const uint32_t size = static_cast<uint32_t>(image.size());
    uint32_t offset = 0;
    while (offset < size) {
        const uint32_t blocks = std::min((size - offset + blockSize - 1) / blockSize, perBatch);
        uint32_t mask = blocks == 32 ? 0xFFFFFFFFu : (1u << blocks) - 1u;
        uint8_t header[8];
        for (int b = 0; b < 4; ++b) {
            header[b] = static_cast<uint8_t>(mask >> (8 * b));
            header[4 + b] = static_cast<uint8_t>(offset >> (8 * b));
        }
        bool echoed = false;
        for (int i = 0; i < 10 && !echoed && Running(); ++i) {
            uint8_t reply[9] = {};
            echoed = Write(6, 8, header, 0) == 1 && Read(6, 9, reply) == 1 &&
                     std::memcmp(reply + 1, header, 8) == 0;
        }
        if (!echoed) {
            return 0;
        }
        for (;;) {
            for (uint32_t i = 0; i < blocks; ++i) {
                if ((mask & (1u << i)) == 0) {
                    continue;
                }
                const uint32_t start = offset + i * blockSize;
                const uint32_t n = std::min(blockSize, size - start);
                uint8_t frame[32];
                frame[0] = static_cast<uint8_t>(i);
                std::memcpy(frame + 1, image.data() + start, n);
                if (WriteRetry(7, static_cast<uint8_t>(n + 1), frame, 0) == 0) {
                    return 0;
                }
            }
            // Wait for the unit to write the batch. Its busy answers are
            // bounded so that a unit stuck busy fails the transfer instead of
            // holding the poll thread for ever.
            uint8_t status[5] = {};
            const uint32_t waitStart = platform::TickCount();
            for (;;) {
                bool read = false;
                for (int i = 0; i < 10 && !read; ++i) {
                    read = Read(6, 5, status) == 1;
                }
                if (!read || !Running()) {
                    return 0;
                }
                if (status[0] == 0) {
                    break;
                }
                if (static_cast<int32_t>(platform::TickCount() - waitStart) >
                    m_options.batchWriteLimitMs) {
                    return 0;
                }
                (void)Pause(1);
            }
            mask = static_cast<uint32_t>(status[1]) | (static_cast<uint32_t>(status[2]) << 8) |
                   (static_cast<uint32_t>(status[3]) << 16) |
                   (static_cast<uint32_t>(status[4]) << 24);
            // Only blocks of this batch can be missing.
            mask &= blocks == 32 ? 0xFFFFFFFFu : (1u << blocks) - 1u;
            if (mask == 0) {
                break;
            }
        }
        offset += blocks * blockSize;
        Notify(kEventTransferProgress,
               static_cast<int32_t>(static_cast<uint64_t>(offset) * 100 / size));
    }
    return LeaveBootLoader();
}

int CDeviceBase::TransferClassic(const std::vector<uint8_t>& image) {
    // Block numbers are 16 bits: a larger image would wrap round and write
    // over the start of the application. Refused before anything is erased.
    if (image.size() > kClassicMaxImageBytes) {
        return 0;
    }
    if (ReadTimings() == 0 || Erase() == 0) {
        return 0;
    }
    const uint32_t size = static_cast<uint32_t>(image.size());
    for (uint32_t k = 0; k * 32 < size; ++k) {
        uint8_t block[32];
        std::memset(block, 0xFF, sizeof block);
        const uint32_t start = k * 32;
        std::memcpy(block, image.data() + start, std::min<uint32_t>(32, size - start));
        if (WriteBlockNumber(static_cast<uint16_t>(k)) == 0 ||
            WriteRetry(4, 32, block, m_blockWriteDelay.load()) == 0) {
            return 0;
        }
        Notify(kEventTransferProgress,
               static_cast<int32_t>(static_cast<uint64_t>(k + 1) * 3200 / size));
    }
    return LeaveBootLoader();
}
