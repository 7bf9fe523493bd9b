#include "ui/model/KvrwMeasurement.h"

#include <algorithm>
#include <numeric>

namespace {

template <typename T>
void PushNewest(std::array<T, KvrwMeasurement::kEntries>& entries, int32_t& count, T value) {
    std::copy_backward(entries.begin(), entries.end() - 1, entries.end());
    entries[0] = value;
    count = std::min(count + 1, KvrwMeasurement::kEntries);
}

} // namespace

void KvrwMeasurement::Reset() {
    *this = KvrwMeasurement();
}

void KvrwMeasurement::Add(int32_t rpm, double current) {
    PushNewest(m_rpm, m_rpmCount, rpm);
    PushNewest(m_current, m_currentCount, current);
    m_highestCurrent = std::max(m_highestCurrent, current);
}

int32_t KvrwMeasurement::AverageRpm() const {
    const int64_t sum = std::accumulate(m_rpm.begin(), m_rpm.begin() + m_rpmCount, int64_t{0});
    return m_rpmCount == 0 ? 0 : static_cast<int32_t>(sum / m_rpmCount);
}

double KvrwMeasurement::AverageCurrent() const {
    const double sum = std::accumulate(m_current.begin(), m_current.begin() + m_currentCount, 0.0);
    return m_currentCount == 0 ? 0.0 : sum / m_currentCount;
}
