#pragma once

#include "ecu/CEcuDownloadResult.h"
#include "engine/CEcuLiveState.h"
#include "engine/CEcuParameters.h"
#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"
#include "records/CDeviceECUTracker.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

class CDeviceBase;

// The protocol object of the ECU (unit type 2): its poll cycle, commands,
// pending parameter changes and commit, live state, parameter block and run
// log download. It registers itself with the device as the handler of unit
// type 2 and raises its notifications through the device's Notify:
//   301 telemetry decoded, 302 parameter block read, 303 run-log data added,
//   304 run-log download on (1) / off (0), 305 register 11 read,
//   306 register 10 read, 307 register 5 delivered a reading.
//
// Threads: the poll thread (a cycle at most every 100 ms while an ECU is
// online), the record thread (run-log download), and the callers' threads
// (commands, setters and commit from the user interface).
//
// Thread safety: every public operation may be called from any thread.
// Locks, in the order they are taken: the gate (held by a worker for one
// cycle or one register-13 step; closed while no ECU is online or a transfer
// runs), then the device's link mutex (inside Read/Write), and m_lock, which
// guards the parameter block, the live state and the simulator registers and
// is never held across a transaction. The run-log list has its own lock;
// m_resultLock guards the last download's result and is innermost.
class CDeviceECU {
public:
    static constexpr int32_t kUnitType = 2;

    enum Notification : int32_t {
        kTelemetry = 301,
        kParameters = 302,
        kRecordsAdded = 303,
        kDownload = 304,
        kSimulatorChannels = 305,
        kSimulatorState = 306,
        kSensor = 307,
    };

    CDeviceECU();
    // Stops both threads, then removes its handler from the device. The
    // device must outlive this object: destroy the ECU object first.
    ~CDeviceECU();
    CDeviceECU(const CDeviceECU&) = delete;
    CDeviceECU& operator=(const CDeviceECU&) = delete;

    // Binds to the device and registers the handler of unit type 2. Once,
    // before the device starts.
    void attach(CDeviceBase* device);

    // The device's events for unit type 2 (see the class comment of
    // CDeviceBase); other events are ignored.
    static int32_t OnDeviceEvent(int32_t event, int32_t value, void* self);

    // An ECU of type 2 in application mode answers.
    [[nodiscard]] bool connected() const;

    // --- commands ---------------------------------------------------------
    // Register-1 command, short form: 02 code argument (little-endian).
    // 1 on success, which also marks the parameter block for reading back.
    int sendCommand(uint8_t code, uint16_t argument);
    // Long form: 02 code and four 16-bit arguments, low byte first.
    int sendCommand(uint8_t code, uint16_t a1, uint16_t a2, uint16_t a3, uint16_t a4);
    // Temperature-sensor calibration at the ambient temperature (°C): the
    // prepare command, then the calibration with reference 500. Skipped (0)
    // unless connected.
    int calibrateTemperature(uint8_t ambient);
    // The calibration command alone, without the block generation's prepare
    // command (the ECU test dialog sends it so). Skipped (0) unless connected.
    int calibrateTemperatureOnly(uint8_t ambient);

    // --- parameter block ----------------------------------------------------
    // Sends every pending change; on a failed write the rest stays pending.
    // An empty list writes nothing, marks the block for reading back and
    // succeeds. 0 while not connected.
    int commit();
    int setFromText(int textId, std::string_view text, int32_t integer);
    int getText(int textId, CEcuParameters::Text& out) const;
    void requestReread();
    // Runs fn(CEcuParameters&) with the parameter lock held; fn must not
    // start a transaction.
    template <typename Fn>
    auto withParameters(Fn&& fn) {
        std::lock_guard lock(m_lock);
        return fn(m_parameters);
    }

    // --- live state -----------------------------------------------------------
    // A consistent copy of the last decoded live state.
    [[nodiscard]] CEcuLiveState liveState() const;

    // --- radio simulator (registers 10 and 11) --------------------------------
    // While not 0, each poll cycle reads register 11; the ECU's first byte of
    // each read then sets it again.
    void setSimulatorReadCounter(int8_t counter) { m_simulatorRead = counter; }
    // While set, each poll cycle reads register 10.
    void setSimulatorStateRead(bool on) { m_simulatorState = on ? 1 : 0; }
    [[nodiscard]] std::array<uint8_t, 32> simulatorChannels() const;
    [[nodiscard]] std::array<uint8_t, 32> simulatorState() const;
    // Writes register 10 or 11 (delay 3 ms); 1 on success.
    int writeSimulator(uint8_t reg, const uint8_t* data, uint8_t length);

