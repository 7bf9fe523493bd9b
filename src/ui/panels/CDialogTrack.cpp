#include "ui/panels/CDialogTrack.h"

#include "ecu/CDeviceECU.h"
#include "foundation/CMMutex.h"
#include "records/CDeviceECUTracker.h"
#include "ui/DialogTemplate.h"
#include "ui/IUiServices.h"
#include "ui/panels/CStaticTrack.h"
#include "ui/panels/PageFileSave.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <string>

namespace {

using Model = CGraphTrackModel;

// The page's buttons and check boxes as its template places them (dialog
// units), with their template captions and the text numbers that replace
// them. Check box kSeriesFirst + n shows series n.
struct TrackControl {
    DialogItem item;
    int32_t text;
};
using Kind = DialogItem::Kind;
constexpr int32_t kSeries = CDialogTrack::kSeriesFirst;
constexpr std::array<TrackControl, CDialogTrack::kCaptionCount> kControls{{
    {{CDialogTrack::kSave, Kind::Button, 6, 7, 59, 17, "保存到文件"}, 224},
    {{CDialogTrack::kLoad, Kind::Button, 6, 24, 59, 17, "加载文件"}, 225},
    {{kSeries + 0, Kind::Check, 7, 42, 59, 10, "转速"}, 232},
    {{kSeries + 1, Kind::Check, 7, 51, 59, 10, "温度 - 排气"}, 233},
    {{kSeries + 2, Kind::Check, 7, 60, 59, 10, "温度 - ECU"}, 234},
    {{kSeries + 3, Kind::Check, 7, 69, 59, 10, "温度 - TCU"}, 235},
    {{kSeries + 5, Kind::Check, 7, 78, 59, 10, "电压 - 接收机"}, 236},
    {{kSeries + 6, Kind::Check, 7, 87, 59, 10, "电压 - 电池"}, 237},
    {{kSeries + 7, Kind::Check, 7, 96, 59, 10, "遥控 - 油门"}, 238},
    {{kSeries + 8, Kind::Check, 7, 105, 59, 10, "遥控 - 开关"}, 239},
    {{kSeries + 9, Kind::Check, 7, 114, 51, 10, "气压"}, 240},
    {{kSeries + 10, Kind::Check, 7, 123, 51, 10, "电流"}, 241},
    {{kSeries + 11, Kind::Check, 7, 132, 51, 10, "推力"}, 242},
    {{kSeries + 4, Kind::Check, 7, 141, 51, 10, "油泵 - 电压"}, 243},
    {{kSeries + 12, Kind::Check, 7, 150, 51, 10, "油泵 - 转速"}, 244},
    {{kSeries + 13, Kind::Check, 7, 159, 51, 10, "燃油 - 温度"}, 245},
    {{kSeries + 14, Kind::Check, 7, 168, 51, 10, "燃油 - 压力"}, 246},
    {{kSeries + 15, Kind::Check, 7, 177, 51, 10, "燃烧室压力"}, 247},
    {{kSeries + 16, Kind::Check, 7, 187, 61, 10, "启动电机电压"}, 248},
    {{kSeries + 17, Kind::Check, 7, 196, 61, 10, "启动电机转速"}, 249},
    {{CDialogTrack::kAutoscale, Kind::Check, 7, 206, 51, 10, "自动缩放"}, 250},
    {{CDialogTrack::kSelectAll, Kind::Button, 7, 216, 50, 12, "全选"}, 251},
    {{CDialogTrack::kUnselectAll, Kind::Button, 7, 229, 50, 12, "取消选择"}, 252},
}};

constexpr const char* kNoData = "没有数据！";
constexpr const char* kSaved = "保存成功";

// "Select File" for engine_log.csv; saving asks before replacing a file.
FileDialogSpec LogFileDialog(bool promptOverwrite) {
    FileDialogSpec spec = CsvFileDialog("engine_log");
    spec.promptOverwrite = promptOverwrite;
    return spec;
}

std::array<CTextTable::ControlText, CDialogTrack::kCaptionCount> MakeCaptions() {
    std::array<CTextTable::ControlText, CDialogTrack::kCaptionCount> list{};
    for (size_t i = 0; i < kControls.size(); ++i) {
        list[i] = {kControls[i].item.id, kControls[i].text};
    }
    return list;
}

} // namespace

const std::array<CTextTable::ControlText, CDialogTrack::kCaptionCount>&
CDialogTrack::CaptionList() {
    static const auto list = MakeCaptions();
    return list;
}

CDialogTrack::CDialogTrack(CDeviceECU& ecu, QWidget* parent)
    : CPanelDialog(parent)
    , m_ecu(ecu) {
    setMouseTracking(true); // moves over the page hide the cursor box
    CreateControls();
    Recaption();
    m_host->SetPanel(this);
    m_host->SetOnPaint([this] { m_chart.present(); });
    m_chart.attach(m_host, &m_ecu);
    SetScrollBar(0, 0);
    for (QCheckBox* box : m_series) {
        box->setChecked(true);
    }
    m_autoscale->setChecked(false);
    // The chart's initial mask (every series, no autoscale) matches the boxes.
}

