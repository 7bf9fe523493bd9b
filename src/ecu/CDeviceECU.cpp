#include "ecu/CDeviceECU.h"

#include "device/CDeviceBase.h"
#include "engine/CEcuTelemetryRead.h"
#include "platform/Clock.h"

#include <cstring>

namespace {
constexpr uint8_t kPollRequest[2] = {0xFF, 0x29};
constexpr int32_t kCycleMs = 100;
// Pause after a register-13 read that found nothing, and after one that
// failed on the link (the gate is open meanwhile, so the poll cycle runs).
constexpr int32_t kEmptyReadPauseMs = 2;
constexpr int32_t kFailedReadPauseMs = 5;
// More answered reads without a record than this in a row end the bulk phase.
constexpr int kEmptyReadLimit = 10;
} // namespace

CDeviceECU::CDeviceECU() {
    (void)m_gate.Create(0); // taken: nothing runs until an ECU comes online
    (void)m_stop.Create(0);
    (void)m_pollThread.Start(&CDeviceECU::PollThreadMain, this);
    (void)m_recordThread.Start(&CDeviceECU::RecordThreadMain, this);
}

CDeviceECU::~CDeviceECU() {
    m_running = 0;
    m_stop.Release();
    // Let a worker blocked on the closed gate through; it sees the flag.
    m_gate.Release();
    m_gate.Release();
    m_pollThread.Stop();
    m_recordThread.Stop();
    // Then no event may reach this object any more; a handler call still
    // running finishes first (the gate no longer blocks it).
    if (CDeviceBase* const d = Device(); d != nullptr) {
        d->SetTypeHandler(nullptr, nullptr, kUnitType);
    }
    m_gate.Close();
    m_stop.Close();
}

void CDeviceECU::attach(CDeviceBase* device) {
    m_device = device;
    if (device != nullptr) {
        device->SetTypeHandler(&CDeviceECU::OnDeviceEvent, this, kUnitType);
    }
}

int32_t CDeviceECU::OnDeviceEvent(int32_t event, int32_t value, void* self) {
    static_cast<CDeviceECU*>(self)->OnEvent(event, value);
    return 0;
}

void CDeviceECU::OnEvent(int32_t event, int32_t value) {
    switch (event) {
    case CDeviceBase::kEventOnline:
        if (value != 0) {
            {
                std::lock_guard lock(m_lock);
                m_parameters.markDirty();
            }
            OpenGate();
        } else {
            ++m_session; // before the gate closes: a download blocked on it must see it
            Reset();
            CloseGate();
            CMLockGuard records(m_tracker.getLock());
            m_tracker.clear();
            m_listFromDownload = false;
        }
        break;
    case CDeviceBase::kEventTransferBegin:
        ++m_session;
        CloseGate();
        Reset();
        break;
    case CDeviceBase::kEventTransferEnd:
        OpenGate();
        break;
    default:
        break;
    }
}

void CDeviceECU::Reset() {
    std::lock_guard lock(m_lock);
    m_live.reset();
    m_parameters.reset();
    m_simulatorChannels.fill(0);
    m_simulatorStateBytes.fill(0);
}

void CDeviceECU::OpenGate() {
    std::lock_guard lock(m_gateLock);
    if (!m_gateOpen) {
        m_gateOpen = true;
        m_gate.Release();
    }
}

void CDeviceECU::CloseGate() {
    std::lock_guard lock(m_gateLock);
    if (m_gateOpen) {
        m_gateOpen = false;
        // Waits for a worker's current cycle to end.
        (void)m_gate.Wait(-1);
    }
}

bool CDeviceECU::EnterGate() {
    (void)m_gate.Wait(-1);
    if (m_running.load() == 0) {
        m_gate.Release();
        return false;
    }
    return true;
}

void CDeviceECU::LeaveGate() {
    m_gate.Release();
}

bool CDeviceECU::Sleep(int32_t ms) {
    if (m_running.load() == 0) {
        return false;
    }
    if (ms > 0 && m_stop.Wait(ms) != 0) {
        m_stop.Release(); // keep it set for every other sleep
        return false;
    }
    return m_running.load() != 0;
}