    // --- run log ----------------------------------------------------------------
    // The record list; take its lock (getLock) around every use.
    CDeviceECUTracker& tracker() { return m_tracker; }
    // Set from the start: a stopped ECU that reports stored records is
    // downloaded on its own, once when it comes online; the following of new
    // records then goes on until a follow read fails, the ECU goes offline or
    // a transfer begins, after which it is downloaded again.
    void setDownloadRequested(bool on) { m_downloadRequested = on ? 1 : 0; }
    // Ends the bulk phase of a download at its next read.
    void abortDownload(bool on) { m_downloadAbort = on ? 1 : 0; }
    // Downloads the stored log again from its start into an emptied list: ends
    // the following of the previous download, and sets the request. The
    // download starts as soon as a stopped ECU reports stored records.
    void requestDownload();
    [[nodiscard]] bool downloading() const { return m_downloading.load() != 0; }
    // The last finished download (bulk phase): records, failed reads,
    // passes, how it ended and whether the log is complete. Set before 304
    // with 0 is raised. A copy, from any thread.
    [[nodiscard]] CEcuDownloadResult downloadResult() const;

    // Milliseconds between the starts of the last two poll cycles (0 before
    // two cycles ran), for diagnostics and benchmarks.
    [[nodiscard]] uint32_t lastCyclePeriodMs() const { return m_lastPeriod.load(); }

private:
    static void PollThreadMain(void* self);
    static void RecordThreadMain(void* self);
    void PollLoop();
    void PollCycle();
    void RecordLoop();
    void Download();
    struct BulkPass {
        CEcuDownloadResult::End end = CEcuDownloadResult::End::None;
        int32_t added = 0;  // records added to the list
        int32_t failed = 0; // reads that failed on the link
    };
    BulkPass ReadBulk(uint8_t format, uint32_t session);
    bool SetUpDownload(uint32_t session);
    bool CloseBulk(uint32_t session);
    void Follow(uint8_t format, uint8_t rate, uint32_t session);
    void PrepareTracker(uint8_t rate, bool doubleRange, bool clear);
    // The ECU went offline or into a transfer since session was taken.
    [[nodiscard]] bool SessionChanged(uint32_t session) const {
        return m_session.load() != session;
    }
    void OnEvent(int32_t event, int32_t value);
    void OpenGate();
    void CloseGate();
    bool EnterGate();
    void LeaveGate();
    void Reset();
    bool Sleep(int32_t ms);
    int WriteAll(const std::vector<CEcuRegisterWrite>& writes);
    int Calibrate(uint8_t ambient, bool withPrepare);
    int32_t Notify(int32_t code, int32_t value);
    bool ReadParameters();

    // The device bound by attach; the worker threads, already running, read it.
    [[nodiscard]] CDeviceBase* Device() const { return m_device.load(); }
    std::atomic<CDeviceBase*> m_device{nullptr};

    std::atomic<int32_t> m_running{1};
    std::atomic<int8_t> m_simulatorRead{0};
    std::atomic<int32_t> m_simulatorState{0};
    std::atomic<int32_t> m_downloadRequested{1};
    std::atomic<int32_t> m_downloadAbort{0};
    std::atomic<int32_t> m_downloading{0};
    std::atomic<int32_t> m_downloadRestart{0};
    std::atomic<bool> m_listFromDownload{false}; // a download filled the list since it was emptied
    // Counts the ends of the ECU's sessions (offline, transfer begins), so
    // that a download blocked on the closed gate never goes on against the
    // ECU that comes back.
    std::atomic<uint32_t> m_session{0};
    mutable std::mutex m_resultLock; // guards m_result
    CEcuDownloadResult m_result;
    std::atomic<uint32_t> m_lastPeriod{0};
    uint32_t m_lastCycle = 0; // poll thread only
    bool m_cycled = false;    // poll thread only

    // The gate: one count, held by whichever worker runs a cycle. It is
    // opened and closed by connection events; m_gateOpen keeps a repeated
    // "online" (the boot loader raises it twice during a transfer) from
    // adding a second count, which would let both workers through at once
    // and survive the next close.
    CMSemaphore m_gate;
    std::mutex m_gateLock; // guards m_gateOpen
    bool m_gateOpen = false;
    CMSemaphore m_stop; // released once by the destructor, ends every sleep

    mutable std::mutex m_lock; // parameters, live state, simulator registers
    CEcuParameters m_parameters;
    CEcuLiveState m_live;
    std::array<uint8_t, 32> m_simulatorChannels{};
    std::array<uint8_t, 32> m_simulatorStateBytes{};

    CDeviceECUTracker m_tracker;

    CMThread m_pollThread;
    CMThread m_recordThread;
};
