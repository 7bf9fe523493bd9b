#pragma once

#include "charts/CGraphTrack.h"
#include "foundation/CTextTable.h"
#include "ui/panels/CPanelDialog.h"
#include "ui/panels/IRecordsPanel.h"

#include <QStringList>

#include <array>
#include <cstdint>

class CDeviceECU;
class CStaticTrack;
class QAbstractButton;
class QCheckBox;
class QScrollBar;

// "Historic records": the run log of the connected ECU in the history chart
// (CGraphTrack), eighteen series check boxes and Autoscale, Select All and
// UnSelect All, a scrollbar over the records (its right end shows the
// newest), Save To File and Load From File for engine_log.csv, and a file
// dropped on the chart loads as Load From File does (the first of several).
// A double-click on the page ends the bulk phase of the record download.
//
// The main window feeds it through IRecordsPanel (303 records added, 304
// download on/off, offline, language). When the log grows the chart keeps
// its scroll index: a view of the newest records stays on the newest, a view
// scrolled back keeps the same records and its thumb moves left.
//
// Saving checks for records and writes under the tracker's lock, but opens
// the file dialog without it, so that the record thread keeps storing a
// running engine's records while the user looks for a folder.
//
// Thread safety: user-interface thread only; the tracker is shared with the
// record thread of CDeviceECU through its lock.
class CDialogTrack : public CPanelDialog, public IRecordsPanel {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kSave = 1000,
        kLoad = 1001,
        kSeriesFirst = 1010, // + series number 0..17
        kAutoscale = 1030,
        kSelectAll = 1031,
        kUnselectAll = 1032,
        kChart = 1040,
        kScrollBar = 1041,
    };
    static constexpr int32_t kCaptionCount = 23;
    // The page template, dialog units.
    static constexpr int32_t kTemplateWidth = 480;
    static constexpr int32_t kTemplateHeight = 264;
    // A check box caption too wide for its box is shrunk down to this size.
    static constexpr double kSmallestCaptionPoints = 6.0;

    // Initialises the page on ecu, which must outlive it.
    explicit CDialogTrack(CDeviceECU& ecu, QWidget* parent = nullptr);
    ~CDialogTrack() override;

    // The (control, text number) pairs of the page's captions.
    [[nodiscard]] static const std::array<CTextTable::ControlText, kCaptionCount>& CaptionList();

    // --- IRecordsPanel -------------------------------------------------------
    // The scrollbar's range follows the log; the chart's scroll index stays.
    void RecordsChanged() override;
    void SetLoading(bool loading) override;
    // Offline: the log was cleared; the chart and scrollbar follow, the
    // loading text goes.
    void Reset() override;
    void Recaption() override;

    // --- actions (the controls call them) ------------------------------------
    void OnSave();
    void OnLoad();
    // Loads path as Load From File does after its dialog.
    void LoadFile(const QString& path);
    void OnSeriesClicked();
    void OnSelectAll();
    void OnUnselectAll();
    void OnScroll(int32_t position);
    void OnDropFiles(const QStringList& paths);

    // Mouse over the chart or the page, in page coordinates.
    void OnChartButtonDown(const QPoint& point);
    void OnChartButtonUp(const QPoint& point);
    void OnChartMouseMove(const QPoint& point);
    void OnChartWheel(int32_t delta);
    void OnDoubleClick();

    // Records in the log now.
    [[nodiscard]] int32_t RecordCount() const;

    [[nodiscard]] CGraphTrack& Chart() { return m_chart; }
    [[nodiscard]] CStaticTrack* ChartHost() const { return m_host; }
    [[nodiscard]] QScrollBar* ScrollBar() const { return m_scrollBar; }
    [[nodiscard]] QCheckBox* SeriesBox(int32_t series) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The page closes only with the main window.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void FitCaption(QAbstractButton& button) const;
    void ApplyMask();
    // Range 0..maximum scroll and the thumb at maximum - scroll index, without
    // moving the chart.
    void SyncScrollBar();
    void SetScrollBar(int32_t maximum, int32_t position);

    CDeviceECU& m_ecu;
    CGraphTrack m_chart;
    CStaticTrack* m_host = nullptr;
    QScrollBar* m_scrollBar = nullptr;
    std::array<QCheckBox*, CGraphTrackModel::kSeriesCount> m_series{};
    QCheckBox* m_autoscale = nullptr;
    // The template geometry the size rule moves from.
    QSize m_templateSize;
    QRect m_templateHost;
    QRect m_templateScrollBar;
    bool m_settingScrollBar = false;
};
