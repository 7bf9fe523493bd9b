#pragma once

#include "charts/CPumpRecorder.h"
#include "ui/panels/CChartPage.h"
#include "ui/panels/IPumpPanel.h"

#include <cstdint>

// The "RPM for BLDC Pump" page: records a brushless pump's RPM and voltage
// while it runs (CPumpRecorder), draws them as a strip chart with the newest
// sample at the right edge (CGraphPump), and exports the recording as
// pump_rpm.csv. A 20 ms timer runs while the page is shown: it counts the
// recording down and redraws. It sends nothing to the unit. Captions are
// fixed Chinese texts in either language.
//
// A tick redraws only when the recording changed since the last redraw (a
// sample, a clear) or the surface is new: the same recording gives the same
// pixels, and samples come about ten times a second, so drawing every 20 ms
// would cost five times the processor time for nothing.
//
// Thread safety: user-interface thread only; the recorder's lock guards the
// samples between adding and drawing.
class CDialogPump : public CChartPage, public IPumpPanel {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kChartFrame = 1000,
        kClearButton = 1001,
        kSaveButton = 1002,
    };
    static constexpr uint32_t kRecordTimer = 1;
    static constexpr uint32_t kRecordTimerMs = 20;
    static constexpr const char* kCsvStem = "pump_rpm"; // the export is pump_rpm.csv

    explicit CDialogPump(QWidget* parent = nullptr);

    // IPumpPanel: the pump voltage in hundredths of a volt, as it comes.
    void AddSample(int32_t state, int32_t rpm, uint16_t pumpVoltage) override;

    void OnClear();
    // "没有数据！" when nothing is recorded; otherwise the file, then "保存成功".
    void OnSave();
    // The 20 ms timer: one tick of the countdown, then a redraw when the
    // recording changed.
    void OnTimer(uint32_t id) override;

    [[nodiscard]] const CPumpRecorder& Recorder() const { return m_recorder; }

protected:
    void Draw(ICanvas& canvas) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CPumpRecorder m_recorder;
    static constexpr uint64_t kNothingDrawn = UINT64_MAX;
    // The recording the last redraw showed (CPumpRecorder::Changes); a new
    // surface has shown none.
    uint64_t m_drawnChanges = kNothingDrawn;
};
