#pragma once

#include "charts/CRpmTempBins.h"
#include "ui/panels/CChartPage.h"
#include "ui/panels/IRpmTempPanel.h"

#include <cstdint>

class CComboBoxInt;

// The "RPM vs EGT&Thrust&Pump" page: the engine's characteristic over its
// RPM range, built from the live telemetry in 1000-RPM bins (CRpmTempBins)
// and drawn as EGT, pump-voltage and thrust curves (CGraphRpmTemp), with the
// thrust axis' full scale chosen from a list and the bins exported as
// rmp_vs_data.csv. The report button stays disabled. Captions are fixed
// Chinese texts in either language.
//
// The page redraws only when a bin changes, the thrust scale changes or the
// frame is painted, so a steady engine costs no drawing.
//
// Thread safety: user-interface thread only.
class CDialogRpmTemp : public CChartPage, public IRpmTempPanel {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kChartFrame = 1000,
        kThrustScaleList = 1001,
        kSaveButton = 1002,
        kReportButton = 1003,
    };
    static constexpr const char* kCsvStem = "rmp_vs_data"; // the export is rmp_vs_data.csv

    explicit CDialogRpmTemp(QWidget* parent = nullptr);

    // IRpmTempPanel.
    void SetRange(int32_t minimumRpm, int32_t maximumRpm) override;
    void AddSample(int32_t rpm, int32_t egt, uint16_t pumpVoltage, float thrust) override;

    // The thrust scale list's entry index was chosen.
    void OnThrustScale(int32_t index);
    // Exports the bins (nothing happens without a range).
    void OnSave();

    [[nodiscard]] const CRpmTempBins& Bins() const { return m_bins; }

protected:
    void Draw(ICanvas& canvas) override;

private:
    CRpmTempBins m_bins;
    CComboBoxInt* m_thrustScale = nullptr;
};