int32_t CDeviceECU::Notify(int32_t code, int32_t value) {
    CDeviceBase* const d = Device();
    return d != nullptr ? d->Notify(code, value) : 0;
}

bool CDeviceECU::connected() const {
    CDeviceBase* const d = Device();
    return d != nullptr && d->IsLinkUp() != 0 && d->IsOnline() != 0 &&
           d->GetUnitType() == kUnitType && d->IsBootLoader() == 0;
}

// --- poll thread ------------------------------------------------------------

void CDeviceECU::PollThreadMain(void* self) {
    static_cast<CDeviceECU*>(self)->PollLoop();
}

void CDeviceECU::PollLoop() {
    while (m_running.load() != 0) {
        if (!EnterGate()) {
            break;
        }
        const uint32_t now = platform::TickCount();
        // Never two cycle starts within 100 ms, however short the sleep.
        if (connected() && (!m_cycled || now - m_lastCycle >= static_cast<uint32_t>(kCycleMs))) {
            if (m_cycled) {
                m_lastPeriod = now - m_lastCycle;
            }
            m_lastCycle = now;
            m_cycled = true;
            PollCycle();
        }
        LeaveGate();
        (void)Sleep(50);
    }
}

bool CDeviceECU::ReadParameters() {
    CEcuParameterRead read = [&] {
        std::lock_guard lock(m_lock);
        return m_parameters.beginRead();
    }();
    uint8_t buffer[32];
    while (auto request = read.next()) {
        if (Device()->Read(request->reg, request->length, buffer) == 1) {
            read.feed({buffer, request->length});
        } else {
            read.fail();
        }
    }
    std::lock_guard lock(m_lock);
    return m_parameters.applyRead(read) == 1;
}

void CDeviceECU::PollCycle() {
    (void)Device()->Write(1, 2, kPollRequest, 3); // its result is not checked

    bool dirty;
    CEcuTelemetryContext context;
    {
        std::lock_guard lock(m_lock);
        dirty = m_parameters.dirty();
        context = m_parameters.telemetryContext();
    }
    if (dirty && ReadParameters()) {
        Notify(kParameters, 0);
        std::lock_guard lock(m_lock);
        context = m_parameters.telemetryContext();
    }

    CEcuTelemetryRead telemetry(context);
    uint8_t buffer[32];
    while (auto request = telemetry.next()) {
        if (Device()->Read(request->reg, request->length, buffer) == 1) {
            telemetry.feed({buffer, request->length});
        } else {
            telemetry.fail();
        }
    }
    int decoded;
    {
        // Decoded into a copy and published whole, so readers never see a
        // mix of two cycles.
        std::lock_guard lock(m_lock);
        CEcuLiveState next = m_live;
        decoded = telemetry.apply(next);
        if (decoded != 0) {
            m_live = next;
            if (context.generation == EcuGeneration::Block) {
                m_parameters.noteRpmControlState(m_live.rpm_control_state);
            }
        }
    }
    if (decoded != 0) {
        Notify(kTelemetry, 0);
    }

    if (m_simulatorRead.load() != 0 && Device()->Read(11, 32, buffer) == 1) {
        {
            std::lock_guard lock(m_lock);
            std::memcpy(m_simulatorChannels.data(), buffer, 32);
        }
        m_simulatorRead = static_cast<int8_t>(buffer[0]);
        Notify(kSimulatorChannels, 0);
    }
    if (m_simulatorState.load() != 0 && Device()->Read(10, 32, buffer) == 1) {
        {
            std::lock_guard lock(m_lock);
            std::memcpy(m_simulatorStateBytes.data(), buffer, 32);
        }
        Notify(kSimulatorState, 0);
    }
    if (Device()->Read(5, 6, buffer) == 1) {
        int present;
        {
            std::lock_guard lock(m_lock);
            present = m_live.decodeSensor({buffer, 6});
        }
        if (present != 0) {
            Notify(kSensor, 0);
        }
    }
}

