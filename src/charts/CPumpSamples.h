#pragma once

#include <cstdint>
#include <vector>

// One reading of a brushless pump.
struct PumpSample {
    int32_t rpm = 0;
    int32_t centivolts = 0; // pump voltage, hundredths of a volt

    bool operator==(const PumpSample&) const = default;
};

// The recording of the "RPM for BLDC Pump" page: at most 20000 samples,
// oldest first (a full store drops its oldest for a new one), and the tops of
// the two axes, which grow to 110 % of the largest value seen and never
// shrink until cleared.
//
// Thread safety: none; CPumpRecorder guards it with its lock.
class CPumpSamples {
public:
    static constexpr int32_t kCapacity = 20000;
    static constexpr int32_t kInitialRpmMaximum = 300;
    static constexpr int32_t kInitialVoltageMaximum = 100; // hundredths of a volt

    CPumpSamples();

    void Append(const PumpSample& sample);
    // No samples; the axes back to 300 RPM and 1.00 V.
    void Clear();

    [[nodiscard]] int32_t Count() const { return m_count; }
    // Sample i, 0 = oldest, Count() - 1 = newest.
    [[nodiscard]] const PumpSample& At(int32_t i) const;
    [[nodiscard]] int32_t RpmMaximum() const { return m_rpmMaximum; }
    [[nodiscard]] int32_t VoltageMaximum() const { return m_voltageMaximum; }
    // Counts the appends and clears: equal counts mean equal contents.
    [[nodiscard]] uint64_t Changes() const { return m_changes; }

private:
    // A ring: the same order as moving every sample down one place when the
    // oldest is dropped, without the move.
    std::vector<PumpSample> m_ring;
    int32_t m_first = 0;
    int32_t m_count = 0;
    int32_t m_rpmMaximum = kInitialRpmMaximum;
    int32_t m_voltageMaximum = kInitialVoltageMaximum;
    uint64_t m_changes = 0;
};
