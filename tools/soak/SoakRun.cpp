#include "soak/SoakRun.h"

#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "engine/EcuTextId.h"
#include "platform/SerialPort.h"
#include "sim/EcuParameters.h"
#include "sim/HidDongleSet.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace soak {

namespace {

// Work results must come at least this often, or the run has hung.
constexpr int64_t kHangMs = 30000;

// A computer without serial ports: the tool must not open the machine's own.
class NoSerialPorts : public platform::SerialPortSystem {
public:
    bool ListPorts(std::vector<platform::SerialPortInfo>& ports, std::string*) override {
        ports.clear();
        return true;
    }
    std::unique_ptr<platform::SerialPort> OpenPort(const std::string&,
                                                   std::string* error) override {
        if (error != nullptr) {
            *error = "no such port";
        }
        return nullptr;
    }
};

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count - 3; // ".", ".." and the directory itself
}

uint64_t ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0;
    uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) / 1024u;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace

SoakRun::SoakRun(const SoakOptions& options)
    : m_options(options)
    , m_random(options.seed) {
    sim::SimEcuConfig config;
    if (options.block) {
        config.format.generation = sim::EcuGeneration::Block;
        config.format.blockFormat = 3;
    }
    config.logCapacity = 1000; // the simulator's command log, kept small for long runs
    m_system = std::make_unique<sim::SimEcuSystem>(config, options.block ? 1 : 2, 1);
    m_system->Prefill(options.records, options.seed);
    m_system->unit.bootLoader.config.eraseDurationMs = 100;
    m_bridge = std::make_unique<sim::TcpBridge>(m_system->bus, options.port);
    m_driver = std::make_unique<sim::RealTimeDriver>([this](uint32_t ms) { m_system->Step(ms); });
    m_noDongles = std::make_unique<sim::HidDongleSet>();
    m_noSerial = std::make_unique<NoSerialPorts>();
    m_csvPath = "/tmp/turbex-soak-" + std::to_string(getpid()) + ".csv";
}

SoakRun::~SoakRun() {
    m_stop = true;
    m_wake.notify_all();
    if (m_worker.joinable()) {
        m_worker.join();
    }
    if (m_faulter.joinable()) {
        m_faulter.join();
    }
    m_ecu.reset(); // the device must outlive the ECU object
    m_device.reset();
    m_driver.reset();
    m_bridge.reset();
    std::remove(m_csvPath.c_str());
}

bool SoakRun::Start(std::string& error) {
    if (!m_bridge->Start()) {
        error = "the bridge cannot listen on 127.0.0.1:" + std::to_string(m_options.port) + ": " +
                m_bridge->GetLastError();
        return false;
    }
    (void)m_driver->Start();
    m_report.seconds = m_options.seconds;
    m_report.seed = m_options.seed;
    m_report.port = m_bridge->GetPort();
    m_report.fdBound = m_options.fdBound;
    m_report.rssBoundKiB = static_cast<uint64_t>(m_options.rssBoundMiB) * 1024u;

    CDeviceBase::Options device;
    device.socketPort = m_bridge->GetPort(); // the real reply window
    device.hidPort = m_noDongles.get();
    device.serialPorts = m_noSerial.get();
    m_device = std::make_unique<CDeviceBase>(device);
    m_device->SetEventHandler(&SoakRun::OnEvent, this);
    m_ecu = std::make_unique<CDeviceECU>();
    m_ecu->attach(m_device.get());
    m_device->Start();
    return true;
}

int64_t SoakRun::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
}

bool SoakRun::Pause(int64_t ms) {
    std::unique_lock lock(m_sleepLock);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stop.load(); });
}

template <typename Cond>
bool SoakRun::WaitUntil(Cond cond, int64_t ms) {
    const int64_t end = NowMs() + ms;
    while (!cond()) {
        if (NowMs() >= end || !Pause(5)) {
            return false;
        }
    }
    return true;
}

void SoakRun::Doing(const char* doing) {
    m_doing = doing;
}

void SoakRun::Progress(const char* doing) {
    m_lastProgressMs = NowMs();
    m_doing = doing;
}

// --- events, on the tool's threads ----------------------------------------------

int32_t SoakRun::OnEvent(int32_t event, int32_t value, void* self) {
    static_cast<SoakRun*>(self)->Event(event, value);
    return 1;
}

