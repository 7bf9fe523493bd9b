#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace sim {

// One sample of the engine as the ECU logs it, in engineering units.
struct RunLogSample {
    int32_t engine_state = 0;     // 0..31
    int32_t temperature = 0;      // EGT, degrees Celsius
    int32_t engine_rpm = 0;       // RPM
    int32_t pump_vol = 0;         // pump voltage, thousandths of a volt
    int32_t radio_vol = 0;        // receiver supply, hundredths of a volt
    int32_t engine_vol = 0;       // battery, hundredths of a volt
    int32_t pressure = 0;         // air pressure, Pa
    int32_t rc_input1 = 0;        // throttle channel
    int32_t rc_input2 = 0;        // switch channel
    int32_t speed = 0;            // format 1 only
    int32_t pump_st = 0;          // 0 stop, 1 start, 2 run, 3 brake
    int32_t pump_rpm = 0;         // RPM
    int32_t error_coe = 0;        // status word (12 bits)
    int32_t current = 0;          // tenths of an ampere
    int32_t tcu_temp = 0;         // degrees Celsius; -60 or below: not measured
    int32_t ecu_temp = 0;         // as tcu_temp
    int32_t pump_temp = 0;        // as tcu_temp
    int32_t thrust = 0;           // hundredths of a kilogram
    int32_t starter_vol = 0;      // starter voltage, in the unit the tool shows / 10
    int32_t starter_rpm = 0;      // RPM
    int32_t fuel_temp = 0;        // degrees Celsius
    int32_t fuel_press = 0;       // kilopascal
    int32_t combustion_press = 0; // kilopascal

    bool operator==(const RunLogSample&) const = default;
};

// One record of the ECU's log: what it wrote to its store.
struct RunLogRecord {
    uint32_t counter = 0; // sampling periods
    uint8_t group = 0;    // format 2: 0, 1 or 2; format 1: 0
    // The values as stored: rounded to the field's step and clamped to its
    // range. Format 2 keeps only the common head and the record's group;
    // the other fields are 0. A not-measured group-1 temperature is 0.
    RunLogSample stored;
    std::array<uint8_t, 15> bytes{}; // the record as sent (14 bytes in format 1)
};

// The ECU's run log and its side of the register-13 download.
//
// Records are 14 bytes (format 1, every field in each record) or 15 bytes
// (format 2: a common head and one of three groups; the ECU writes the
// groups in turn 1, 2, 0, 1, ... so that a log read from its start carries
// the voltage step of group 1 before the first group-0 record). The store
// keeps at most capacity records and drops the oldest beyond that.
//
// Download exchange on register 13: the set-up writes E1 01 00, D2 00 00, 7C,
// C3 01 (in this order) open the bulk phase at the oldest record; each read
// then carries the next record at offset 0 and, when the read has room and
// another record is waiting, the marker A3 and that record right after it;
// unused bytes are FF, and a read with nothing left is all FF (an empty
// slot). C3 00 closes the bulk phase; follow reads then carry one record
// each as the engine stores new ones, and are empty in between. A bulk phase
// closed early (the tool's abort) skips what it had not sent: following
// starts from the records stored after the close.
//
// Thread safety: every operation may be called from any thread; one internal
// lock serialises them (the bus calls Read13/Write13 with its own lock held,
// which is taken before this one).
class SimRunLog {
public:
    static constexpr size_t kDefaultCapacity = 8192;

    enum class Phase { Idle, Bulk, Follow };

    explicit SimRunLog(uint8_t format = 2, size_t capacity = kDefaultCapacity);

    // --- settings, reported in the telemetry ---
    // 1 (14-byte records) or 2 (15-byte records; any value other than 1).
    // Changing the format erases the store.
    void SetFormat(uint8_t format);
    [[nodiscard]] uint8_t Format() const;
    // 0..3: 2, 4, 8 or 16 records per second.
    void SetRateCode(uint8_t code);
    [[nodiscard]] uint8_t RateCode() const;
    [[nodiscard]] uint32_t RecordsPerSecond() const;
    // Format 1: pump voltage in steps of 10 (set) or 5 (clear) thousandths,
    // the parameter block's double-range flag.
    void SetPumpDoubleRange(bool on);
    // Format 2: group-0 voltages in steps of 50 (set) or 20 (clear)
    // hundredths; carried in every group-1 record.
    void SetVoltageStep50(bool on);

    // The telemetry's record-storage byte: bytes in use in 512-byte units,
    // rounded up (never 0 while a record is stored), at most 255.
    [[nodiscard]] uint8_t RecordStorageCode() const;
    // The telemetry's 4-bit field: format in bits 0-1, rate code in bits 2-3.
    [[nodiscard]] uint8_t FormatAndRateBits() const;