// --- commands -----------------------------------------------------------------

int CDeviceECU::sendCommand(uint8_t code, uint16_t argument) {
    if (m_device == nullptr) {
        return 0;
    }
    const uint8_t frame[4] = {
        0x02, code, static_cast<uint8_t>(argument & 0xFF), static_cast<uint8_t>(argument >> 8)};
    if (Device()->Write(1, 4, frame, 3) != 1) {
        return 0;
    }
    std::lock_guard lock(m_lock);
    m_parameters.markDirty();
    return 1;
}

int CDeviceECU::sendCommand(uint8_t code, uint16_t a1, uint16_t a2, uint16_t a3, uint16_t a4) {
    if (m_device == nullptr) {
        return 0;
    }
    uint8_t frame[10] = {0x02, code};
    const uint16_t args[4] = {a1, a2, a3, a4};
    for (int i = 0; i < 4; ++i) {
        frame[2 + 2 * i] = static_cast<uint8_t>(args[i] & 0xFF);
        frame[3 + 2 * i] = static_cast<uint8_t>(args[i] >> 8);
    }
    if (Device()->Write(1, 10, frame, 3) != 1) {
        return 0;
    }
    std::lock_guard lock(m_lock);
    m_parameters.markDirty();
    return 1;
}

int CDeviceECU::WriteAll(const std::vector<CEcuRegisterWrite>& writes) {
    for (const CEcuRegisterWrite& w : writes) {
        if (!connected() || Device()->Write(w.reg, w.length, w.data.data(), w.delayMs) != 1) {
            return 0;
        }
        (void)Sleep(w.pauseAfterMs);
    }
    return 1;
}

int CDeviceECU::calibrateTemperature(uint8_t ambient) {
    return Calibrate(ambient, true);
}

int CDeviceECU::calibrateTemperatureOnly(uint8_t ambient) {
    return Calibrate(ambient, false);
}

int CDeviceECU::Calibrate(uint8_t ambient, bool withPrepare) {
    if (!connected()) {
        return 0;
    }
    std::vector<CEcuRegisterWrite> writes;
    {
        std::lock_guard lock(m_lock);
        writes = m_parameters.temperatureCalibration(ambient, withPrepare);
    }
    return !writes.empty() && WriteAll(writes) == 1 ? 1 : 0;
}

int CDeviceECU::commit() {
    if (!connected()) {
        return 0;
    }
    CEcuCommitPlan plan;
    {
        std::lock_guard lock(m_lock);
        plan = m_parameters.buildCommit();
    }
    size_t sent = 0;
    for (const CEcuRegisterWrite& w : plan.writes()) {
        if (!connected() || Device()->Write(w.reg, w.length, w.data.data(), w.delayMs) != 1) {
            break;
        }
        ++sent;
        (void)Sleep(w.pauseAfterMs);
    }
    std::lock_guard lock(m_lock);
    m_parameters.commitDone(plan, sent);
    return sent == plan.size() ? 1 : 0;
}

int CDeviceECU::setFromText(int textId, std::string_view text, int32_t integer) {
    std::lock_guard lock(m_lock);
    return m_parameters.setFromText(textId, text, integer);
}

int CDeviceECU::getText(int textId, CEcuParameters::Text& out) const {
    std::lock_guard lock(m_lock);
    return m_parameters.getText(textId, out);
}

void CDeviceECU::requestReread() {
    std::lock_guard lock(m_lock);
    m_parameters.requestReread();
}

CEcuLiveState CDeviceECU::liveState() const {
    std::lock_guard lock(m_lock);
    return m_live;
}

std::array<uint8_t, 32> CDeviceECU::simulatorChannels() const {
    std::lock_guard lock(m_lock);
    return m_simulatorChannels;
}

std::array<uint8_t, 32> CDeviceECU::simulatorState() const {
    std::lock_guard lock(m_lock);
    return m_simulatorStateBytes;
}

int CDeviceECU::writeSimulator(uint8_t reg, const uint8_t* data, uint8_t length) {
    if (m_device == nullptr || (reg != 10 && reg != 11)) {
        return 0;
    }
    return Device()->Write(reg, length, data, 3);
}