void SoakRun::Event(int32_t event, int32_t value) {
    if (event == CDeviceECU::kDownload && value == 0) {
        SnapshotDownload();
        return;
    }
    std::lock_guard lock(m_lock);
    switch (event) {
    case CDeviceBase::kEventLink:
        if (value == 1) {
            if (m_everLinked) {
                ++m_report.reconnects;
            }
            m_everLinked = true;
            m_linkSinceUp = m_bridgeUpMs >= 0;
        }
        break;
    case CDeviceBase::kEventOnline:
        if (value == 0) {
            ++m_offlines;
        } else if (m_bridgeUpMs >= 0 && m_linkSinceUp) {
            // A transfer runs on the device's poll thread, which takes the
            // unit online again only once the transfer gave up.
            (m_upDuringTransfer ? m_report.upToOnlineInTransfer : m_report.upToOnline)
                .push_back(static_cast<uint32_t>(NowMs() - m_bridgeUpMs));
            m_bridgeUpMs = -1;
            m_linkSinceUp = false;
        }
        break;
    case CDeviceBase::kEventTransferBegin:
        ++m_transferBegins;
        break;
    case CDeviceBase::kEventTransferEnd:
        ++m_transferEnds;
        m_transferResult = value;
        break;
    default:
        break;
    }
}

// On the record thread, as the download's bulk phase ends: the list as the
// result describes it, before anything else can change it.
void SoakRun::SnapshotDownload() {
    std::lock_guard serial(m_snapshotLock);
    const CEcuDownloadResult r = m_ecu->downloadResult();
    Snapshot s;
    s.sequence = r.sequence;
    s.complete = r.complete;
    s.endedBy = static_cast<int32_t>(r.endedBy);
    s.records = r.records;
    s.failedReads = r.failedReads;
    s.passes = r.passes;
    {
        std::lock_guard lock(m_lock);
        s.offlines = m_offlines;
    }
    if (r.complete) {
        CDeviceECUTracker& tracker = m_ecu->tracker();
        CMLockGuard records(tracker.getLock());
        s.listed = tracker.GetCount();
        if (tracker.save(m_csvPath) == 1) {
            s.csv = ReadFile(m_csvPath);
        }
    }
    std::lock_guard lock(m_lock);
    m_snapshot = std::move(s);
}

// --- the work thread --------------------------------------------------------------

void SoakRun::MeasureStart() {
    if (m_measured.exchange(true)) {
        return;
    }
    std::lock_guard lock(m_lock);
    m_report.fdsStart = OpenDescriptors();
    m_report.rssStartKiB = ResidentKiB();
}

void SoakRun::Work() {
    uint32_t cycle = 0;
    while (!m_stop.load()) {
        if (InBootLoader()) {
            // A failed transfer left the unit in its boot loader: flashing is
            // how it comes back.
            (void)TransferFirmware();
            continue;
        }
        const bool downloaded = Download();
        const bool written = WriteParameter();
        if (++cycle % m_options.transferEvery == 0) {
            (void)TransferFirmware();
        }
        if (downloaded && written && m_device->IsOnline() != 0) {
            MeasureStart(); // after the first whole cycle: everything is allocated
        }
        // Keep the simulator's own records of writes from growing over hours.
        m_system->bus.WithLock([&] { m_system->ecu.ClearLog(); });
    }
    m_workDone = true;
}

bool SoakRun::InBootLoader() const {
    return m_device->IsOnline() != 0 && m_device->IsBootLoader() != 0;
}

