// The "RPM for BLDC Pump" page on its own: the recording countdown on its
// 20 ms timer (stepped by calling the handler), the redraws, clearing and the
// pump_rpm.csv export.

#include "ui/panels/CDialogPump.h"
#include "PageServices.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int32_t kStop = 0;
constexpr int32_t kRun = 2;

struct ShownPumpPage : ShownPage<CDialogPump> {
    void Tick() { page.OnTimer(CDialogPump::kRecordTimer); }
};

TEST(CDialogPump, TheTimerRunsOnlyWhileThePageIsShown) {
    CDialogPump page;
    EXPECT_EQ(page.GetDlgItemText(CDialogPump::kClearButton), "清除记录");
    EXPECT_EQ(page.GetDlgItemText(CDialogPump::kSaveButton), "保存数据");
    EXPECT_FALSE(page.HasTimer(CDialogPump::kRecordTimer));
    page.show();
    EXPECT_TRUE(page.HasTimer(CDialogPump::kRecordTimer));
    page.hide();
    EXPECT_FALSE(page.HasTimer(CDialogPump::kRecordTimer));
}

TEST(CDialogPump, RecordsSeventyFiveTicksAfterThePumpStopsAndRedrawsWhatChanged) {
    ShownPumpPage p;
    p.page.AddSample(kRun, 21000, 1150);
    for (int32_t tick = 0; tick < CPumpRecorder::kRecordingTicks; ++tick) {
        p.page.AddSample(kStop, 0, 0);
        const qint64 key = p.ShownKey();
        p.Tick();
        ASSERT_NE(p.ShownKey(), key) << tick; // a new sample: drawn
    }
    p.page.AddSample(kStop, 0, 0);
    EXPECT_EQ(p.page.Recorder().Count(), 1 + CPumpRecorder::kRecordingTicks);

    // Ticks that bring nothing new draw nothing; a clear or a new size does.
    qint64 key = p.ShownKey();
    p.Tick();
    p.Tick();
    EXPECT_EQ(p.ShownKey(), key);
    p.page.OnClear();
    p.Tick();
    EXPECT_NE(p.ShownKey(), key);
    key = p.ShownKey();
    const QSize frame = p.page.Chart()->size();
    p.page.resize(p.page.size() + QSize(8, -6)); // the frame's edges follow
    EXPECT_EQ(p.page.Chart()->size(), frame + QSize(8, -6));
    p.Tick();
    EXPECT_NE(p.ShownKey(), key);
    EXPECT_EQ(p.page.Chart()->Shown().size(), p.page.Chart()->size());
}

TEST(CDialogPump, WhileHiddenTheCountdownDoesNotRunDown) {
    ShownPumpPage p;
    p.page.AddSample(kRun, 21000, 1150);
    p.page.hide();
    // No timer while hidden: a stopped pump keeps being recorded.
    for (int32_t i = 0; i < 200; ++i) {
        p.page.AddSample(kStop, 0, 0);
    }
    EXPECT_EQ(p.page.Recorder().Count(), 201);
    EXPECT_EQ(p.page.Recorder().Countdown(), CPumpRecorder::kRecordingTicks);
    // Shown again: the recording waits for a running pump.
    p.page.show();
    p.page.AddSample(kStop, 0, 0);
    EXPECT_EQ(p.page.Recorder().Count(), 201);
}

TEST(CDialogPump, ClearEmptiesTheRecordingAndResetsTheAxes) {
    ShownPumpPage p;
    p.page.AddSample(kRun, 30000, 1205);
    p.page.Control<QPushButton>(CDialogPump::kClearButton)->click();
    EXPECT_EQ(p.page.Recorder().Count(), 0);
    p.page.Recorder().Read([](const CPumpSamples& s) {
        EXPECT_EQ(s.RpmMaximum(), 300);
        EXPECT_EQ(s.VoltageMaximum(), 100);
    });
}

TEST(CDialogPump, SaveSaysNoDataOrWritesTheRecordingAndConfirms) {
    PageServices services;
    ShownPumpPage p;
    services.savePath = services.Path("pump_rpm.csv");
    p.page.Control<QPushButton>(CDialogPump::kSaveButton)->click();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "没有数据！");
    EXPECT_TRUE(services.saveDialogs.empty());
    EXPECT_EQ(PageServices::Read(services.savePath), "<missing>");

    p.page.AddSample(kRun, 21500, 1205);
    p.page.AddSample(kStop, 120, 7);
    PageServices::Write(services.savePath, "older");
    p.page.OnSave();
    ASSERT_EQ(services.saveDialogs.size(), 1u);
    EXPECT_EQ(services.saveDialogs[0].fileName, "pump_rpm.csv");
    EXPECT_EQ(services.saveDialogs[0].filter, "pump_rpm (*.csv)|*.csv||");
    EXPECT_EQ(services.saveDialogs[0].title, "Select File");
    EXPECT_TRUE(services.saveDialogs[0].promptOverwrite);
    EXPECT_EQ(PageServices::Read(services.savePath), "21500,12.05\r\n120,0.07\r\n");
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[1].text, "保存成功");

    // A file that cannot be written is reported, not confirmed.
    services.savePath = services.Path("missing-folder/pump_rpm.csv");
    p.page.OnSave();
    ASSERT_EQ(services.boxes.size(), 3u);
    EXPECT_EQ(services.boxes[2].type & 0xF0, IUiServices::kIconError);
}

TEST(CDialogPump, EscapeAndCloseRequestsDoNotCloseThePage) {
    ShownPumpPage p;
    QTest::keyClick(&p.page, Qt::Key_Escape);
    EXPECT_FALSE(p.page.close());
    EXPECT_TRUE(p.page.isVisible());
    EXPECT_TRUE(p.page.HasTimer(CDialogPump::kRecordTimer));
}

} // namespace
