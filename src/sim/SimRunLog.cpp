#include "sim/SimRunLog.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace sim {

namespace {

constexpr uint32_t kFormat1CounterMask = 0x1FFFFF;  // all ones: an empty slot
constexpr uint32_t kFormat2CounterMask = 0x1FFFFFF; // all ones: an empty slot
constexpr uint8_t kPairMarker = 0xA3;
constexpr uint8_t kErased = 0xFF;

// The ECU's record layout, least significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::span<uint8_t> out)
        : m_out(out) {}

    void Put(uint32_t value, unsigned width) {
        for (unsigned i = 0; i < width; ++i, ++m_bit) {
            const size_t byte = m_bit / 8;
            if (byte < m_out.size() && ((value >> i) & 1u) != 0) {
                m_out[byte] = static_cast<uint8_t>(m_out[byte] | (1u << (m_bit % 8)));
            }
        }
    }

private:
    std::span<uint8_t> m_out;
    size_t m_bit = 0;
};

// A field as the ECU stores it: (value - offset) in steps of scale, rounded
// to the nearest step and clamped to what width bits hold.
struct Field {
    int32_t scale;
    int32_t offset;
    unsigned width;

    [[nodiscard]] uint32_t Raw(int32_t value) const {
        int64_t shifted = static_cast<int64_t>(value) - offset;
        shifted = std::max<int64_t>(shifted, 0);
        const int64_t raw = (shifted + scale / 2) / scale;
        return static_cast<uint32_t>(std::min<int64_t>(raw, (int64_t{1} << width) - 1));
    }
    [[nodiscard]] int32_t Value(uint32_t raw) const {
        return static_cast<int32_t>(raw) * scale + offset;
    }
    // Writes value and returns what the store now holds for it.
    int32_t Put(BitWriter& writer, int32_t value) const {
        const uint32_t raw = Raw(value);
        writer.Put(raw, width);
        return Value(raw);
    }
};

// Group-1 temperatures: raw 0 means "not measured", which the ECU reports as 0.
int32_t PutGroupOneTemperature(BitWriter& writer, int32_t value) {
    const Field field{2, -60, 7};
    const uint32_t raw = field.Raw(value);
    writer.Put(raw, 7);
    return raw == 0 ? 0 : field.Value(raw);
}

// The ECU's group order: 1, 2, 0, 1, 2, 0, ...
uint8_t GroupOf(uint64_t writeIndex) {
    static constexpr uint8_t kOrder[3] = {1, 2, 0};
    return kOrder[writeIndex % 3];
}

void CopyGroup(uint8_t group, const RunLogSample& from, RunLogSample& to) {
    switch (group) {
    case 0:
        to.radio_vol = from.radio_vol;
        to.engine_vol = from.engine_vol;
        to.rc_input1 = from.rc_input1;
        to.rc_input2 = from.rc_input2;
        to.pressure = from.pressure;
        to.pump_st = from.pump_st;
        to.pump_rpm = from.pump_rpm;
        break;
    case 1:
        to.error_coe = from.error_coe;
        to.current = from.current;
        to.tcu_temp = from.tcu_temp;
        to.ecu_temp = from.ecu_temp;
        to.pump_temp = from.pump_temp;
        to.thrust = from.thrust;
        break;
    case 2:
        to.fuel_temp = from.fuel_temp;
        to.fuel_press = from.fuel_press;
        to.combustion_press = from.combustion_press;
        to.starter_rpm = from.starter_rpm;
        to.starter_vol = from.starter_vol;
        break;
    default:
        break;
    }
}

bool Is(std::span<const uint8_t> data, std::initializer_list<uint8_t> bytes) {
    return std::equal(data.begin(), data.end(), bytes.begin(), bytes.end());
}

} // namespace

SimRunLog::SimRunLog(uint8_t format, size_t capacity)
    : m_format(format == 1 ? 1 : 2)
    , m_capacity(std::max<size_t>(capacity, 1)) {}

void SimRunLog::SetFormat(uint8_t format) {
    std::lock_guard lock(m_lock);
    const uint8_t wanted = format == 1 ? 1 : 2;
    if (wanted != m_format) {
        m_format = wanted;
        ClearLocked();
    }
}

uint8_t SimRunLog::Format() const {
    std::lock_guard lock(m_lock);
    return m_format;
}