bool SoakRun::Download() {
    Doing("waiting for a stopped ECU with stored records");
    const bool ready = WaitUntil(
        [&] {
            const CEcuLiveState live = m_ecu->liveState();
            return InBootLoader() ||
                   (m_ecu->connected() && live.record_storage != 0 && live.engine_state <= 1);
        },
        20000);
    if (!ready || InBootLoader()) {
        return false;
    }
    uint32_t before;
    uint64_t offlinesBefore;
    {
        std::lock_guard lock(m_lock);
        before = m_snapshot.sequence;
        offlinesBefore = m_offlines;
    }
    Doing("downloading the run log");
    m_ecu->requestDownload();
    Snapshot s;
    const bool ended = WaitUntil(
        [&] {
            std::lock_guard lock(m_lock);
            if (m_snapshot.sequence == before) {
                return false;
            }
            s = m_snapshot;
            return true;
        },
        60000);
    if (!ended) {
        return false;
    }
    const std::vector<sim::RunLogRecord> stored = [&] {
        std::vector<sim::RunLogRecord> r;
        m_system->bus.WithLock([&] { r = m_system->runLog.Records(); });
        return r;
    }();
    const uint32_t rate = m_system->runLog.RecordsPerSecond();

    std::lock_guard lock(m_lock);
    m_report.failedReadsRetried += static_cast<uint64_t>(s.failedReads);
    m_report.passes += static_cast<uint64_t>(s.passes);
    if (!s.complete) {
        ++m_report.downloadsIncomplete;
        ++m_report.incompleteBy[static_cast<size_t>(s.endedBy) % m_report.incompleteBy.size()];
    } else if (s.listed != s.records && s.offlines != offlinesBefore) {
        // Gone offline as the phase ended: the list was cleared under it.
        ++m_report.downloadsIncomplete;
        ++m_report.incompleteBy[static_cast<size_t>(CEcuDownloadResult::End::Offline)];
    } else if (s.listed == s.records && s.csv == sim::SimRunLog::EngineLogCsv(stored, rate)) {
        ++m_report.downloadsCorrect;
    } else {
        ++m_report.downloadsWrong;
        std::fprintf(
            stderr,
            "turbex-soak: download %u said complete with %d records (list %d, %d passes, %d "
            "failed reads) but differs from the %zu stored\n",
            s.sequence,
            s.records,
            s.listed,
            s.passes,
            s.failedReads,
            stored.size());
    }
    Progress("downloaded");
    return true;
}

bool SoakRun::WriteParameter() {
    Doing("waiting for the parameter block");
    auto known = [&] {
        return m_ecu->connected() && m_ecu->withParameters([](CEcuParameters& p) {
            return p.generation() != EcuGeneration::Unknown && !p.dirty();
        });
    };
    if (!WaitUntil([&] { return InBootLoader() || known(); }, 20000) || InBootLoader()) {
        return false;
    }
    static constexpr int32_t kValues[] = {850, 900, 950, 1000};
    CEcuParameters::Text now;
    (void)m_ecu->getText(EcuTextId::MaxEgt, now);
    int32_t value = kValues[0];
    for (int32_t v : kValues) {
        if (v > now.value) {
            value = v;
            break;
        }
    }
    Doing("writing a parameter");
    bool committed = false;
    if (m_ecu->setFromText(EcuTextId::MaxEgt, std::to_string(value), value) == 1) {
        for (int attempt = 0; attempt < 3 && !committed && !m_stop.load(); ++attempt) {
            committed = m_ecu->commit() == 1;
            if (!committed) {
                (void)Pause(200);
            }
        }
    }
    if (m_stop.load()) {
        return false; // the run ends: neither a result nor a failure
    }
    if (!committed) {
        std::lock_guard lock(m_lock);
        ++m_report.writesFailed;
        Progress("parameter write failed");
        return true;
    }
    Doing("reading the parameter back");
    if (!WaitUntil([&] { return InBootLoader() || known(); }, 20000) || InBootLoader()) {
        if (m_stop.load()) {
            return false;
        }
        std::lock_guard lock(m_lock);
        ++m_report.writesFailed; // the unit went away and did not come back in time
        Progress("parameter read-back failed");
        return true;
    }
    CEcuParameters::Text back;
    (void)m_ecu->getText(EcuTextId::MaxEgt, back);
    double stored = 0;
    m_system->bus.WithLock([&] {
        (void)sim::GetParameterByTextId(
            m_system->ecu.Store().Parameters(), EcuTextId::MaxEgt, stored);
    });
    std::lock_guard lock(m_lock);
    if (back.value == value && static_cast<int32_t>(stored) == value) {
        ++m_report.writesConfirmed;
    } else {
        ++m_report.writesWrong;
        std::fprintf(stderr,
                     "turbex-soak: max EGT %d committed, but %d read back and %d stored\n",
                     value,
                     back.value,
                     static_cast<int>(stored));
    }
    Progress("parameter written");
    return true;
}

