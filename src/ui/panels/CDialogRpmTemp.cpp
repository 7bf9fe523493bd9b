#include "ui/panels/CDialogRpmTemp.h"

#include "charts/CGraphRpmTemp.h"
#include "ui/CComboBoxInt.h"
#include "ui/DialogTemplate.h"
#include "ui/panels/PageFileSave.h"

#include <QPushButton>

namespace {

// The controls above the chart frame (480 x 340 dialog units). The list is
// one line high closed; it drops down to show every entry.
const DialogItem kTemplate[] = {
    {CDialogRpmTemp::kThrustScaleList, DialogItem::Kind::Combo, 7, 3, 40, 12, ""},
    {CDialogRpmTemp::kSaveButton, DialogItem::Kind::Button, 59, 3, 50, 12, "保存数据"},
    {CDialogRpmTemp::kReportButton, DialogItem::Kind::Button, 119, 3, 50, 12, "输出报告"},
};

} // namespace

CDialogRpmTemp::CDialogRpmTemp(QWidget* parent)
    : CChartPage(parent, 480, 340, QRect(7, 17, 466, 316), kChartFrame) {
    CreateDialogItems(*this, kTemplate);
    m_thrustScale = Control<CComboBoxInt>(kThrustScaleList);
    for (int32_t kg : CRpmTempBins::kThrustScales) {
        m_thrustScale->AddString(QString::number(kg) + QStringLiteral("Kg"), kg);
    }
    (void)m_thrustScale->SetCurSel(0); // the full scale stays 20 kg until one is picked
    // Picking the entry already shown applies it too (activated), and so
    // does a selection made by other means (currentIndexChanged).
    connect(m_thrustScale, &QComboBox::activated, this, &CDialogRpmTemp::OnThrustScale);
    connect(m_thrustScale, &QComboBox::currentIndexChanged, this, &CDialogRpmTemp::OnThrustScale);
    connect(
        Control<QPushButton>(kSaveButton), &QPushButton::clicked, this, &CDialogRpmTemp::OnSave);
    EnableControl(kReportButton, false); // there is no report to make
}

void CDialogRpmTemp::SetRange(int32_t minimumRpm, int32_t maximumRpm) {
    m_bins.SetRange(minimumRpm, maximumRpm);
}

void CDialogRpmTemp::AddSample(int32_t rpm, int32_t egt, uint16_t pumpVoltage, float thrust) {
    // The pump voltage value reaches every page in hundredths of a volt; this
    // page keeps its bins, its 12 V axis, its readout and its CSV column in
    // thousandths, so it takes the value times ten.
    const int32_t millivolts = static_cast<int32_t>(pumpVoltage) * 10;
    if (m_bins.AddSample(rpm, egt, millivolts, thrust)) {
        (void)Redraw();
    }
}

void CDialogRpmTemp::OnThrustScale(int32_t index) {
    if (index < 0 || index >= m_thrustScale->GetCount()) {
        return;
    }
    if (m_bins.SetThrustFullScale(static_cast<float>(m_thrustScale->GetItemData(index)))) {
        (void)Redraw();
    }
}

void CDialogRpmTemp::OnSave() {
    if (!m_bins.HasBins()) {
        return;
    }
    (void)SaveToChosenFile(this, CsvFileDialog(kCsvStem), m_bins.CsvBytes());
}

void CDialogRpmTemp::Draw(ICanvas& canvas) {
    CGraphRpmTemp::Draw(canvas, m_bins);
}
