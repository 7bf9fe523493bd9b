#include "ui/panels/CDialogPump.h"

#include "charts/CGraphPump.h"
#include "ui/DialogTemplate.h"
#include "ui/panels/PageFileSave.h"

#include <QPushButton>

namespace {

// The controls beside the chart frame (480 x 348 dialog units).
const DialogItem kTemplate[] = {
    {CDialogPump::kClearButton, DialogItem::Kind::Button, 7, 7, 50, 12, "清除记录"},
    {CDialogPump::kSaveButton, DialogItem::Kind::Button, 75, 7, 50, 12, "保存数据"},
};

} // namespace

CDialogPump::CDialogPump(QWidget* parent)
    : CChartPage(parent, 480, 348, QRect(7, 21, 466, 320), kChartFrame) {
    CreateDialogItems(*this, kTemplate);
    connect(Control<QPushButton>(kClearButton), &QPushButton::clicked, this, &CDialogPump::OnClear);
    connect(Control<QPushButton>(kSaveButton), &QPushButton::clicked, this, &CDialogPump::OnSave);
}

void CDialogPump::AddSample(int32_t state, int32_t rpm, uint16_t pumpVoltage) {
    (void)m_recorder.AddSample(state, rpm, pumpVoltage); // the timer redraws
}

void CDialogPump::OnClear() {
    m_recorder.Clear();
}

void CDialogPump::OnSave() {
    const std::string bytes = m_recorder.CsvBytes();
    if (bytes.empty()) {
        (void)UiServices().MessageBox(this,
                                      QStringLiteral("没有数据！"),
                                      QString(),
                                      IUiServices::kOk | IUiServices::kIconWarning);
        return;
    }
    if (SaveToChosenFile(this, CsvFileDialog(kCsvStem), bytes)) {
        (void)UiServices().MessageBox(this,
                                      QStringLiteral("保存成功"),
                                      QString(),
                                      IUiServices::kOk | IUiServices::kIconInformation);
    }
}

void CDialogPump::OnTimer(uint32_t id) {
    if (id != kRecordTimer) {
        return;
    }
    m_recorder.Tick();
    if (m_recorder.Changes() != m_drawnChanges) {
        (void)Redraw();
    }
}

void CDialogPump::Draw(ICanvas& canvas) {
    m_recorder.Read([this, &canvas](const CPumpSamples& samples) {
        CGraphPump::Draw(canvas, samples);
        m_drawnChanges = samples.Changes();
    });
}

void CDialogPump::resizeEvent(QResizeEvent* event) {
    CChartPage::resizeEvent(event); // a new, blank surface
    m_drawnChanges = kNothingDrawn;
}

void CDialogPump::showEvent(QShowEvent* event) {
    CChartPage::showEvent(event);
    m_recorder.Shown();
    SetTimer(kRecordTimer, kRecordTimerMs);
}

void CDialogPump::hideEvent(QHideEvent* event) {
    KillTimer(kRecordTimer);
    CChartPage::hideEvent(event);
}
