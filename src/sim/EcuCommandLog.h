#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace sim {

// One write the simulated ECU received.
struct EcuCommand {
    uint8_t reg = 0;
    std::vector<uint8_t> bytes;
    bool accepted = false;  // acknowledged (false: malformed or not answered)
    uint64_t simTimeMs = 0; // engine-model time when it arrived
    uint32_t tickMs = 0;    // monotonic wall-clock milliseconds when it arrived

    [[nodiscard]] bool IsPollRequest() const {
        return reg == 1 && bytes.size() == 2 && bytes[0] == 0xFF && bytes[1] == 0x29;
    }
};

// Every write received, oldest first, so tests can assert what reached the
// ECU. Bounded: beyond the capacity the oldest entries go (Dropped() counts
// them), so a long simulator run does not grow without limit.
//
// Thread safety: none; SimEcu fills it under the bus lock, so read it under
// Bus::WithLock while a driver thread runs.
class EcuCommandLog {
public:
    explicit EcuCommandLog(size_t capacity = 100000)
        : m_capacity(capacity == 0 ? 1 : capacity) {}

    void Add(uint8_t reg,
             std::span<const uint8_t> bytes,
             bool accepted,
             uint64_t simTimeMs,
             uint32_t tickMs);

    [[nodiscard]] const std::deque<EcuCommand>& Entries() const { return m_entries; }
    // The writes to one register, poll requests left out unless asked for.
    [[nodiscard]] std::vector<EcuCommand> To(uint8_t reg, bool withPollRequests = false) const;
    [[nodiscard]] size_t Size() const { return m_entries.size(); }
    [[nodiscard]] size_t Dropped() const { return m_dropped; }
    void Clear();

private:
    size_t m_capacity;
    size_t m_dropped = 0;
    std::deque<EcuCommand> m_entries;
};

} // namespace sim
