#include "ui/panels/CDialogRpmTemp.h"

#include "charts/CGraphRpmTemp.h"
#include "ui/CComboBoxInt.h"
#include "ui/panels/PageFileSave.h"

#include <QPushButton>

CDialogRpmTemp::CDialogRpmTemp(QWidget* parent)
    : CChartPage(parent, 480, 340, QRect(7, 17, 466, 316), kChartFrame) {
    m_thrustScale = new CComboBoxInt(this);
    m_thrustScale->setGeometry(DluRect(7, 3, 40, 12));
    for (int32_t kg : CRpmTempBins::kThrustScales) {
        m_thrustScale->AddString(QString::number(kg) + QStringLiteral("Kg"), kg);
    }
    (void)m_thrustScale->SetCurSel(0); // the full scale stays 20 kg until one is picked
    RegisterControl(kThrustScaleList, m_thrustScale);
    // Picking the entry already shown applies it too (activated), and so
    // does a selection made by other means (currentIndexChanged).
    connect(m_thrustScale, &QComboBox::activated, this, &CDialogRpmTemp::OnThrustScale);
    connect(m_thrustScale, &QComboBox::currentIndexChanged, this, &CDialogRpmTemp::OnThrustScale);

    connect(AddButton(kSaveButton, QStringLiteral("保存数据"), QRect(59, 3, 50, 12)),
            &QPushButton::clicked,
            this,
            &CDialogRpmTemp::OnSave);
    // There is no report to make.
    AddButton(kReportButton, QStringLiteral("输出报告"), QRect(119, 3, 50, 12))->setEnabled(false);
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
