#include "engine/CEcuPacketSet.h"

int CEcuPacketSet::Add(std::span<const uint8_t> read) {
    if (Finished()) {
        return 0;
    }
    ++m_reads;
    const uint8_t n = HeaderCount(read);
    const uint8_t k = HeaderNumber(read);
    int accepted = 0;
    if (k != 0 && k <= n) {
        m_mask = static_cast<uint8_t>(m_mask | (1u << (k - 1)));
        accepted = k;
    }
    // Judged against the latest header's n, and by containment rather than
    // equality so a stray packet number from an earlier, larger n cannot keep
    // the set open.
    const uint8_t all = static_cast<uint8_t>((1u << n) - 1u);
    m_complete = (m_mask & all) == all;
    return accepted;
}
