#pragma once

#include "soak/SoakReport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

class CDeviceBase;
class CDeviceECU;

namespace platform {
class SerialPortSystem;
}

namespace sim {
class HidDongleSet;
class RealTimeDriver;
class SimEcuSystem;
class TcpBridge;
} // namespace sim

namespace soak {

struct SoakOptions {
    uint32_t seconds = 60;
    uint32_t seed = 1;
    uint16_t port = 0;            // the bridge's; 0 picks a free one
    uint32_t faultEveryMs = 3000; // mean time between faults (each gap 0.5 to 1.5 times it)
    uint32_t records = 1500;      // the simulated ECU's stored run log
    bool block = false;           // block generation, 14-byte records (else item, 15-byte)
    uint32_t transferEvery = 4;   // a firmware transfer every so many work cycles
    int fdBound = 3;              // descriptors the run may end with beyond its start
    uint32_t rssBoundMiB = 8;     // resident memory it may end with beyond its start
    bool quiet = false;           // no progress line every 30 s
    uint32_t faultMask = ~0u;     // bit n: Fault n may be injected
};

// One soak run: the tool's device and ECU objects, in this process, against
// a simulated ECU behind its TCP bridge on 127.0.0.1 (the socket link, with
// its real reply window). A work thread repeats: download the run log and
// compare the saved CSV with the simulated log; change a parameter, commit
// it and read it back; now and then a firmware transfer, compared with what
// the boot loader received. A fault thread makes the simulator misbehave
// every few seconds. The calling thread watches for a hang: no result for
// 30 s.
//
// Thread safety: Run once, from one thread. The device's event handler runs
// on the tool's threads and only counts, takes samples and snapshots the
// downloaded log.
class SoakRun {
public:
    explicit SoakRun(const SoakOptions& options);
    // Stops the threads and destroys the tool before the simulator. Never
    // call it after a hang (the threads may be stuck): leave the process.
    ~SoakRun();
    SoakRun(const SoakRun&) = delete;
    SoakRun& operator=(const SoakRun&) = delete;

    // False (with the reason) when the bridge cannot listen.
    [[nodiscard]] bool Start(std::string& error);
    // Runs for the options' time; the report, hung set when progress stopped.
    [[nodiscard]] SoakReport Run();

private:
    using Clock = std::chrono::steady_clock;

    static int32_t OnEvent(int32_t event, int32_t value, void* self);
    void Event(int32_t event, int32_t value);
    void SnapshotDownload();

    void Work();
    void Faults();
    void Inject(Fault fault);
    bool Download();
    bool WriteParameter();
    bool TransferFirmware();
    // Online in boot-loader mode: a failed transfer left the unit there.
    [[nodiscard]] bool InBootLoader() const;

    // Waits until cond holds, for at most ms; false on time-out or stop.
    template <typename Cond>
    bool WaitUntil(Cond cond, int64_t ms);
    bool Pause(int64_t ms);
    void Progress(const char* doing);
    void Doing(const char* doing);
    [[nodiscard]] int64_t NowMs() const;
    void MeasureStart();
    void PrintProgress();

    SoakOptions m_options;
    std::unique_ptr<sim::SimEcuSystem> m_system;
    std::unique_ptr<sim::TcpBridge> m_bridge;
    std::unique_ptr<sim::RealTimeDriver> m_driver;
    std::unique_ptr<sim::HidDongleSet> m_noDongles;
    std::unique_ptr<platform::SerialPortSystem> m_noSerial;
    std::unique_ptr<CDeviceBase> m_device;
    std::unique_ptr<CDeviceECU> m_ecu;
    std::string m_csvPath;

    const Clock::time_point m_start = Clock::now();
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_workDone{false};
    std::mutex m_sleepLock;
    std::condition_variable m_wake;
    std::atomic<int64_t> m_lastProgressMs{0};
    std::atomic<const char*> m_doing{"starting"};
    std::atomic<bool> m_measured{false};

    // Guards the report and everything below; the event handler takes it.
    std::mutex m_lock;
    SoakReport m_report;
    std::mt19937 m_random;     // fault thread only
    int64_t m_bridgeUpMs = -1; // the bridge is up again: the next online is a sample
    bool m_linkSinceUp = false;
    bool m_upDuringTransfer = false;
    bool m_everLinked = false;
    uint64_t m_offlines = 0;
    uint64_t m_transferBegins = 0;
    uint64_t m_transferEnds = 0;
    int32_t m_transferResult = 0;
    int m_bootHiccup = 0; // armed for the next transfer: 1 lost blocks, 2 busy, 3 slow erase
    struct Snapshot {
        uint32_t sequence = 0;
        bool complete = false;
        int32_t endedBy = 0;
        int32_t records = 0;
        int32_t failedReads = 0;
        int32_t passes = 0;
        int32_t listed = -1; // records in the list when 304 with 0 came
        std::string csv;     // the list saved, for a complete download
        uint64_t offlines = 0;
    };
    Snapshot m_snapshot;
    std::mutex m_snapshotLock; // serialises snapshots (file I/O outside m_lock)

    std::thread m_worker;
    std::thread m_faulter;
};

} // namespace soak
