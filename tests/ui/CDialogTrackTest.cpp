// The "Historic records" page: on the main window against the simulated ECU
// over the socket link (download, scrollbar, arriving records, saving and
// loading engine_log.csv, aborting the bulk phase), and on its own for the
// check boxes, drops, captions and the size rule.

#include "ui/panels/CDialogTrack.h"
#include "EcuWindowRig.h"
#include "Fakes.h"
#include "ecu/CDeviceECU.h"
#include "foundation/CMMutex.h"
#include "records/CDeviceECUTracker.h"
#include "ui/CTabCtrl.h"
#include "ui/panels/CStaticTrack.h"

#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

// The services of a test, also counting save dialogs and running a step
// while one is open.
class TrackServices : public ScriptedUiServices {
public:
    int saveDialogs = 0;
    std::function<void()> whileSaveDialogOpen;
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override {
        ++saveDialogs;
        lastSpec = spec;
        if (whileSaveDialogOpen) {
            whileSaveDialogOpen();
        }
        return ScriptedUiServices::GetSaveFileName(parent, spec);
    }
    bool Said(const char* utf8) const {
        for (const Box& b : boxes) {
            if (b.text == QString::fromUtf8(utf8)) {
                return true;
            }
        }
        return false;
    }
    FileDialogSpec lastSpec;
};

// The main window with the tool's own pages against the simulated ECU, shown
// on the history page.
struct TrackWindowRig : EcuWindowRig {
    TrackWindowRig()
        : EcuWindowRig(sim::SimEcuConfig{}, true) {
        window->show();
        (void)window->Tab()->SetCurSel(CTurbexDlg::kPanelTrack);
        window->OnTabChange(CTurbexDlg::kPanelTrack);
        page = dynamic_cast<CDialogTrack*>(window->Panel(CTurbexDlg::kPanelTrack));
    }
    CDeviceECU& Ecu() const { return ecu->Ecu(); }
    int32_t Count() const {
        CMLockGuard lock(Ecu().tracker().getLock());
        return Ecu().tracker().GetCount();
    }
    uint32_t CounterAt(int32_t index) const {
        CMLockGuard lock(Ecu().tracker().getLock());
        const CDeviceECUTItem* r = Ecu().tracker().getItem(index);
        return r != nullptr ? r->counter : 0xFFFFFFFFu;
    }
    // The stored log downloaded and announced (304 off reached the page).
    bool WaitDownloaded(int32_t records) {
        return QTest::qWaitFor(
            [&] {
                return Count() == records && !Ecu().downloading() && page->Chart().loading() == 0;
            },
            20000);
    }
    void Append(int32_t records) {
        system.bus.WithLock([&] {
            for (int32_t i = 0; i < records; ++i) {
                sim::RunLogSample s;
                s.engine_rpm = 50000 + 100 * i;
                (void)system.runLog.Append(s);
            }
        });
    }
    QScrollBar& Bar() const { return *page->ScrollBar(); }

    CDialogTrack* page = nullptr;
};

std::string ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

int CountColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

TEST(CDialogTrackOnTheSimulatedEcu, TheDownloadFillsChartAndScrollbarAndArrivalsKeepTheView) {
    TrackWindowRig rig;
    ASSERT_NE(rig.page, nullptr) << "the window has no history page";
    rig.system.Prefill(600, 7);
    ASSERT_TRUE(rig.WaitDownloaded(600));
    CGraphTrack& chart = rig.page->Chart();
    const int32_t maximum = chart.maximumScroll();
    ASSERT_GT(maximum, 0);
    EXPECT_EQ(rig.Bar().maximum(), maximum);
    EXPECT_EQ(rig.Bar().value(), maximum); // the right end: the newest records
    EXPECT_EQ(chart.scrollIndex(), 0);
    // The chart shows the curves (RPM green) and the count.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return CountColour(rig.page->ChartHost()->Shown(), qRgb(0, 200, 0)) > 100; }));

    // Scrolled back 50 records with the scrollbar, arriving records keep the
    // same records in view; the thumb keeps its place as the range grows.
    rig.Bar().setValue(maximum - 50);
    EXPECT_EQ(chart.scrollIndex(), 50);
    const uint32_t shown = rig.CounterAt(50);
    rig.Append(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Bar().maximum() == maximum + 5; }, 10000));
    EXPECT_EQ(chart.scrollIndex(), 55);
    EXPECT_EQ(rig.CounterAt(chart.scrollIndex()), shown);
    EXPECT_EQ(rig.Bar().value(), maximum - 50);

    // At the right end the view follows the newest records.
    rig.Bar().setValue(rig.Bar().maximum());
    EXPECT_EQ(chart.scrollIndex(), 0);
    rig.Append(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Bar().maximum() == maximum + 8; }, 10000));
    EXPECT_EQ(chart.scrollIndex(), 0);
    EXPECT_EQ(rig.Bar().value(), maximum + 8);
    EXPECT_EQ(rig.Count(), 608);
}