void SimRunLog::SetRateCode(uint8_t code) {
    std::lock_guard lock(m_lock);
    m_rateCode = static_cast<uint8_t>(code & 3u);
}

uint8_t SimRunLog::RateCode() const {
    std::lock_guard lock(m_lock);
    return m_rateCode;
}

uint32_t SimRunLog::RecordsPerSecond() const {
    std::lock_guard lock(m_lock);
    return 2u << m_rateCode;
}

void SimRunLog::SetPumpDoubleRange(bool on) {
    std::lock_guard lock(m_lock);
    m_doubleRange = on;
}

void SimRunLog::SetVoltageStep50(bool on) {
    std::lock_guard lock(m_lock);
    m_voltageStep50 = on;
}

uint8_t SimRunLog::RecordStorageCode() const {
    std::lock_guard lock(m_lock);
    const size_t bytes = m_records.size() * RecordSize();
    return static_cast<uint8_t>(std::min<size_t>((bytes + 511) / 512, 255));
}

uint8_t SimRunLog::FormatAndRateBits() const {
    std::lock_guard lock(m_lock);
    return static_cast<uint8_t>((m_format & 3u) | ((m_rateCode & 3u) << 2));
}

RunLogRecord SimRunLog::Encode(uint32_t counter, uint8_t group, const RunLogSample& in) const {
    RunLogRecord record;
    record.counter = counter;
    record.group = group;
    record.bytes.fill(0);
    BitWriter writer(std::span(record.bytes).first(RecordSize()));
    RunLogSample& out = record.stored;
    if (m_format == 1) {
        writer.Put(counter, 21);
        out.engine_state = Field{1, 0, 5}.Put(writer, in.engine_state);
        out.temperature = Field{10, 0, 7}.Put(writer, in.temperature);
        out.engine_rpm = Field{50, 0, 13}.Put(writer, in.engine_rpm);
        writer.Put(0, 4);
        out.rc_input2 = Field{5, 0, 9}.Put(writer, in.rc_input2);
        out.pump_vol = Field{m_doubleRange ? 10 : 5, 0, 11}.Put(writer, in.pump_vol);
        out.radio_vol = Field{20, 0, 7}.Put(writer, in.radio_vol);
        out.engine_vol = Field{20, 0, 7}.Put(writer, in.engine_vol);
        out.pressure = Field{100, 0, 10}.Put(writer, in.pressure);
        out.rc_input1 = Field{5, 0, 9}.Put(writer, in.rc_input1);
        out.speed = Field{2, 0, 9}.Put(writer, in.speed);
        return record;
    }
    writer.Put(counter, 25);
    writer.Put(group, 2);
    writer.Put(0, 1);
    out.engine_state = Field{1, 0, 5}.Put(writer, in.engine_state);
    out.temperature = Field{5, -60, 8}.Put(writer, in.temperature);
    out.engine_rpm = Field{50, 0, 13}.Put(writer, in.engine_rpm);
    out.pump_vol = Field{10, 0, 11}.Put(writer, in.pump_vol);
    switch (group) {
    case 0: {
        const int32_t step = m_voltageStep50 ? 50 : 20;
        out.radio_vol = Field{step, 0, 7}.Put(writer, in.radio_vol);
        out.engine_vol = Field{step, 0, 7}.Put(writer, in.engine_vol);
        out.rc_input1 = Field{10, 0, 8}.Put(writer, in.rc_input1);
        out.rc_input2 = Field{10, 0, 8}.Put(writer, in.rc_input2);
        out.pressure = Field{10, 0, 14}.Put(writer, in.pressure);
        out.pump_st = Field{1, 0, 2}.Put(writer, in.pump_st);
        out.pump_rpm = Field{50, 0, 9}.Put(writer, in.pump_rpm);
        break;
    }
    case 1:
        out.error_coe = Field{1, 0, 12}.Put(writer, in.error_coe);
        out.current = Field{1, 0, 10}.Put(writer, in.current);
        out.tcu_temp = PutGroupOneTemperature(writer, in.tcu_temp);
        out.ecu_temp = PutGroupOneTemperature(writer, in.ecu_temp);
        out.pump_temp = PutGroupOneTemperature(writer, in.pump_temp);
        writer.Put(m_voltageStep50 ? 1 : 0, 1);
        out.thrust = Field{1, 0, 11}.Put(writer, in.thrust);
        break;
    default:
        out.fuel_temp = Field{1, -60, 8}.Put(writer, in.fuel_temp);
        out.fuel_press = Field{1, 0, 11}.Put(writer, in.fuel_press);
        out.combustion_press = Field{2, 0, 10}.Put(writer, in.combustion_press);
        out.starter_rpm = Field{50, 0, 12}.Put(writer, in.starter_rpm);
        out.starter_vol = Field{10, 0, 9}.Put(writer, in.starter_vol);
        break;
    }
    return record;
}

