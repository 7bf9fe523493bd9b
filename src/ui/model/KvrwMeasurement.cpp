#include "ui/model/KvrwMeasurement.h"

#include <algorithm>

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
    if (m_rpmCount == 0) {
        return 0;
    }
    int64_t sum = 0;
    for (int32_t i = 0; i < m_rpmCount; ++i) {
        sum += m_rpm[static_cast<size_t>(i)];
    }
    return static_cast<int32_t>(sum / m_rpmCount);
}

double KvrwMeasurement::AverageCurrent() const {
    if (m_currentCount == 0) {
        return 0.0;
    }
    double sum = 0.0;
    for (int32_t i = 0; i < m_currentCount; ++i) {
        sum += m_current[static_cast<size_t>(i)];
    }
    return sum / m_currentCount;
}
