// The "Real State" page: the frame that follows the page's size, hold by a
// double-click, draws that wait for the interval, the titles after a
// language switch, and the page fed by the main window from the simulated
// ECU over the socket link while its engine runs.

#include "ui/panels/CDialogCurrentState.h"
#include "EcuWindowRig.h"
#include "charts/qt/CCanvasWidget.h"
#include "foundation/CTextTable.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kRunning = 5; // ECU state code

bool ShowsSurface(CDialogCurrentState& page) {
    const ICanvas* surface = page.Graph().Surface();
    const QImage& shown = page.Frame()->Shown();
    if (surface == nullptr || shown.isNull() || shown.width() != surface->Size().width) {
        return false;
    }
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{30, 200}, std::pair{300, 40}}) {
        const CanvasColor c = surface->PixelAt(x, y);
        if (shown.pixel(x, y) != qRgb(RedOf(c), GreenOf(c), BlueOf(c))) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(CDialogCurrentState, FrameFollowsThePageSizeAndTheChartLaysOutAgain) {
    CDialogCurrentState page;
    page.resize(800, 400);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    EXPECT_EQ(page.Frame()->geometry(), QRect(0, 0, 800, 400));
    EXPECT_EQ(page.GetDlgItem(CDialogCurrentState::kFrame), page.Frame());
    EXPECT_EQ(page.Graph().GetLayout().size, (CanvasSize{800, 400}));
    for (const QSize size : {QSize(1000, 520), QSize(600, 300), QSize(900, 500)}) {
        page.resize(size);
        EXPECT_EQ(page.Frame()->geometry(), QRect(QPoint(0, 0), size));
        EXPECT_EQ(page.Graph().GetLayout().size, (CanvasSize{size.width(), size.height()}));
        EXPECT_EQ(page.Graph().Surface()->Size(), page.Graph().GetLayout().size);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return ShowsSurface(page); }));
}

TEST(CDialogCurrentState, LeftDoubleClickTogglesHoldAndResetEmptiesTheLines) {
    CDialogCurrentState page;
    page.resize(700, 400);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    page.SetStateLine("Running", 0x0000FF, 12.5f);
    page.SetAlternator(true, 13.9f);
    CLiveSample s;
    s.rpm = 50000;
    page.AddLiveSample(s);
    QTest::mouseDClick(page.Frame(), Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_TRUE(page.Graph().IsHold());
    page.AddLiveSample(s);
    EXPECT_EQ(page.Graph().Count(), 1); // held: dropped
    QTest::mouseDClick(page.Frame(), Qt::RightButton, {}, QPoint(300, 200));
    EXPECT_TRUE(page.Graph().IsHold());
    QTest::mouseDClick(page.Frame(), Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_FALSE(page.Graph().IsHold());
    page.AddLiveSample(s);
    EXPECT_EQ(page.Graph().Count(), 2);
    // Offline: the lines go, the samples stay.
    page.Reset();
    const CGraphDraw::StatusLines& lines = page.Graph().GetStatusLines();
    EXPECT_EQ(lines.line1Text, "");
    EXPECT_EQ(lines.line1Color, 0u);
    EXPECT_EQ(lines.current, 0.0f);
    EXPECT_FALSE(lines.alternatorShown);
    EXPECT_EQ(page.Graph().Count(), 2);
}

TEST(CDialogCurrentState, ASampleTooSoonAfterADrawIsDrawnOnceAllowed) {
    uint32_t now = 5000;
    CDialogCurrentState page(nullptr, [&] { return now; });
    page.resize(700, 400);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    CLiveSample s;
    s.rpm = 1000;
    now += 100;
    page.AddLiveSample(s);
    const uint32_t draws = page.Graph().DrawCount();
    s.rpm = 2000;
    now += 10;
    page.AddLiveSample(s); // within 50 ms: waits
    EXPECT_EQ(page.Graph().DrawCount(), draws);
    EXPECT_TRUE(page.Graph().IsDirty());
    now += 45; // the interval is over: the page's timer draws it
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.Graph().IsDirty(); }, 2000));
    EXPECT_EQ(page.Graph().DrawCount(), draws + 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ShowsSurface(page); }));
}