RunLogRecord SimRunLog::AppendLocked(const RunLogSample& sample) {
    const uint32_t mask = m_format == 1 ? kFormat1CounterMask : kFormat2CounterMask;
    uint32_t counter = m_nextCounter & mask;
    if (counter == mask) {
        counter = 0;
    }
    const uint8_t group = m_format == 1 ? 0 : GroupOf(m_written);
    RunLogRecord record = Encode(counter, group, sample);
    m_records.push_back(record);
    ++m_written;
    if (m_records.size() > m_capacity) {
        m_records.pop_front();
        ++m_firstSequence;
    }
    m_nextCounter = (counter + 1) & mask;
    return record;
}

RunLogRecord SimRunLog::Append(const RunLogSample& sample) {
    std::lock_guard lock(m_lock);
    return AppendLocked(sample);
}

bool SimRunLog::SampleIfDue(uint32_t nowMs, const RunLogSample& sample) {
    std::lock_guard lock(m_lock);
    const uint32_t period = 1000u / (2u << m_rateCode);
    if (m_sampled && nowMs - m_lastSampleMs < period) {
        return false;
    }
    // Keep to the sampling grid, so a late tick does not shift later samples.
    m_lastSampleMs =
        m_sampled && nowMs - m_lastSampleMs < 2 * period ? m_lastSampleMs + period : nowMs;
    m_sampled = true;
    AppendLocked(sample);
    return true;
}

void SimRunLog::SetNextCounter(uint32_t counter) {
    std::lock_guard lock(m_lock);
    m_nextCounter = counter;
}

void SimRunLog::Prefill(uint32_t count, uint32_t seed) {
    std::lock_guard lock(m_lock);
    std::mt19937 random(seed);
    const auto jitter = [&random](int32_t range) {
        return range <= 0
                   ? 0
                   : static_cast<int32_t>(random() % static_cast<uint32_t>(2 * range + 1)) - range;
    };
    int32_t battery = 1260; // hundredths of a volt, drains over the runs
    uint32_t written = 0;
    while (written < count) {
        // One run: a pause, the start sequence, a flight, the cool-down.
        const uint32_t flight = 40 + random() % 400;
        const uint32_t length = 6 + 12 + 10 + flight + 20;
        int32_t rpm = 0;
        int32_t egt = 20 + jitter(5);
        for (uint32_t step = 0; step < length && written < count; ++step, ++written) {
            RunLogSample s;
            int32_t throttle = 1000;
            if (step < 6) {
                s.engine_state = step < 3 ? 0 : 1;
            } else if (step < 18) {
                s.engine_state = step < 12 ? 2 : 3;
                s.starter_rpm = 3000 + static_cast<int32_t>(step - 6) * 500;
                s.starter_vol = 60 + jitter(5);
                rpm = s.starter_rpm / 2;
                egt = std::min(egt + 40 + jitter(10), 600);
            } else if (step < 28) {
                s.engine_state = 4;
                rpm = 20000 + static_cast<int32_t>(step - 18) * 3000;
                egt = 650 + jitter(40);
            } else if (step < 28 + flight) {
                s.engine_state = 5;
                throttle = 1100 + static_cast<int32_t>(random() % 900);
                const int32_t target = 35000 + (throttle - 1100) * 100;
                rpm += (target - rpm) / 3 + jitter(500);
                egt = 550 + (rpm - 35000) / 300 + jitter(15);
            } else {
                s.engine_state = 6;
                rpm = std::max(rpm - 9000, 0);
                egt = std::max(egt - 45, 90);
            }
            const bool running = s.engine_state >= 4 && s.engine_state <= 6 && rpm > 0;
            s.engine_rpm = std::clamp(rpm, 0, 160000);
            s.temperature = egt;
            s.rc_input1 = throttle;
            s.rc_input2 = s.engine_state == 0 ? 1000 : 2000;
            s.pump_st = running ? 2 : 0;
            s.pump_vol = running ? 800 + (s.engine_rpm - 20000) / 25 + jitter(20) : 0;
            s.pump_rpm = running ? s.pump_vol * 3 : 0;
            s.radio_vol = 500 + jitter(10);
            battery = std::max(battery - (running ? 1 : 0), 1000);
            s.engine_vol = battery + jitter(10);
            s.pressure = 100800 + jitter(200);
            s.speed = running ? static_cast<int32_t>(random() % 300) : 0;
            s.current = running ? 50 + s.engine_rpm / 2000 + jitter(5) : 5;
            s.tcu_temp = 25 + jitter(2);
            s.ecu_temp = 30 + jitter(2);
            s.pump_temp = running ? 35 + jitter(3) : -60; // pump controller off: not measured
            s.thrust = running ? std::max((s.engine_rpm - 30000) / 70, 0) : 0;
            s.error_coe = s.engine_vol < 1080 ? 0x20 : 0;
            s.fuel_temp = 20 + jitter(3);
            s.fuel_press = running ? 150 + s.engine_rpm / 200 + jitter(10) : 0;
            s.combustion_press = running ? 40 + s.engine_rpm / 1000 : 0;
            AppendLocked(s);
        }
        m_nextCounter += 20 + random() % 200; // time on the ground between runs
    }
}