    // --- filling the store ---
    // Stores sample as the next record (counter one period after the last,
    // or as set by SetNextCounter) and returns what was stored.
    RunLogRecord Append(const RunLogSample& sample);
    // For an engine model ticking faster than the log: stores sample when a
    // sampling period has passed since the last sample taken this way
    // (nowMs is any millisecond clock). True when a record was stored.
    bool SampleIfDue(uint32_t nowMs, const RunLogSample& sample);
    // Counter of the next record (a gap, as between two runs). Wraps within
    // the counter field, skipping the empty-slot value.
    void SetNextCounter(uint32_t counter);
    // Stores a generated history of count records: engine runs (start, idle,
    // throttle, cool-down) with plausible values, the same for the same seed.
    void Prefill(uint32_t count, uint32_t seed = 1);
    // Erases the store and ends any download.
    void Clear();

    // What was stored, oldest first.
    [[nodiscard]] std::vector<RunLogRecord> Records() const;
    [[nodiscard]] size_t Count() const;

    // --- register 13 ---
    // Fills out with length bytes; false (no answer) for length 0, a null
    // buffer, or while StopAnswering holds.
    bool Read13(uint8_t length, uint8_t* out);
    // False (not acknowledged) for bytes that are not one of the exchange's
    // writes, or for the refused set-up step.
    bool Write13(std::span<const uint8_t> data);

    // Refuses the set-up write of step 1..4 (E1, D2, 7C, C3 01); 0: none.
    void RefuseSetupStep(int step);
    // Two records per bulk read when room allows (default on).
    void SetPairing(bool on);
    [[nodiscard]] Phase GetPhase() const;
    // Every register-13 write seen, acknowledged or not, oldest first.
    [[nodiscard]] std::vector<std::vector<uint8_t>> Writes() const;

    // An ECU busy with its store: after `after` more answered register-13
    // reads it leaves reads unanswered (the bus sees no answer; its cursor
    // stays, so nothing is lost): `reads` of them, or, when ms is not 0,
    // every read for ms milliseconds from the first one left unanswered.
    // StopAnswering(0, 0) cancels.
    void StopAnswering(uint32_t after, uint32_t reads, uint32_t ms = 0);
    // Register-13 reads left unanswered so far.
    [[nodiscard]] uint32_t UnansweredReads() const;

    // The record as the tool should show it once the log was read oldest
    // first: format 2 records take each group they lack from the nearest of
    // the three older records before one of their own group. records is
    // what Records() returned; index is into it.
    [[nodiscard]] static RunLogSample Completed(const std::vector<RunLogRecord>& records,
                                                size_t index);

    // engine_log.csv (version 4, CR LF lines) as the tool must save records
    // (what Records() returned) downloaded oldest first, at recordsPerSecond:
    // the oracle that a saved log is compared with byte for byte.
    [[nodiscard]] static std::string EngineLogCsv(const std::vector<RunLogRecord>& records,
                                                  uint32_t recordsPerSecond);

private:
    [[nodiscard]] size_t RecordSize() const { return m_format == 1 ? 14 : 15; }
    RunLogRecord Encode(uint32_t counter, uint8_t group, const RunLogSample& sample) const;
    RunLogRecord AppendLocked(const RunLogSample& sample);
    bool TakeNext(uint8_t* out);
    void ClearLocked();
    bool Unanswered();

    mutable std::mutex m_lock;
    uint8_t m_format;
    size_t m_capacity;
    uint8_t m_rateCode = 0;
    bool m_doubleRange = false;
    bool m_voltageStep50 = false;
    bool m_pairing = true;
    int m_refusedStep = 0;

    std::deque<RunLogRecord> m_records;
    uint64_t m_firstSequence = 0; // write index of m_records.front()
    uint64_t m_written = 0;       // records written since the store was erased
    uint32_t m_nextCounter = 0;
    bool m_sampled = false;
    uint32_t m_lastSampleMs = 0;

    Phase m_phase = Phase::Idle;
    int m_setupStep = 0;          // set-up writes seen in order, 0..3
    uint64_t m_cursor = 0;        // write index of the next record to send
    bool m_bulkExhausted = false; // a bulk read found nothing left
    std::vector<std::vector<uint8_t>> m_writes;

    struct Silence {
        uint32_t after = 0;
        uint32_t reads = 0;
        uint32_t ms = 0;
        bool started = false;
        uint32_t since = 0; // tick of the first unanswered read
    };
    Silence m_silence;
    uint32_t m_unanswered = 0;
};

} // namespace sim