bool SoakRun::TransferFirmware() {
    Doing("waiting to start a firmware transfer");
    if (!WaitUntil([&] { return m_device->IsOnline() != 0 && m_device->GetMode() == 1; }, 20000)) {
        return false;
    }
    std::vector<uint8_t> image;
    bool block;
    int hiccup;
    {
        std::lock_guard lock(m_lock);
        image.resize(1000 + m_random() % 5000);
        for (uint8_t& b : image) {
            b = static_cast<uint8_t>(m_random());
        }
        block = m_random() % 2 == 0;
        hiccup = m_bootHiccup;
        m_bootHiccup = 0;
    }
    m_system->bus.WithLock([&] {
        sim::BootLoaderConfig& c = m_system->unit.bootLoader.config;
        c = sim::BootLoaderConfig{};
        c.blockProtocol = block;
        c.eraseDurationMs = hiccup == 3 ? 1500 : 100;
        c.busyReadsPerBatch = hiccup == 2 ? 6 : 1;
        if (hiccup == 1) {
            c.missingBatch = 1;
            c.missingMask = 0x15;
        }
    });
    uint64_t beginsBefore;
    uint64_t endsBefore;
    {
        std::lock_guard lock(m_lock);
        beginsBefore = m_transferBegins;
        endsBefore = m_transferEnds;
    }
    Doing("starting a firmware transfer");
    if (!WaitUntil(
            [&] {
                return m_device->RequestTransfer(image.data(),
                                                 static_cast<uint32_t>(image.size())) == 1;
            },
            20000)) {
        return false;
    }
    // The device drops a request when the unit goes offline and comes back
    // before its poll thread took it up; like turbexctl, give it 10 s to begin.
    Doing("waiting for the transfer to begin");
    if (!WaitUntil(
            [&] {
                std::lock_guard lock(m_lock);
                return m_transferBegins > beginsBefore;
            },
            10000)) {
        std::lock_guard lock(m_lock);
        ++m_report.transfersFailed;
        ++m_report.transfersNotStarted;
        Progress("firmware transfer did not start");
        return true;
    }
    Doing("transferring firmware");
    int32_t result = 0;
    if (!WaitUntil(
            [&] {
                std::lock_guard lock(m_lock);
                result = m_transferResult;
                return m_transferEnds > endsBefore;
            },
            60000)) {
        return false;
    }
    std::vector<uint8_t> received;
    m_system->bus.WithLock([&] { received = m_system->unit.bootLoader.Image(); });
    // The classic protocol fills its last 32-byte block.
    const size_t size = block ? image.size() : (image.size() + 31) / 32 * 32;
    const bool same =
        received.size() == size && std::equal(image.begin(), image.end(), received.begin());
    std::lock_guard lock(m_lock);
    if (result == 0) {
        ++m_report.transfersFailed;
    } else if (same) {
        ++m_report.transfersCorrect;
    } else {
        ++m_report.transfersWrong;
        std::fprintf(stderr,
                     "turbex-soak: a %zu-byte transfer (%s protocol) succeeded, but the unit holds "
                     "%zu other bytes\n",
                     image.size(),
                     block ? "block" : "classic",
                     received.size());
    }
    Progress("firmware transferred");
    return true;
}

// --- the fault thread -------------------------------------------------------------

void SoakRun::Faults() {
    while (!m_stop.load()) {
        Fault fault;
        int64_t gap;
        {
            std::lock_guard lock(m_lock);
            const uint32_t mean = m_options.faultEveryMs;
            gap = mean / 2 + static_cast<int64_t>(m_random() % (mean + 1));
            fault = static_cast<Fault>(m_random() % static_cast<uint32_t>(Fault::kCount));
        }
        if ((m_options.faultMask & (1u << static_cast<uint32_t>(fault))) == 0) {
            continue;
        }
        if (!Pause(gap)) {
            return;
        }
        Inject(fault);
    }
}