void SimRunLog::ClearLocked() {
    m_records.clear();
    m_firstSequence = 0;
    m_written = 0;
    m_nextCounter = 0;
    m_sampled = false;
    m_phase = Phase::Idle;
    m_setupStep = 0;
    m_cursor = 0;
    m_bulkExhausted = false;
}

void SimRunLog::Clear() {
    std::lock_guard lock(m_lock);
    ClearLocked();
}

std::vector<RunLogRecord> SimRunLog::Records() const {
    std::lock_guard lock(m_lock);
    return {m_records.begin(), m_records.end()};
}

size_t SimRunLog::Count() const {
    std::lock_guard lock(m_lock);
    return m_records.size();
}

bool SimRunLog::TakeNext(uint8_t* out) {
    m_cursor = std::max(m_cursor, m_firstSequence); // overwritten records are gone
    const uint64_t end = m_firstSequence + m_records.size();
    if (m_cursor >= end) {
        return false;
    }
    const RunLogRecord& record = m_records[static_cast<size_t>(m_cursor - m_firstSequence)];
    std::copy_n(record.bytes.begin(), RecordSize(), out);
    ++m_cursor;
    return true;
}

bool SimRunLog::Read13(uint8_t length, uint8_t* out) {
    if (length == 0 || out == nullptr) {
        return false;
    }
    std::lock_guard lock(m_lock);
    if (Unanswered()) {
        return false;
    }
    std::fill_n(out, length, kErased);
    const size_t size = RecordSize();
    if (m_phase == Phase::Idle || length < size) {
        return true;
    }
    if (!TakeNext(out)) {
        if (m_phase == Phase::Bulk) {
            m_bulkExhausted = true;
        }
        return true;
    }
    if (m_phase == Phase::Bulk && m_pairing && length >= 2 * size + 1 && TakeNext(out + size + 1)) {
        out[size] = kPairMarker;
    }
    return true;
}

bool SimRunLog::Write13(std::span<const uint8_t> data) {
    std::lock_guard lock(m_lock);
    m_writes.emplace_back(data.begin(), data.end());
    int step = 0;
    if (Is(data, {0xE1, 0x01, 0x00})) {
        step = 1;
    } else if (Is(data, {0xD2, 0x00, 0x00})) {
        step = 2;
    } else if (Is(data, {0x7C})) {
        step = 3;
    } else if (Is(data, {0xC3, 0x01})) {
        step = 4;
    } else if (Is(data, {0xC3, 0x00})) {
        // Closing the bulk phase: follow from where it stopped if it had
        // sent everything, else (aborted) from the newest record on.
        const uint64_t end = m_firstSequence + m_records.size();
        if (!(m_phase == Phase::Bulk && m_bulkExhausted)) {
            m_cursor = end;
        }
        m_phase = Phase::Follow;
        m_setupStep = 0;
        return true;
    } else {
        return false;
    }
    if (step == m_refusedStep) {
        return false;
    }
    if (step == 1) {
        m_phase = Phase::Idle; // a new download starts over
        m_setupStep = 1;
    } else if (step == m_setupStep + 1) {
        m_setupStep = step;
    } else {
        m_setupStep = 0; // out of order: the set-up must start again
    }
    if (m_setupStep == 4) {
        m_phase = Phase::Bulk;
        m_cursor = m_firstSequence;
        m_bulkExhausted = false;
        m_setupStep = 0;
    }
    return true;
}