CDialogTrack::~CDialogTrack() {
    m_host->SetPanel(nullptr);
    m_host->SetOnPaint({});
}

void CDialogTrack::CreateControls() {
    std::array<DialogItem, kControls.size()> items{};
    for (size_t i = 0; i < kControls.size(); ++i) {
        items[i] = kControls[i].item;
    }
    CreateDialogItems(*this, items);
    const auto button = [this](int32_t id, void (CDialogTrack::*action)()) {
        connect(Control<QPushButton>(id), &QPushButton::clicked, this, action);
    };
    button(kSave, &CDialogTrack::OnSave);
    button(kLoad, &CDialogTrack::OnLoad);
    button(kSelectAll, &CDialogTrack::OnSelectAll);
    button(kUnselectAll, &CDialogTrack::OnUnselectAll);
    for (int32_t n = 0; n < Model::kSeriesCount; ++n) {
        m_series[static_cast<size_t>(n)] = Control<QCheckBox>(kSeriesFirst + n);
    }
    m_autoscale = Control<QCheckBox>(kAutoscale);
    for (QCheckBox* box : m_series) {
        connect(box, &QCheckBox::clicked, this, &CDialogTrack::OnSeriesClicked);
    }
    connect(m_autoscale, &QCheckBox::clicked, this, &CDialogTrack::OnSeriesClicked);

    m_templateSize = DluRect(0, 0, kTemplateWidth, kTemplateHeight).size();
    m_templateHost = DluRect(71, 7, 402, 241);
    m_templateScrollBar = DluRect(71, 249, 402, 11);
    m_host = new CStaticTrack(this);
    m_host->setGeometry(m_templateHost);
    RegisterControl(kChart, m_host);
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->setGeometry(m_templateScrollBar);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(10);
    RegisterControl(kScrollBar, m_scrollBar);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &CDialogTrack::OnScroll);
    resize(m_templateSize);
}

QCheckBox* CDialogTrack::SeriesBox(int32_t series) const {
    return series >= 0 && series < Model::kSeriesCount ? m_series[static_cast<size_t>(series)]
                                                       : nullptr;
}

void CDialogTrack::Recaption() {
    CTextTable::Process().SetControlTexts(this, CaptionList());
    // The boxes are as narrow as the page's template makes them; a caption
    // that is wider in this font (and language) gets a smaller font rather
    // than being cut off.
    for (const CTextTable::ControlText& c : CaptionList()) {
        if (auto* box = Control<QCheckBox>(c.controlId)) {
            FitCaption(*box);
        }
    }
}

void CDialogTrack::FitCaption(QAbstractButton& button) const {
    QFont f = font();
    button.setFont(f);
    while (button.sizeHint().width() > button.width() && f.pointSizeF() > kSmallestCaptionPoints) {
        f.setPointSizeF(f.pointSizeF() - 0.5);
        button.setFont(f);
    }
}

int32_t CDialogTrack::RecordCount() const {
    CDeviceECUTracker& tracker = m_ecu.tracker();
    CMLockGuard lock(tracker.getLock());
    return tracker.GetCount();
}

// --- the scrollbar -----------------------------------------------------------

void CDialogTrack::SetScrollBar(int32_t maximum, int32_t position) {
    m_settingScrollBar = true;
    m_scrollBar->setRange(0, std::max(maximum, 0));
    m_scrollBar->setValue(position);
    m_settingScrollBar = false;
}

void CDialogTrack::SyncScrollBar() {
    const int32_t maximum = m_chart.maximumScroll();
    SetScrollBar(maximum, maximum - m_chart.scrollIndex());
}

void CDialogTrack::OnScroll(int32_t position) {
    if (m_settingScrollBar) {
        return;
    }
    m_chart.setScroll(m_scrollBar->maximum() - position);
}

void CDialogTrack::RecordsChanged() {
    // The thumb stays maximum - scroll index from the right end, so a view of
    // the newest records stays at the right end; a view scrolled back keeps
    // its records, and its thumb moves left as the range grows.
    m_chart.recordsChanged();
    m_chart.present();
    SyncScrollBar();
}

void CDialogTrack::SetLoading(bool loading) {
    m_chart.setLoading(loading ? 1 : 0);
}

void CDialogTrack::Reset() {
    m_chart.setLoading(0);
    m_chart.recordsChanged();
    m_chart.present();
    SyncScrollBar();
}

// --- series ------------------------------------------------------------------

void CDialogTrack::ApplyMask() {
    uint32_t mask = 0;
    for (int32_t n = 0; n < Model::kSeriesCount; ++n) {
        if (m_series[static_cast<size_t>(n)]->isChecked()) {
            mask |= 1u << n;
        }
    }
    if (m_autoscale->isChecked()) {
        mask |= Model::kAutoscaleBit;
    }
    m_chart.setSeriesMask(mask);
    m_chart.present();
}

