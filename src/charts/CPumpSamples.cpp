#include "charts/CPumpSamples.h"

#include <algorithm>
#include <limits>

namespace {

// 110 % of value, in 64 bits so that a wild reading cannot overflow.
int32_t WithHeadroom(int32_t value) {
    const int64_t v = static_cast<int64_t>(value) * 11 / 10;
    return static_cast<int32_t>(std::min<int64_t>(v, std::numeric_limits<int32_t>::max()));
}

} // namespace

CPumpSamples::CPumpSamples()
    : m_ring(static_cast<size_t>(kCapacity)) {}

void CPumpSamples::Append(const PumpSample& sample) {
    ++m_changes;
    m_rpmMaximum = std::max(m_rpmMaximum, WithHeadroom(sample.rpm));
    m_voltageMaximum = std::max(m_voltageMaximum, WithHeadroom(sample.centivolts));
    if (m_count == kCapacity) {
        m_ring[static_cast<size_t>(m_first)] = sample;
        m_first = (m_first + 1) % kCapacity;
        return;
    }
    m_ring[static_cast<size_t>((m_first + m_count) % kCapacity)] = sample;
    ++m_count;
}

void CPumpSamples::Clear() {
    ++m_changes;
    m_first = 0;
    m_count = 0;
    m_rpmMaximum = kInitialRpmMaximum;
    m_voltageMaximum = kInitialVoltageMaximum;
}

const PumpSample& CPumpSamples::At(int32_t i) const {
    return m_ring[static_cast<size_t>((m_first + i) % kCapacity)];
}