void SimRunLog::RefuseSetupStep(int step) {
    std::lock_guard lock(m_lock);
    m_refusedStep = step;
}

void SimRunLog::SetPairing(bool on) {
    std::lock_guard lock(m_lock);
    m_pairing = on;
}

void SimRunLog::StopAnswering(uint32_t after, uint32_t reads, uint32_t ms) {
    std::lock_guard lock(m_lock);
    m_silence = {};
    m_silence.after = after;
    m_silence.reads = reads;
    m_silence.ms = ms;
}

uint32_t SimRunLog::UnansweredReads() const {
    std::lock_guard lock(m_lock);
    return m_unanswered;
}

bool SimRunLog::Unanswered() {
    if (m_silence.reads == 0 && m_silence.ms == 0) {
        return false;
    }
    if (m_silence.after > 0) {
        --m_silence.after;
        return false;
    }
    if (m_silence.ms > 0) {
        const uint32_t now = platform::TickCount();
        if (!m_silence.started) {
            m_silence.started = true;
            m_silence.since = now;
        }
        if (now - m_silence.since >= m_silence.ms) {
            m_silence = {};
            return false;
        }
    } else {
        --m_silence.reads;
    }
    ++m_unanswered;
    return true;
}

SimRunLog::Phase SimRunLog::GetPhase() const {
    std::lock_guard lock(m_lock);
    return m_phase;
}

std::vector<std::vector<uint8_t>> SimRunLog::Writes() const {
    std::lock_guard lock(m_lock);
    return m_writes;
}

RunLogSample SimRunLog::Completed(const std::vector<RunLogRecord>& records, size_t index) {
    if (index >= records.size()) {
        return {};
    }
    RunLogSample result = records[index].stored;
    bool taken[4] = {false, false, false, false};
    taken[records[index].group & 3u] = true;
    for (size_t back = 1; back <= 3 && back <= index; ++back) {
        const RunLogRecord& older = records[index - back];
        if (older.group == records[index].group) {
            break;
        }
        if (!taken[older.group & 3u]) {
            CopyGroup(older.group, older.stored, result);
            taken[older.group & 3u] = true;
        }
    }
    return result;
}

std::string SimRunLog::EngineLogCsv(const std::vector<RunLogRecord>& records,
                                    uint32_t recordsPerSecond) {
    std::string csv = "version,4," + std::to_string(recordsPerSecond) + "\r\n";
    static const char* const kColumns[] = {
        "counter",    "engine_state", "temperature",     "engine_rpm", "pump_vol", "radio_vol",
        "engine_vol", "pressure",     "rc_input1",       "rc_input2",  "speed",    "pump_st",
        "pump_rpm",   "error_coe",    "current",         "tcu_temp",   "ecu_temp", "thrust",
        "fuel_temp",  "fuel_press",   "combustion_press"};
    constexpr size_t kCount = sizeof kColumns / sizeof kColumns[0];
    for (size_t i = 0; i < kCount; ++i) {
        csv += kColumns[i];
        csv += i + 1 < kCount ? ",\t\t\t\t\t\t\t" : "\r\n";
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const RunLogSample s = Completed(records, i);
        char line[512];
        std::snprintf(line,
                      sizeof line,
                      "%u,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d\r\n",
                      records[i].counter,
                      s.engine_state,
                      s.temperature,
                      s.engine_rpm,
                      s.pump_vol,
                      s.radio_vol,
                      s.engine_vol,
                      s.pressure,
                      s.rc_input1,
                      s.rc_input2,
                      s.speed,
                      s.pump_st,
                      s.pump_rpm,
                      s.error_coe,
                      s.current,
                      s.tcu_temp,
                      s.ecu_temp,
                      s.thrust,
                      s.fuel_temp,
                      s.fuel_press,
                      s.combustion_press);
        csv += line;
    }
    return csv;
}

} // namespace sim
