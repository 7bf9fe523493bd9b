#pragma once

#include <array>
#include <cstdint>

// The engineering page's measurement while a test runs: the last 50 RPM and
// current samples (one every 100 ms, so five seconds), newest first, their
// averages over the filled entries, and the highest current seen.
//
// Thread safety: none; the page's timer uses it on the user-interface thread.
class KvrwMeasurement {
public:
    static constexpr int32_t kEntries = 50;

    // Empty histories, highest current 0.
    void Reset();
    // Pushes one sample of each (the oldest beyond 50 goes) and raises the
    // highest current to current if larger.
    void Add(int32_t rpm, double current);

    // Fill counts, 0..50.
    [[nodiscard]] int32_t RpmCount() const { return m_rpmCount; }
    [[nodiscard]] int32_t CurrentCount() const { return m_currentCount; }
    // Integer average of the filled RPM entries (sum / count, truncated
    // toward zero); 0 while empty.
    [[nodiscard]] int32_t AverageRpm() const;
    // Average of the filled current entries, A; 0 while empty.
    [[nodiscard]] double AverageCurrent() const;
    [[nodiscard]] double HighestCurrent() const { return m_highestCurrent; }

private:
    std::array<int32_t, kEntries> m_rpm{}; // [0] newest
    std::array<double, kEntries> m_current{};
    int32_t m_rpmCount = 0;
    int32_t m_currentCount = 0;
    double m_highestCurrent = 0.0;
};