void SoakRun::Inject(Fault fault) {
    uint32_t n;
    {
        std::lock_guard lock(m_lock);
        n = m_random();
        ++m_report.faults[static_cast<size_t>(fault)];
    }
    sim::BridgeFaults& f = m_bridge->faults;
    switch (fault) {
    case Fault::DropConnection: {
        {
            std::lock_guard lock(m_lock);
            m_bridgeUpMs = NowMs(); // it listens on at once
            m_linkSinceUp = false;
            m_upDuringTransfer = m_device->IsTransferRunning() != 0;
        }
        m_bridge->DropConnection();
        break;
    }
    case Fault::RestartBridge: {
        m_bridge->Stop();
        (void)Pause(200 + n % 800);
        while (!m_bridge->Start()) {
            if (!Pause(100)) {
                return;
            }
        }
        std::lock_guard lock(m_lock);
        m_bridgeUpMs = NowMs();
        m_linkSinceUp = false;
        m_upDuringTransfer = m_device->IsTransferRunning() != 0;
        break;
    }
    case Fault::LateReply:
        f.lateReplyMs = 30;
        f.lateReply = static_cast<int>(1 + n % 3);
        break;
    case Fault::SplitReply:
        f.splitGapMs = 2;
        f.splitReply = static_cast<int>(1 + n % 8);
        break;
    case Fault::WrongPreamble:
        f.wrongPreamble = static_cast<int>(1 + n % 2);
        break;
    case Fault::NoWriteAck:
        f.noWriteAck = static_cast<int>(1 + n % 2);
        break;
    case Fault::SilentReply:
        f.silent = static_cast<int>(1 + n % 4);
        break;
    case Fault::LogBusy:
        m_system->bus.WithLock([&] { m_system->runLog.StopAnswering(0, 0, 300 + n % 1200); });
        break;
    case Fault::BootHiccup: {
        std::lock_guard lock(m_lock);
        m_bootHiccup = static_cast<int>(1 + n % 3);
        break;
    }
    case Fault::kCount:
        break;
    }
}

// --- the watching thread ----------------------------------------------------------

void SoakRun::PrintProgress() {
    std::lock_guard lock(m_lock);
    uint32_t faults = 0;
    for (uint32_t n : m_report.faults) {
        faults += n;
    }
    std::fprintf(
        stderr,
        "turbex-soak: %lld s: %u faults, %u reconnects, downloads %u/%u/%u, writes %u/%u/%u, "
        "transfers %u/%u/%u (correct/incomplete or failed/wrong)\n",
        static_cast<long long>(NowMs() / 1000),
        faults,
        m_report.reconnects,
        m_report.downloadsCorrect,
        m_report.downloadsIncomplete,
        m_report.downloadsWrong,
        m_report.writesConfirmed,
        m_report.writesFailed,
        m_report.writesWrong,
        m_report.transfersCorrect,
        m_report.transfersFailed,
        m_report.transfersWrong);
}

SoakReport SoakRun::Run() {
    m_lastProgressMs = NowMs();
    m_worker = std::thread([this] { Work(); });
    m_faulter = std::thread([this] { Faults(); });
    const int64_t end = static_cast<int64_t>(m_options.seconds) * 1000;
    int64_t nextLine = 30000;
    bool hung = false;
    std::string where;
    while (NowMs() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (NowMs() - m_lastProgressMs.load() > kHangMs) {
            hung = true;
            where = m_doing.load();
            break;
        }
        if (!m_options.quiet && NowMs() >= nextLine) {
            PrintProgress();
            nextLine += 30000;
        }
    }
    m_stop = true;
    m_wake.notify_all();
    // The work thread ends its current step; every wait in it is bounded.
    const int64_t stopBy = NowMs() + 90000;
    while (!hung && !m_workDone.load()) {
        if (NowMs() > stopBy) {
            hung = true;
            where = std::string("stopping, ") + m_doing.load();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!hung) {
        m_worker.join();
        m_faulter.join();
        // Measured as at the start: online, between faults.
        const int64_t settleBy = NowMs() + 10000;
        while (NowMs() < settleBy && !(m_ecu->connected() && m_device->IsOnline() != 0)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        MeasureStart(); // a run too short for a whole cycle measures here
    }
    std::lock_guard lock(m_lock);
    m_report.fdsEnd = OpenDescriptors();
    m_report.rssEndKiB = ResidentKiB();
    m_report.elapsedSeconds = static_cast<double>(NowMs()) / 1000.0;
    m_report.hung = hung;
    m_report.hangWhere = where;
    return m_report;
}

} // namespace soak