TEST(CDialogCurrentState, ShownAgainAfterALanguageSwitchItDrawsTheNewTitles) {
    CTextTable& texts = CTextTable::Process();
    const int32_t language = texts.GetLanguage();
    texts.SetLanguage(CTextTable::kEnglish);
    {
        CDialogCurrentState page;
        page.resize(700, 400);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        ASSERT_TRUE(QTest::qWaitFor([&] { return page.Graph().DrawCount() > 0; }));
        const uint32_t draws = page.Graph().DrawCount();
        // As the main window switches: its pages hidden, the language set,
        // the selected page shown again; no sample arrives.
        page.hide();
        texts.SetLanguage(CTextTable::kChinese);
        page.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return page.Graph().DrawCount() > draws; }));
    }
    texts.SetLanguage(language);
}

// --- fed by the main window -----------------------------------------------------

class CurrentStateOnTheSimulatedEcu : public ::testing::TestWithParam<bool> {};

TEST_P(CurrentStateOnTheSimulatedEcu, SamplesAreTheLiveStateAndScalesFollowTheParameters) {
    sim::SimEcuConfig config;
    config.format.generation = GetParam() ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    config.format.blockFormat = 3;
    config.switchOn = true;
    config.autoStart = true;
    config.throttle = 40.0;
    // The engine runs before the tool connects; the test then holds the
    // simulated time, so every telemetry set carries the same values.
    EcuWindowRig rig(config, /*withPages=*/true, [](sim::SimEcuSystem& system) {
        sim::EcuParameters& p = system.ecu.Store().Parameters();
        p.maxEgt = 850;
        p.runMaxRpm = 140000;
        p.egtCorrection = 12;
        system.ecu.ApplyParametersToModel();
        system.Step(40000);
    });
    rig.window->show();
    auto* page =
        dynamic_cast<CDialogCurrentState*>(rig.window->Panel(CTurbexDlg::kPanelCurrentState));
    ASSERT_NE(page, nullptr);
    const auto sent = [&] {
        sim::LiveValues v;
        rig.system.bus.WithLock([&] { v = rig.system.ecu.LastEncoded(); });
        return v;
    };
    const auto matches = [&] {
        CLiveSample s;
        const sim::LiveValues v = sent();
        return page->Graph().Newest(&s) && s.state == kRunning &&
               static_cast<int32_t>(s.rpm) == v.rpm && s.egt == v.egt + 12 &&
               s.pump_voltage == v.pumpVoltageHundredths &&
               s.thrust == static_cast<float>(v.thrustKg);
    };
    ASSERT_TRUE(QTest::qWaitFor(matches, 15000));
    const sim::LiveValues v = sent();
    ASSERT_EQ(v.engineState, kRunning);
    ASSERT_GT(v.rpm, 60000); // really running, at 40 % throttle
    EXPECT_GT(v.thrustKg, 1.0);
    EXPECT_GT(v.pumpVoltageHundredths, 50);
    EXPECT_EQ(page->Graph().GetStatusLines().line1Text, "Running");
    EXPECT_TRUE(page->Graph().GetStatusLines().alternatorShown);

    // The scales of the parameter block as read: maximum EGT, run maximum
    // RPM, 1000 x the pump voltage in volts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Graph().EgtBarScale() == 850; }, 5000));
    EXPECT_EQ(page->Graph().RpmBarScale(), 140000);
    CGraphDraw::Scales scales = page->Graph().GetScales();
    EXPECT_EQ(scales.egt, 850);
    EXPECT_EQ(scales.rpm, 140000);
    const float volts = rig.ecu->liveState().pump_voltage;
    EXPECT_EQ(scales.pumpVoltage, std::clamp(static_cast<int32_t>(1000.0f * volts), 100, 16300));

    // New parameters, read again: the scales follow.
    rig.system.bus.WithLock([&] {
        sim::EcuParameters& p = rig.system.ecu.Store().Parameters();
        p.maxEgt = 780;
        p.runMaxRpm = 160000;
    });
    rig.ecu->requestReread();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Graph().EgtBarScale() == 780; }, 5000));
    EXPECT_EQ(page->Graph().RpmBarScale(), 160000);
    scales = page->Graph().GetScales();
    EXPECT_EQ(scales.egt, 780);
    EXPECT_EQ(scales.rpm, 160000);

    // Offline: the page is reset and fed an all-zero sample.
    rig.bridge.Stop();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            CLiveSample s;
            return page->Graph().Newest(&s) && s.rpm == 0 && s.egt == 0 && s.thrust == 0.0f &&
                   s.pump_voltage == 0 && s.state == 0;
        },
        10000));
    EXPECT_EQ(page->Graph().GetStatusLines().line1Text, "");
    EXPECT_FALSE(page->Graph().GetStatusLines().alternatorShown);
}

INSTANTIATE_TEST_SUITE_P(BothGenerations,
                         CurrentStateOnTheSimulatedEcu,
                         ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "block" : "item"); });