void CDialogTrack::OnSeriesClicked() {
    ApplyMask();
}

void CDialogTrack::OnSelectAll() {
    for (QCheckBox* box : m_series) {
        box->setChecked(true);
    }
    ApplyMask();
}

void CDialogTrack::OnUnselectAll() {
    for (QCheckBox* box : m_series) {
        box->setChecked(false);
    }
    ApplyMask();
}

// --- files -------------------------------------------------------------------

void CDialogTrack::OnSave() {
    if (RecordCount() == 0) {
        (void)UiServices().MessageBox(
            this, QString::fromUtf8(kNoData), QString(), IUiServices::kOk);
        return;
    }
    // The dialog is open without the tracker's lock: the record thread goes on
    // storing records meanwhile, and they are saved too.
    const QString path = UiServices().GetSaveFileName(this, LogFileDialog(true));
    if (path.isEmpty()) {
        return;
    }
    int saved = 0;
    bool empty = false;
    std::string error;
    {
        CDeviceECUTracker& tracker = m_ecu.tracker();
        CMLockGuard lock(tracker.getLock());
        // The unit may have gone offline (clearing the log) meanwhile.
        empty = tracker.GetCount() == 0;
        if (!empty) {
            saved = tracker.save(path.toStdString(), &error);
        }
    }
    if (empty) {
        (void)UiServices().MessageBox(
            this, QString::fromUtf8(kNoData), QString(), IUiServices::kOk);
    } else if (saved == 1) {
        (void)UiServices().MessageBox(this, QString::fromUtf8(kSaved), QString(), IUiServices::kOk);
    } else {
        (void)UiServices().MessageBox(this,
                                      QString::fromStdString(error),
                                      QString(),
                                      IUiServices::kOk | IUiServices::kIconError);
    }
}

void CDialogTrack::OnLoad() {
    const QString path = UiServices().GetOpenFileName(this, LogFileDialog(false));
    if (!path.isEmpty()) {
        LoadFile(path);
    }
}

void CDialogTrack::LoadFile(const QString& path) {
    std::string error;
    // load takes the tracker's lock itself; the chart must not hold it.
    const int loaded = m_ecu.tracker().load(path.toStdString(), &error);
    // A failed load may still have replaced the log with what was read.
    const int32_t maximum = m_chart.maximumScroll();
    SetScrollBar(maximum, maximum);
    // The thumb is at the newest records; so is the view.
    if (m_chart.scrollIndex() != 0) {
        m_chart.setScroll(0);
    } else {
        m_chart.present();
    }
    if (loaded != 1) {
        (void)UiServices().MessageBox(this,
                                      QString::fromStdString(error),
                                      QString(),
                                      IUiServices::kOk | IUiServices::kIconError);
    }
}

void CDialogTrack::OnDropFiles(const QStringList& paths) {
    if (!paths.isEmpty()) {
        LoadFile(paths.front());
    }
}

// --- mouse -------------------------------------------------------------------

void CDialogTrack::OnChartButtonDown(const QPoint& point) {
    m_chart.buttonDown(point.x(), point.y());
}

void CDialogTrack::OnChartButtonUp(const QPoint& point) {
    m_chart.buttonUp(point.x(), point.y());
}

void CDialogTrack::OnChartMouseMove(const QPoint& point) {
    (void)m_chart.mouseMove(point.x(), point.y());
    // A drag moves the thumb with the records.
    const int32_t maximum = m_scrollBar->maximum();
    SetScrollBar(maximum, maximum - m_chart.scrollIndex());
}

void CDialogTrack::OnChartWheel(int32_t delta) {
    if (m_chart.zoom(delta)) {
        SyncScrollBar();
        m_chart.present();
    }
}

void CDialogTrack::OnDoubleClick() {
    m_ecu.abortDownload(true);
}

void CDialogTrack::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnChartButtonDown(event->position().toPoint());
    }
}

void CDialogTrack::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnChartButtonUp(event->position().toPoint());
    }
}

void CDialogTrack::mouseMoveEvent(QMouseEvent* event) {
    OnChartMouseMove(event->position().toPoint());
}

void CDialogTrack::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnDoubleClick();
    }
}

void CDialogTrack::closeEvent(QCloseEvent* event) {
    event->ignore();
}

// --- size --------------------------------------------------------------------

void CDialogTrack::resizeEvent(QResizeEvent* event) {
    CPanelDialog::resizeEvent(event);
    const int32_t dw = width() - m_templateSize.width();
    const int32_t dh = height() - m_templateSize.height();
    // Top-left fixed, right and bottom edges follow the page.
    m_host->setGeometry(m_templateHost.x(),
                        m_templateHost.y(),
                        std::max(1, m_templateHost.width() + dw),
                        std::max(1, m_templateHost.height() + dh));
    m_scrollBar->setGeometry(m_templateScrollBar.x(),
                             m_templateScrollBar.y() + dh,
                             std::max(1, m_templateScrollBar.width() + dw),
                             m_templateScrollBar.height());
    m_chart.relayout();
}