// --- record thread ------------------------------------------------------------

void CDeviceECU::RecordThreadMain(void* self) {
    static_cast<CDeviceECU*>(self)->RecordLoop();
}

void CDeviceECU::RecordLoop() {
    while (Sleep(50)) {
        auto stored = [&] {
            std::lock_guard lock(m_lock);
            return m_live.record_storage != 0;
        };
        if (!connected() || !stored() || m_downloadRequested.load() == 0) {
            continue;
        }
        if (!Sleep(1000) || !stored() || !connected()) {
            continue;
        }
        Download();
    }
}

void CDeviceECU::requestDownload() {
    m_downloadRestart = 1;
    m_downloadRequested = 1;
}

CEcuDownloadResult CDeviceECU::downloadResult() const {
    std::lock_guard lock(m_resultLock);
    return m_result;
}

void CDeviceECU::PrepareTracker(uint8_t rate, bool doubleRange, bool clear) {
    CMLockGuard records(m_tracker.getLock());
    if (clear) {
        m_tracker.clear();
    }
    m_tracker.setRecordsPerSecond(rate);
    m_tracker.setPumpVolMultiplier(doubleRange ? 10 : 5);
}

bool CDeviceECU::SetUpDownload(uint32_t session) {
    struct Setup {
        uint8_t length;
        uint8_t bytes[3];
    };
    static constexpr Setup kSetup[] = {
        {3, {0xE1, 0x01, 0x00}}, {3, {0xD2, 0x00, 0x00}}, {1, {0x7C}}, {2, {0xC3, 0x01}}};
    if (!EnterGate()) {
        return false;
    }
    bool ready = !SessionChanged(session);
    for (const Setup& s : kSetup) {
        if (!ready || Device()->Write(13, s.length, s.bytes, 3) != 1) {
            ready = false;
            break;
        }
    }
    LeaveGate();
    return ready;
}

bool CDeviceECU::CloseBulk(uint32_t session) {
    if (!EnterGate()) {
        return false;
    }
    const bool same = !SessionChanged(session);
    if (same) {
        const uint8_t close[2] = {0xC3, 0x00};
        (void)Device()->Write(13, 2, close, 3); // not checked: the follow reads show the outcome
    }
    LeaveGate();
    return same;
}

void CDeviceECU::Download() {
    // Taken first: an offline from here on ends this download.
    const uint32_t session = m_session.load();
    uint8_t rateCode;
    uint8_t format;
    bool doubleRange;
    {
        std::lock_guard lock(m_lock);
        rateCode = m_live.record_rate_code;
        format = CDeviceECUTracker::FormatFromCode(m_live.record_format);
        doubleRange = m_parameters.doubleRange();
    }
    const uint8_t rate = CDeviceECUTracker::RecordsPerSecondFromCode(rateCode);
    // The first download since the list was emptied (construction, offline)
    // adds to it as it is. A later one (asked for, or after a transfer or a
    // failed follow read) starts from an empty list: records already listed
    // add nothing, so more than ten of them would pass for the end of the log.
    const bool again = m_downloadRestart.exchange(0) != 0 || m_listFromDownload.load();
    PrepareTracker(rate, doubleRange, again);
    m_listFromDownload = true;
    if (!SetUpDownload(session)) {
        return; // no download took place; the record loop tries again
    }

    m_downloading = 1;
    Notify(kDownload, 1);
    (void)Sleep(20);

    using End = CEcuDownloadResult::End;
    CEcuDownloadResult result;
    for (;;) {
        ++result.passes;
        const BulkPass pass = ReadBulk(format, session);
        result.records = pass.added;
        result.failedReads += pass.failed;
        result.endedBy = pass.end;
        result.complete = pass.end == End::EmptyReads && pass.failed == 0;
        if (pass.end != End::EmptyReads || pass.failed == 0 ||
            result.passes >= CEcuDownloadResult::kMaxPasses) {
            break;
        }
        // A failed read may have been answered after all and its records
        // lost on the way: the ECU hands the log out once per set-up, so read
        // all of it again, in order, into an emptied list. Records put in
        // later out of order would not take their neighbours' groups.
        if (!CloseBulk(session) || !SetUpDownload(session)) {
            break; // what the last pass added stays
        }
        PrepareTracker(rate, doubleRange, true);
        Notify(kRecordsAdded, 0);
        (void)Sleep(20);
    }
    {
        std::lock_guard lock(m_resultLock);
        result.sequence = m_result.sequence + 1;
        m_result = result;
    }
    Notify(kRecordsAdded, 0);
    Notify(kDownload, 0);
    m_downloading = 0;
    m_downloadAbort = 0;
    if (result.endedBy == End::Offline || result.endedBy == End::Stopped || !CloseBulk(session)) {
        return; // the ECU that comes back is downloaded afresh
    }
    Follow(format, rate, session);
}