TEST(CDialogTrackOnTheSimulatedEcu, SaveThenLoadReproducesTheFileAndTheDialogLeavesTheLogUnlocked) {
    TrackServices services;
    QTemporaryDir dir;
    TrackWindowRig rig;
    ASSERT_NE(rig.page, nullptr);
    rig.system.Prefill(300, 4);
    ASSERT_TRUE(rig.WaitDownloaded(300));

    // While the save dialog is open the record thread keeps storing: a record
    // the running engine adds meanwhile is stored and saved too.
    services.savePath = dir.filePath("engine_log.csv");
    bool unlocked = false;
    services.whileSaveDialogOpen = [&] {
        CMMutex& lock = rig.Ecu().tracker().getLock();
        unlocked = lock.TryLock(0) == 1;
        if (unlocked) {
            lock.Unlock();
        }
        rig.Append(1);
        for (int i = 0; i < 500 && rig.Count() < 301; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    rig.page->Control<QPushButton>(CDialogTrack::kSave)->click();
    EXPECT_EQ(services.saveDialogs, 1);
    EXPECT_TRUE(unlocked) << "the tracker is locked while the save dialog is open";
    EXPECT_EQ(services.lastSpec.fileName, QStringLiteral("engine_log.csv"));
    EXPECT_TRUE(services.lastSpec.promptOverwrite);
    EXPECT_TRUE(services.Said("保存成功"));
    const std::string saved = ReadFile(services.savePath);
    EXPECT_EQ(rig.Count(), 301);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 2 + 301);
    EXPECT_EQ(saved.rfind("version,4,4\r\n", 0), 0u);

    // Load it back (the view goes to the newest records), save again: the
    // same bytes.
    rig.Bar().setValue(0);
    services.openPath = services.savePath;
    rig.page->Control<QPushButton>(CDialogTrack::kLoad)->click();
    EXPECT_EQ(rig.Count(), 301);
    EXPECT_EQ(rig.Bar().value(), rig.Bar().maximum());
    EXPECT_EQ(rig.page->Chart().scrollIndex(), 0);
    services.whileSaveDialogOpen = nullptr;
    services.savePath = dir.filePath("again.csv");
    rig.page->Control<QPushButton>(CDialogTrack::kSave)->click();
    EXPECT_EQ(ReadFile(services.savePath), saved);
}

TEST(CDialogTrackOnTheSimulatedEcu, ADoubleClickOnThePageEndsTheBulkPhase) {
    TrackWindowRig rig;
    ASSERT_NE(rig.page, nullptr);
    QTest::mouseDClick(rig.page->ChartHost(), Qt::LeftButton, {}, QPoint(50, 50));
    rig.system.Prefill(400, 2);
    // The bulk phase opens and is closed at its first read.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rig.system.runLog.GetPhase() == sim::SimRunLog::Phase::Follow; }, 20000));
    EXPECT_EQ(rig.Count(), 0);
}

// --- the page on its own ------------------------------------------------------

struct PageRig {
    CDeviceECU ecu; // no device: its threads wait, the log is the test's
    CDialogTrack page{ecu};

    void Fill(int32_t records, uint32_t first = 0) {
        CMLockGuard lock(ecu.tracker().getLock());
        for (int32_t i = 0; i < records; ++i) {
            CDeviceECUTItem r;
            r.counter = first + static_cast<uint32_t>(i);
            r.engine_rpm = 1000 + i;
            (void)ecu.tracker().addCopy(r);
        }
    }
    int32_t Count() {
        CMLockGuard lock(ecu.tracker().getLock());
        return ecu.tracker().GetCount();
    }
    QCheckBox* Box(int32_t series) { return page.SeriesBox(series); }
};

TEST(CDialogTrack, TheCheckBoxesGiveTheSeriesMask) {
    PageRig rig;
    for (int32_t n = 0; n < CGraphTrackModel::kSeriesCount; ++n) {
        EXPECT_TRUE(rig.Box(n)->isChecked()) << n;
    }
    auto* autoscale = rig.page.Control<QCheckBox>(CDialogTrack::kAutoscale);
    EXPECT_FALSE(autoscale->isChecked());
    EXPECT_EQ(rig.page.Chart().seriesMask(), CGraphTrackModel::kInitialMask);

    rig.Box(4)->click();  // pump voltage off
    rig.Box(17)->click(); // starter RPM off
    EXPECT_EQ(rig.page.Chart().seriesMask(), 0x3FFFFu & ~(1u << 4) & ~(1u << 17));
    autoscale->click();
    EXPECT_EQ(rig.page.Chart().seriesMask(), 0x8003FFFFu & ~(1u << 4) & ~(1u << 17));
    rig.page.Control<QPushButton>(CDialogTrack::kUnselectAll)->click();
    EXPECT_EQ(rig.page.Chart().seriesMask(), 0x80000000u); // Autoscale is left alone
    EXPECT_TRUE(autoscale->isChecked());
    rig.Box(9)->click();
    EXPECT_EQ(rig.page.Chart().seriesMask(), 0x80000000u | (1u << 9));
    rig.page.Control<QPushButton>(CDialogTrack::kSelectAll)->click();
    EXPECT_EQ(rig.page.Chart().seriesMask(), 0x8003FFFFu);
    autoscale->click();
    EXPECT_EQ(rig.page.Chart().seriesMask(), 0x3FFFFu);
}

TEST(CDialogTrack, SavingAnEmptyLogSaysNoDataAndWritesNothing) {
    TrackServices services;
    QTemporaryDir dir;
    services.savePath = dir.filePath("engine_log.csv");
    PageRig rig;
    rig.page.Control<QPushButton>(CDialogTrack::kSave)->click();
    EXPECT_TRUE(services.Said("没有数据！"));
    EXPECT_EQ(services.saveDialogs, 0);
    EXPECT_FALSE(QFile::exists(services.savePath));
    // The log emptied while the dialog was open (the unit went offline).
    rig.Fill(3);
    services.boxes.clear();
    services.whileSaveDialogOpen = [&] {
        CMLockGuard lock(rig.ecu.tracker().getLock());
        rig.ecu.tracker().clear();
    };
    rig.page.Control<QPushButton>(CDialogTrack::kSave)->click();
    EXPECT_EQ(services.saveDialogs, 1);
    EXPECT_TRUE(services.Said("没有数据！"));
    EXPECT_FALSE(QFile::exists(services.savePath));
}

TEST(CDialogTrack, AFailedSaveOrLoadIsReportedAndACancelledOneChangesNothing) {
    TrackServices services;
    QTemporaryDir dir;
    PageRig rig;
    rig.Fill(10);
    services.savePath = dir.filePath("no such folder/engine_log.csv");
    rig.page.Control<QPushButton>(CDialogTrack::kSave)->click();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_NE(services.boxes[0].type & IUiServices::kIconError, 0u);
    EXPECT_FALSE(services.Said("保存成功"));
    services.boxes.clear();
    services.openPath = dir.filePath("missing.csv");
    rig.page.Control<QPushButton>(CDialogTrack::kLoad)->click();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(rig.Count(), 10); // a file that cannot be opened leaves the log
    services.boxes.clear();
    services.openPath.clear(); // cancelled
    services.savePath.clear();
    rig.page.Control<QPushButton>(CDialogTrack::kLoad)->click();
    rig.page.Control<QPushButton>(CDialogTrack::kSave)->click();
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(rig.Count(), 10);
}

TEST(CDialogTrack, ADropOfTwoFilesLoadsTheFirst) {
    TrackServices services;
    QTemporaryDir dir;
    const QString first = dir.filePath("first.csv");
    const QString second = dir.filePath("second.csv");
    {
        PageRig maker;
        maker.Fill(3);
        ASSERT_EQ(maker.ecu.tracker().save(first.toStdString()), 1);
        maker.Fill(5, 100);
        ASSERT_EQ(maker.ecu.tracker().save(second.toStdString()), 1);
    }
    PageRig rig;
    rig.Fill(40);
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    CStaticTrack* host = rig.page.ChartHost();
    // As a drag from a file manager arrives: enter, then drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(host, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(host, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(rig.Count(), 3);
    EXPECT_TRUE(services.boxes.empty());
    delete mime;
}

TEST(CDialogTrack, CaptionsFollowTheLanguage) {
    PageRig rig;
    CTextTable::Process().SetLanguage(CTextTable::kChinese);
    rig.page.Recaption();
    EXPECT_EQ(rig.page.GetDlgItemText(CDialogTrack::kSave), QStringLiteral("保存到文件"));
    EXPECT_EQ(rig.Box(4)->text(), QStringLiteral("油泵 - 电压"));
    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    rig.page.Recaption();
    EXPECT_EQ(rig.page.GetDlgItemText(CDialogTrack::kLoad), QStringLiteral("Load From File"));
    EXPECT_EQ(rig.Box(6)->text(), QStringLiteral("BatteryVoltage"));
    EXPECT_EQ(rig.page.GetDlgItemText(CDialogTrack::kUnselectAll), QStringLiteral("UnSelect All"));
    // Every caption fits its box, shrunk if it must be.
    for (int32_t n = 0; n < CGraphTrackModel::kSeriesCount; ++n) {
        EXPECT_LE(rig.Box(n)->sizeHint().width(), rig.Box(n)->width()) << n;
    }
}

TEST(CDialogTrack, ResizingMovesTheChartsRightAndBottomEdgesAndTheScrollbar) {
    PageRig rig;
    rig.page.show();
    const QSize start = rig.page.size();
    const QRect host = rig.page.ChartHost()->geometry();
    const QRect bar = rig.page.ScrollBar()->geometry();
    rig.page.resize(start + QSize(120, 60));
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.page.ChartHost()->geometry(), host.adjusted(0, 0, 120, 60));
    EXPECT_EQ(rig.page.ScrollBar()->geometry(), bar.translated(0, 60).adjusted(0, 0, 120, 0));
    EXPECT_EQ(rig.page.Chart().model().GetLayout().plot.right, host.width() + 120 - 10);
    EXPECT_EQ(rig.page.Chart().model().GetLayout().plot.bottom, host.height() + 60 - 20);
}

