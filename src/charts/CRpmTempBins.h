#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One 1000-RPM bin of an engine's characteristic: the newest sample whose RPM
// fell into it.
struct RpmTempBin {
    int32_t egt = 0;            // °C; 0 marks an empty bin
    int32_t pumpMillivolts = 0; // thousandths of a volt
    float thrust = 0.0f;        // kg

    bool operator==(const RpmTempBin&) const = default;
};

// A live sample as the "RPM vs EGT&Thrust&Pump" page keeps it.
struct RpmTempSample {
    int32_t rpm = 0;
    int32_t egt = 0;            // °C, with the EGT correction
    int32_t pumpMillivolts = 0; // thousandths of a volt
    float thrust = 0.0f;        // kg
};

// The model of the "RPM vs EGT&Thrust&Pump" page: the RPM range between the
// run idle and run maximum RPM cut into 1000-RPM bins, each holding the
// newest sample of its RPM, the last live sample for the readouts, the
// thrust axis' full scale, and the rmp_vs_data.csv export.
//
// A range exists only when minimum + 1000 < maximum; then there are
// (maximum - minimum) / 1000 + 1 bins, bin j covering minimum + 1000 j up to
// the next bin (the last one also takes the maximum itself). Bins live until
// the range changes, so the characteristic accumulates.
//
// Thread safety: none; the page uses it on the user-interface thread.
class CRpmTempBins {
public:
    static constexpr int32_t kBinRpm = 1000;
    // The range a new page starts with.
    static constexpr int32_t kInitialMinimumRpm = 50000;
    static constexpr int32_t kInitialMaximumRpm = 160000;
    static constexpr float kInitialThrustFullScale = 20.0f; // kg
    // The full scales the page's list offers, kg.
    static constexpr std::array<int32_t, 8> kThrustScales = {
        90, 150, 250, 400, 600, 1100, 1800, 3000};

    // The initial range, 111 empty bins, thrust full scale 20 kg.
    CRpmTempBins();

    // A pair that differs from the stored one frees the bins and allocates
    // empty ones for the new range, or none (both limits 0) when
    // minimumRpm + 1000 is not below maximumRpm. The same pair keeps the bins.
    void SetRange(int32_t minimumRpm, int32_t maximumRpm);

    [[nodiscard]] bool HasBins() const { return !m_bins.empty(); }
    [[nodiscard]] int32_t BinCount() const { return static_cast<int32_t>(m_bins.size()); }
    [[nodiscard]] int32_t MinimumRpm() const { return m_minimumRpm; }
    [[nodiscard]] int32_t MaximumRpm() const { return m_maximumRpm; }
    [[nodiscard]] const std::vector<RpmTempBin>& Bins() const { return m_bins; }
    // The RPM at the start of bin j.
    [[nodiscard]] int32_t BinRpm(int32_t j) const { return m_minimumRpm + kBinRpm * j; }
    // The bin an RPM falls into, or -1 outside the range (or without bins).
    [[nodiscard]] int32_t BinOf(int32_t rpm) const;

    // Keeps the sample as the last one; an RPM inside the range replaces its
    // bin when any of the three values differs. True when a bin changed (the
    // page redraws only then).
    bool AddSample(int32_t rpm, int32_t egt, int32_t pumpMillivolts, float thrust);
    [[nodiscard]] const RpmTempSample& Last() const { return m_last; }

    // kg at the top of the thrust axis; true when the value changed.
    bool SetThrustFullScale(float kg);
    [[nodiscard]] float ThrustFullScale() const { return m_thrustFullScale; }

    // The rmp_vs_data.csv bytes: "MIN RPM,n" and "MAX RPM,n", the column line
    // in GBK, then one row per bin from the first to the last bin with an EGT
    // (bins between them that are empty give zeros), every line ending in
    // CR LF. "" when there are no bins.
    [[nodiscard]] std::string CsvBytes() const;

private:
    int32_t m_minimumRpm = 0;
    int32_t m_maximumRpm = 0;
    std::vector<RpmTempBin> m_bins;
    RpmTempSample m_last;
    float m_thrustFullScale = kInitialThrustFullScale;
};
