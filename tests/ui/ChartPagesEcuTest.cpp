// The RPM-vs-EGT and pump pages in the main window on the real ECU protocol
// object, fed over the socket link by the simulated ECU while its engine is
// started and driven through its RPM range one bin at a time.

#include "EcuWindowRig.h"
#include "PageServices.h"
#include "charts/CGraphPump.h"
#include "charts/CGraphRpmTemp.h"
#include "charts/qt/CCanvasWidget.h"
#include "foundation/StringPrintf.h"
#include "ui/CTabCtrl.h"
#include "ui/panels/CDialogPump.h"
#include "ui/panels/CDialogRpmTemp.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <sstream>

namespace {

constexpr int32_t kIdle = 40000;
constexpr int32_t kMax = 50000; // 11 bins

std::string Row(int32_t rpm, const RpmTempBin& b) {
    return StringPrintf(
        "%d,%d,%d,%.02f", rpm, b.egt, b.pumpMillivolts, static_cast<double>(b.thrust));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

struct PagesRig : EcuWindowRig {
    PagesRig()
        : EcuWindowRig(sim::SimEcuConfig{}, /*withPages=*/true, [](sim::SimEcuSystem& s) {
            auto& p = s.ecu.Store().Parameters();
            p.runIdleRpm = kIdle;
            p.runMaxRpm = kMax;
            s.ecu.ApplyParametersToModel();
        }) {
        window->show();
        rpm = dynamic_cast<CDialogRpmTemp*>(window->Panel(CTurbexDlg::kPanelRpmTemp));
        pump = dynamic_cast<CDialogPump*>(window->Panel(CTurbexDlg::kPanelPump));
    }
    void SelectTab(int32_t index) {
        (void)window->Tab()->SetCurSel(index);
        window->OnTabChange(index);
    }
    template <typename F>
    void WithEngine(F f) {
        system.bus.WithLock([&] { f(system.ecu.Model()); });
    }
    sim::LiveValues Encoded() {
        sim::LiveValues v;
        system.bus.WithLock([&] { v = system.ecu.LastEncoded(); });
        return v;
    }
    // Starts the engine with the radio switch and waits for it to run at idle.
    bool StartEngine() {
        WithEngine([](sim::EngineModel& m) { m.SetSwitch(true); });
        system.Step(100);
        bool started = false;
        WithEngine([&](sim::EngineModel& m) { started = m.RequestStart(); });
        for (int i = 0; started && i < 120; ++i) {
            system.Step(500);
            uint8_t state = 0;
            WithEngine([&](sim::EngineModel& m) { state = m.State(); });
            if (state == sim::EngineState::Running) {
                return true;
            }
        }
        return false;
    }

    CDialogRpmTemp* rpm = nullptr;
    CDialogPump* pump = nullptr;
};

TEST(ChartPagesOnTheSimulatedEcu, TheEngineThroughItsRangeFillsEveryBinAndTheExports) {
    PageServices services;
    PagesRig rig;
    ASSERT_NE(rig.rpm, nullptr);
    ASSERT_NE(rig.pump, nullptr);
    // The range comes from the parameter block (302).
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.rpm->Bins().MinimumRpm() == kIdle; }, 10000));
    EXPECT_EQ(rig.rpm->Bins().MaximumRpm(), kMax);
    ASSERT_EQ(rig.rpm->Bins().BinCount(), 11);
    rig.SelectTab(CTurbexDlg::kPanelRpmTemp);
    ASSERT_TRUE(rig.StartEngine());

    // Hold the engine in the middle of each bin (the maximum itself for the
    // last) until that bin shows what the unit sent.
    std::vector<std::string> expected;
    for (int32_t j = 0; j < 11; ++j) {
        const double throttle = std::min(100.0, (1000.0 * j + 500.0) * 100.0 / (kMax - kIdle));
        rig.WithEngine([&](sim::EngineModel& m) { m.SetThrottle(throttle); });
        rig.system.Step(2500);
        std::string want;
        const bool shown = QTest::qWaitFor(
            [&] {
                const sim::LiveValues v = rig.Encoded();
                const RpmTempBin sent{v.egt,
                                      static_cast<int32_t>(v.pumpVoltageHundredths) * 10,
                                      static_cast<float>(v.thrustKg)};
                want = Row(kIdle + 1000 * j, sent);
                return rig.rpm->Bins().BinOf(v.rpm) == j &&
                       Row(kIdle + 1000 * j, rig.rpm->Bins().Bins()[static_cast<size_t>(j)]) ==
                           want;
            },
            3000);
        ASSERT_TRUE(shown) << "bin " << j << ": want " << want << ", have "
                           << Row(kIdle + 1000 * j, rig.rpm->Bins().Bins()[static_cast<size_t>(j)]);
        expected.push_back(want);
    }
    // The chart shows the EGT curve through the last bin.
    const QImage& chart = rig.rpm->Chart()->Shown();
    const RpmTempLayout l = RpmTempLayout::For({chart.width(), chart.height()});
    EXPECT_EQ(chart.pixel(l.BinX(10, 11) - 1, l.EgtY(rig.rpm->Bins().Bins()[10].egt)),
              qRgb(255, 0, 0));

    services.savePath = services.Path("rmp_vs_data.csv");
    rig.rpm->Control<QPushButton>(CDialogRpmTemp::kSaveButton)->click();
    const std::vector<std::string> lines = Lines(PageServices::Read(services.savePath));
    ASSERT_EQ(lines.size(), 3 + expected.size());
    EXPECT_EQ(lines[0], "MIN RPM,40000");
    EXPECT_EQ(lines[1], "MAX RPM,50000");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), expected);

    // The pump page recorded the running pump all along, as the unit sent it.
    rig.SelectTab(CTurbexDlg::kPanelPump);
    const sim::LiveValues last = rig.Encoded();
    ASSERT_EQ(last.mainPumpState, 2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            bool same = false;
            rig.pump->Recorder().Read([&](const CPumpSamples& s) {
                same =
                    s.Count() > 11 &&
                    s.At(s.Count() - 1) == PumpSample{last.mainPumpRpm, last.pumpVoltageHundredths};
            });
            return same;
        },
        3000));
    rig.pump->OnTimer(CDialogPump::kRecordTimer);
    const QImage& strip = rig.pump->Chart()->Shown();
    const PumpLayout pl = PumpLayout::For({strip.width(), strip.height()});
    int32_t rpmMaximum = 0;
    rig.pump->Recorder().Read([&](const CPumpSamples& s) { rpmMaximum = s.RpmMaximum(); });
    // At the newest sample itself: between it and the one before, the
    // curve's row depends on that one too (a pump still speeding up).
    EXPECT_EQ(strip.pixel(pl.plotRight, pl.RpmY(last.mainPumpRpm, rpmMaximum)), qRgb(118, 36, 255));

    services.savePath = services.Path("pump_rpm.csv");
    rig.pump->Control<QPushButton>(CDialogPump::kSaveButton)->click();
    const std::vector<std::string> pumpLines = Lines(PageServices::Read(services.savePath));
    EXPECT_EQ(static_cast<int32_t>(pumpLines.size()), rig.pump->Recorder().Count());
    ASSERT_FALSE(pumpLines.empty());
    EXPECT_EQ(pumpLines.back(),
              StringPrintf("%d,%d.%02d",
                           last.mainPumpRpm,
                           last.pumpVoltageHundredths / 100,
                           last.pumpVoltageHundredths % 100));
    ASSERT_FALSE(services.boxes.empty());
    EXPECT_EQ(services.boxes.back().text, "保存成功");
}

} // namespace
