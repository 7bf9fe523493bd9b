#include "sim/EcuCommandLog.h"

namespace sim {

void EcuCommandLog::Add(uint8_t reg,
                        std::span<const uint8_t> bytes,
                        bool accepted,
                        uint64_t simTimeMs,
                        uint32_t tickMs) {
    if (m_entries.size() >= m_capacity) {
        m_entries.pop_front();
        ++m_dropped;
    }
    m_entries.push_back({reg, {bytes.begin(), bytes.end()}, accepted, simTimeMs, tickMs});
}

std::vector<EcuCommand> EcuCommandLog::To(uint8_t reg, bool withPollRequests) const {
    std::vector<EcuCommand> out;
    for (const EcuCommand& entry : m_entries) {
        if (entry.reg == reg && (withPollRequests || !entry.IsPollRequest())) {
            out.push_back(entry);
        }
    }
    return out;
}

void EcuCommandLog::Clear() {
    m_entries.clear();
    m_dropped = 0;
}

} // namespace sim
