#pragma once

#include "charts/CPumpSamples.h"
#include "foundation/CMMutex.h"

#include <cstdint>
#include <functional>
#include <string>

// What the "RPM for BLDC Pump" page records: pump RPM and voltage while the
// pump runs and for 75 timer ticks (1.5 s of the page being shown) after it
// stopped, and the pump_rpm.csv export.
//
// A sample with a non-zero pump state (1 start, 2 run, 3 brake) starts the
// countdown at 75; samples are kept while it is above 0. The page's 20 ms
// timer counts it down, and showing the page sets it to 0, so a pump that
// stopped while the page was hidden keeps being recorded until the page is
// shown.
//
// Thread safety: the samples and the axis maxima are guarded by a lock, taken
// by AddSample, Clear, Read and CsvBytes, so a redraw always sees a
// consistent store. The countdown belongs to the user-interface thread
// (AddSample, Shown, Tick).
class CPumpRecorder {
public:
    static constexpr int32_t kRecordingTicks = 75;

    // True when the sample was stored.
    bool AddSample(int32_t state, int32_t rpm, int32_t centivolts);
    // The page was shown: recording waits for the next running pump.
    void Shown() { m_countdown = 0; }
    // One tick of the page's timer.
    void Tick();
    [[nodiscard]] int32_t Countdown() const { return m_countdown; }

    void Clear();
    [[nodiscard]] int32_t Count() const;
    // CPumpSamples::Changes of the store.
    [[nodiscard]] uint64_t Changes() const;
    // Calls reader with the samples, under the lock.
    void Read(const std::function<void(const CPumpSamples&)>& reader) const;

    // pump_rpm.csv: one "rpm,volts" line per sample, oldest first, the volts
    // with two decimals ("12.05"), CR LF; no header. "" when empty.
    [[nodiscard]] std::string CsvBytes() const;

private:
    mutable CMMutex m_lock; // guards m_samples
    CPumpSamples m_samples;
    int32_t m_countdown = 0;
};
