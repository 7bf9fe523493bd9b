#pragma once

#include "foundation/CMList.h"
#include "foundation/CMMutex.h"
#include "records/CDeviceECUTItem.h"

#include <cstdint>
#include <span>
#include <string>

struct CMBitReader;

// The run log in memory: CDeviceECUTItem records sorted by counter, newest
// (largest) first, so index 0 is the newest record. Besides the list it keeps
// the column maxima the charts scale by and the log's settings.
//
// Records come from the ECU's register-13 reads (decode, parseBulkRead,
// parseFollowRead) or from engine_log.csv (addCopy, through CEngineLogReader).
//
// Thread safety: one CMMutex, lock()/unlock() or CMLockGuard on getLock(),
// guards the list, every record in it, the maxima and the settings. Every
// operation below expects the caller to hold it while another thread may use
// the tracker (the record thread while it hands over a read, the user
// interface while it draws, saves or clears), except load(), which takes it
// itself. The lock is not re-entrant: never call load() while holding it. It
// is never held while waiting for the bus.
class CDeviceECUTracker : public CMList {
public:
    // Reset values of the maxima and settings.
    static constexpr uint32_t kPumpVolMaxReset = 1000;
    static constexpr uint32_t kPumpRpmMaxReset = 1000;
    static constexpr uint32_t kRpmMaxReset = 10000;
    static constexpr int32_t kCurrentMaxReset = 60;
    static constexpr int32_t kThrustMaxReset = 10;
    static constexpr uint8_t kPumpVolMultiplierReset = 5;
    static constexpr uint8_t kRecordsPerSecondReset = 2;
    static constexpr uint32_t kStarterVolMaxReset = 1000;

    // Bytes of one record in a register-13 read, and the marker after the
    // first record of a bulk read that announces a second one.
    static constexpr size_t kFormat1Length = 14;
    static constexpr size_t kFormat2Length = 15;
    static constexpr uint8_t kPairMarker = 0xA3;
    static constexpr size_t kBulkReadLength = 32;
    static constexpr size_t kFollowReadLength = 15;

    // Empty-slot counters of the two formats.
    static constexpr uint32_t kFormat1Empty = 0x1FFFFF;
    static constexpr uint32_t kFormat2Empty = 0x1FFFFFF;

    CDeviceECUTracker() = default;
    ~CDeviceECUTracker() override = default;

    // Record format of the tracker for the ECU's 2-bit telemetry format code:
    // 1 for code 1 (14-byte records), 2 for any other code (15-byte records).
    [[nodiscard]] static uint8_t FormatFromCode(uint8_t code) { return code == 1 ? 1 : 2; }

    // Samples per second for the ECU's record rate code: 0 -> 2, 1 -> 4,
    // 2 -> 8, 3 -> 16 (only the low 2 bits are used).
    [[nodiscard]] static uint8_t RecordsPerSecondFromCode(uint8_t code) {
        return static_cast<uint8_t>(2u << (code & 3u));
    }

    // --- the lock ---
    int lock() { return m_lock.Lock(); }
    int unlock() { return m_lock.Unlock(); }
    [[nodiscard]] CMMutex& getLock() { return m_lock; }

    // Deletes every record and resets maxima and settings (records per second
    // 2, voltage step flag 0, pump voltage multiplier 5).
    void clear();

    // Decodes one record of format 1 (at least 14 bytes) or 2 (at least 15);
    // bytes beyond the record are ignored. Adds nothing for another format, a
    // shorter record, an empty slot or a counter already listed (the first
    // record of a counter is kept). A format-2 record also takes the groups it
    // does not carry from its neighbours, or hands its own to newer ones.
    // 1 when a record was added, else 0.
    [[nodiscard]] int decode(uint8_t format, std::span<const uint8_t> bytes);

    // A bulk read (normally 32 bytes) as the record thread hands it over
    // during the download of the stored log: one record at offset 0; when the
    // byte right after it (byte 14 for format 1, 15 for format 2) is 0xA3, a
    // second record right after that byte. 1 when either record was added,
    // so 1 is the result the thread counts and announces (303).
    [[nodiscard]] int parseBulkRead(uint8_t format, std::span<const uint8_t> read);

    // A follow read (normally 15 bytes) while the engine runs: one record at
    // offset 0. 1 when it was added.
    [[nodiscard]] int parseFollowRead(uint8_t format, std::span<const uint8_t> read);