TEST(CDialogTrack, TheScrollbarAndTheWheelMoveAndZoomTheView) {
    PageRig rig;
    rig.Fill(2000);
    rig.page.show();
    rig.page.RecordsChanged();
    CGraphTrack& chart = rig.page.Chart();
    QScrollBar& bar = *rig.page.ScrollBar();
    const int32_t maximum = chart.maximumScroll();
    EXPECT_EQ(bar.maximum(), maximum);
    EXPECT_EQ(bar.value(), maximum);
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(chart.scrollIndex(), 10);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(chart.scrollIndex(), 9);
    bar.triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(chart.scrollIndex(), maximum);
    // Zooming in shows fewer records: the range grows, the thumb follows.
    rig.page.OnChartWheel(120);
    EXPECT_EQ(chart.zoomStep(), 5);
    EXPECT_GT(bar.maximum(), maximum);
    EXPECT_EQ(bar.value(), bar.maximum() - chart.scrollIndex());
    // A drag moves the thumb with the view.
    const QRect host = rig.page.ChartHost()->geometry();
    const QPoint middle = host.center();
    const int32_t before = chart.scrollIndex();
    rig.page.OnChartButtonDown(middle);
    rig.page.OnChartMouseMove(middle - QPoint(50, 0)); // to the left: newer records
    rig.page.OnChartButtonUp(middle - QPoint(50, 0));
    EXPECT_EQ(chart.scrollIndex(), before - 10);
    EXPECT_EQ(bar.value(), bar.maximum() - chart.scrollIndex());

    // Offline: the log was cleared; the range goes, and the loading text.
    rig.page.SetLoading(true);
    EXPECT_EQ(chart.loading(), 1);
    {
        CMLockGuard lock(rig.ecu.tracker().getLock());
        rig.ecu.tracker().clear();
    }
    rig.page.Reset();
    EXPECT_EQ(chart.loading(), 0);
    EXPECT_EQ(bar.maximum(), 0);
    EXPECT_EQ(chart.scrollIndex(), 0);
    // The page closes only with the window: Escape does not hide it.
    QTest::keyClick(&rig.page, Qt::Key_Escape);
    EXPECT_TRUE(rig.page.isVisible());
}

} // namespace