CDeviceECU::BulkPass CDeviceECU::ReadBulk(uint8_t format, uint32_t session) {
    using End = CEcuDownloadResult::End;
    BulkPass pass;
    auto engineStopped = [&] {
        std::lock_guard lock(m_lock);
        return m_live.engine_state <= 1;
    };
    int withData = 0;
    int emptyInRow = 0;
    bool failing = false;
    uint32_t failingSince = 0;
    for (;;) {
        if (m_running.load() == 0) {
            pass.end = End::Stopped;
            return pass;
        }
        if (m_downloadAbort.load() != 0) {
            pass.end = End::Abort;
            return pass;
        }
        if (!engineStopped()) {
            pass.end = End::EngineStart;
            return pass;
        }
        uint8_t buffer[32];
        if (!EnterGate()) {
            pass.end = End::Stopped;
            return pass;
        }
        const bool gone = SessionChanged(session) || !connected();
        const bool read = !gone && Device()->Read(13, 32, buffer) == 1;
        LeaveGate();
        if (gone || (!read && (SessionChanged(session) || !connected()))) {
            pass.end = End::Offline;
            return pass;
        }
        if (!read) {
            // Not an empty read: the ECU said nothing. Try again after a
            // pause; only a failure that lasts ends the phase.
            ++pass.failed;
            const uint32_t now = platform::TickCount();
            if (!failing) {
                failing = true;
                failingSince = now;
            } else if (now - failingSince >= CEcuDownloadResult::kFailureLimitMs) {
                pass.end = End::ReadFailures;
                return pass;
            }
            (void)Sleep(kFailedReadPauseMs);
            continue;
        }
        failing = false;
        int32_t added;
        {
            CMLockGuard records(m_tracker.getLock());
            const int32_t before = m_tracker.GetCount();
            (void)m_tracker.parseBulkRead(format, {buffer, 32});
            added = m_tracker.GetCount() - before;
        }
        if (added > 0) {
            pass.added += added;
            emptyInRow = 0;
            if (++withData % 101 == 0) {
                Notify(kRecordsAdded, 0);
            }
        } else {
            (void)Sleep(kEmptyReadPauseMs);
            if (++emptyInRow > kEmptyReadLimit) {
                pass.end = End::EmptyReads;
                return pass;
            }
        }
    }
}

void CDeviceECU::Follow(uint8_t format, uint8_t rate, uint32_t session) {
    // About three reads per sample of the running engine. Ends on a failed
    // read, when the ECU goes away, or for a new download.
    const int32_t followMs = 1000 / rate / 3;
    while (Sleep(followMs) && connected() && m_downloadRestart.load() == 0) {
        uint8_t buffer[15];
        if (!EnterGate()) {
            return;
        }
        const bool same = !SessionChanged(session);
        const bool read = same && connected() && Device()->Read(13, 15, buffer) == 1;
        LeaveGate();
        if (!read) {
            return;
        }
        int added;
        {
            CMLockGuard records(m_tracker.getLock());
            added = m_tracker.parseFollowRead(format, {buffer, 15});
        }
        if (added != 0) {
            Notify(kRecordsAdded, 0);
        }
    }
}