    // Pushes a copy of record at the front of the list without a duplicate
    // test or ordering (the loader's form; its lines come oldest first) and
    // raises the maxima by the loader's rule. Always 1.
    int addCopy(const CDeviceECUTItem& record);

    // Replaces everything (records, maxima, settings) with other's, leaving
    // other cleared. For a loader that parsed into a private tracker.
    void takeFrom(CDeviceECUTracker& other);

    // Record at index (0 = newest) or null.
    [[nodiscard]] CDeviceECUTItem* getItem(int32_t index) const {
        return static_cast<CDeviceECUTItem*>(GetAt(index));
    }
    [[nodiscard]] CDeviceECUTItem* newest() const {
        return static_cast<CDeviceECUTItem*>(GetHead());
    }
    [[nodiscard]] CDeviceECUTItem* oldest() const {
        return static_cast<CDeviceECUTItem*>(GetTail());
    }

    // engine_log.csv. save writes version 4 (caller holds the lock, as the
    // records panel keeps it across its file dialog); load replaces the log
    // and takes the lock itself. Both 1 on success; errorText, if given,
    // receives the reason for a failure. See CEngineLogFile.
    [[nodiscard]] int save(const std::string& path, std::string* errorText = nullptr);
    [[nodiscard]] int load(const std::string& path, std::string* errorText = nullptr);

    // 0 when node's counter equals key (a uint32 counter), else 1.
    int32_t Match(CMNode* node, intptr_t key) override;
    // >= 0 when newNode's counter is not below listed's: keeps the newest first.
    int32_t Compare(CMNode* listed, CMNode* newNode) override;

    // --- maxima, for chart scaling ---
    [[nodiscard]] uint32_t getPumpVolMax() const { return m_pumpVolMax; }
    [[nodiscard]] uint32_t getPumpRpmMax() const { return m_pumpRpmMax; }
    [[nodiscard]] uint32_t getRpmMax() const { return m_rpmMax; } // engine or starter RPM
    [[nodiscard]] int32_t getCurrentMax() const { return m_currentMax; }
    [[nodiscard]] int32_t getThrustMax() const { return m_thrustMax; }
    [[nodiscard]] uint32_t getStarterVolMax() const { return m_starterVolMax; }

    // --- settings ---
    // Sampling rate of the log: 2, 4, 8, 16 from the ECU, or 100 from a file.
    // 0 is ignored (the rate divides record times).
    [[nodiscard]] uint8_t getRecordsPerSecond() const { return m_recordsPerSecond; }
    void setRecordsPerSecond(uint8_t recordsPerSecond);

    // Scale of the format-1 pump voltage field: 10 when the parameter block's
    // double-range flag is set, else 5. Any value other than 10 is taken as 5.
    [[nodiscard]] uint8_t getPumpVolMultiplier() const { return m_pumpVolMultiplier; }
    void setPumpVolMultiplier(uint8_t multiplier) {
        m_pumpVolMultiplier = multiplier == 10 ? 10 : 5;
    }

    // Group-0 voltages are in steps of 50 (1) or 20 (0) hundredths of a volt;
    // set by every group-1 record.
    [[nodiscard]] uint8_t getVoltageStep() const { return m_voltageStep; }

private:
    // Where a record with counter goes: the first listed record whose counter
    // is not larger (null: at the back). duplicate is set when that record
    // already has this counter.
    CDeviceECUTItem* findPosition(uint32_t counter, bool& duplicate);
    void insertAt(CDeviceECUTItem* position, CDeviceECUTItem* item);
    void decodeFormat1(CMBitReader& reader, CDeviceECUTItem& item) const;
    void decodeFormat2(CMBitReader& reader, CDeviceECUTItem& item);
    void fillGroups(CDeviceECUTItem* item);
    void raiseCommonMaxima(const CDeviceECUTItem& item);

    CMMutex m_lock;
    uint32_t m_pumpVolMax = kPumpVolMaxReset;
    uint32_t m_pumpRpmMax = kPumpRpmMaxReset;
    uint32_t m_rpmMax = kRpmMaxReset;
    int32_t m_currentMax = kCurrentMaxReset;
    int32_t m_thrustMax = kThrustMaxReset;
    uint8_t m_pumpVolMultiplier = kPumpVolMultiplierReset;
    uint8_t m_recordsPerSecond = kRecordsPerSecondReset;
    uint8_t m_voltageStep = 0;
    uint32_t m_starterVolMax = kStarterVolMaxReset;
    // False once addCopy pushed a record out of order; the duplicate test then
    // searches the whole list instead of stopping at the insertion point.
    bool m_sorted = true;
};
