// The engineering page on the real ECU protocol object against the simulated
// ECU over the socket link: the command frames the ECU receives, the values
// written back, the running state, the stop, the remaining time and the
// averages. The page's 100 ms timer is stepped by calling its handler.

#include "ui/panels/CDialogKvrw.h"
#include "EcuPanelRig.h"
#include "SimRig.h"
#include "foundation/StringPrintf.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using K = KvrwCommand::Kind;

constexpr int32_t kSetPoints[] = {
    CDialogKvrw::kPumpVoltage,
    CDialogKvrw::kPumpPressure,
    CDialogKvrw::kPumpTime,
    CDialogKvrw::kStarterVoltage,
    CDialogKvrw::kStarterTime,
    CDialogKvrw::kGlowVoltage,
    CDialogKvrw::kGlowTime,
    CDialogKvrw::kFrequency,
    CDialogKvrw::kValveTime,
    CDialogKvrw::kOxygenTime,
    CDialogKvrw::kPumpOffsetOff,
    CDialogKvrw::kPumpSupplyOff,
    CDialogKvrw::kPumpClosedLoopOff,
};
constexpr K kKinds[] = {K::kPump, K::kGlow, K::kStarter, K::kTick, K::kOpen, K::kOxygen};
const char* const kIdleCaptions[] = {"开始", "开始", "开始", "滴答测试", "常开测试", "开始"};

struct Page {
    explicit Page(CDeviceECU* ecu)
        : page(ecu) {
        page.KillTimer(CDialogKvrw::kTimer); // the test steps it
        page.show();
    }
    std::string Text(int32_t id) const { return page.GetDlgItemText(id).toStdString(); }
    void Set(int32_t id, const char* text) { page.SetDlgItemText(id, QString::fromUtf8(text)); }
    void Check(int32_t id, bool on) { page.Control<QAbstractButton>(id)->setChecked(on); }
    void Click(K kind) { page.Control<QPushButton>(CDialogKvrw::ButtonOf(kind))->click(); }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            page.OnTimer(CDialogKvrw::kTimer);
        }
    }
    CDialogKvrw page;
};

// Valid inputs for a kind, with a long time so that the test keeps running.
void Arm(Page& p, K kind) {
    switch (kind) {
    case K::kPump:
        p.Set(CDialogKvrw::kPumpVoltage, "2");
        p.Set(CDialogKvrw::kPumpTime, "30");
        break;
    case K::kGlow:
        p.Set(CDialogKvrw::kGlowVoltage, "3");
        p.Set(CDialogKvrw::kGlowTime, "30");
        break;
    case K::kStarter:
        p.Set(CDialogKvrw::kStarterVoltage, "4");
        p.Set(CDialogKvrw::kStarterTime, "30");
        break;
    case K::kTick:
    case K::kOpen:
        p.Set(CDialogKvrw::kValveTime, "30");
        break;
    case K::kOxygen:
        p.Set(CDialogKvrw::kOxygenTime, "30");
        break;
    }
}

int EngineState(EcuPanelRig& rig) {
    return rig.ecu().liveState().engine_state;
}

// The simulated engine takes a command in when it next moves.
void Settle(EcuPanelRig& rig) {
    rig.Do([&] { rig.system.ecu.Step(10); });
}

template <typename W, typename F>
std::vector<std::string> SortedTexts(const QWidget& page, F text) {
    std::vector<std::string> out;
    for (const W* w : page.findChildren<W*>()) {
        out.push_back(text(w).toStdString());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

// Every caption, unit and initial text as the page's template has them, each
// edit named by the label beside it (its buddy).
TEST(CDialogKvrw, CaptionsUnitsAndInitialTextsAreTheTemplates) {
    Page p(nullptr);
    const struct {
        int32_t id;
        const char* label;
        const char* text;
    } edits[] = {
        {CDialogKvrw::kCurrent, "当前电流:", "0"},
        {CDialogKvrw::kHighestCurrent, "最高电流:", "0.0"},
        {CDialogKvrw::kAverageCurrent, "5秒平均:", "0.0"},
        {CDialogKvrw::kRpm, "当前转速:", "0"},
        {CDialogKvrw::kAverageRpm, "5秒平均:", "0"},
        {CDialogKvrw::kFuelPressure, "油压:", "0.000"},
        {CDialogKvrw::kPumpVoltage, "输出电压:", "0.00"},
        {CDialogKvrw::kPumpPressure, "闭环压力:", "0.0000"},
        {CDialogKvrw::kPumpTime, "测试时间:", "0"},
        {CDialogKvrw::kStarterVoltage, "输出电压:", "0.00"},
        {CDialogKvrw::kStarterTime, "测试时间:", "0"},
        {CDialogKvrw::kGlowVoltage, "输出电压:", "0.00"},
        {CDialogKvrw::kGlowTime, "测试时间:", "0"},
        {CDialogKvrw::kFrequency, "开关频率:", "10"},
        {CDialogKvrw::kValveTime, "测试时间:", "5"},
        {CDialogKvrw::kOxygenTime, "测试时间:", "5"},
        {CDialogKvrw::kRemaining, "剩余时间:", ""},
    };
    std::vector<std::string> labels;
    for (const auto& e : edits) {
        SCOPED_TRACE(e.label);
        const QWidget* edit = p.page.GetDlgItem(e.id);
        ASSERT_NE(qobject_cast<const QLineEdit*>(edit), nullptr);
        EXPECT_EQ(p.Text(e.id), e.text);
        int named = 0;
        for (const QLabel* label : p.page.findChildren<QLabel*>()) {
            if (label->buddy() == edit) {
                ++named;
                EXPECT_EQ(label->text().toStdString(), e.label);
            }
        }
        EXPECT_EQ(named, 1);
        labels.emplace_back(e.label);
    }
    // The units: the measurement, the pump, starter, glow plug, the
    // frequency and the oxygen valve's time; none beside the fuel pressure,
    // the valves' time or the remaining time.
    for (const char* unit :
         {"A", "A", "A", "RPM", "RPM", "V", "MPa", "秒", "V", "秒", "V", "秒", "Hz", "秒"}) {
        labels.emplace_back(unit);
    }
    EXPECT_EQ(SortedTexts<QLabel>(p.page, [](const QLabel* l) { return l->text(); }),
              Sorted(labels));
    EXPECT_EQ(SortedTexts<QGroupBox>(p.page, [](const QGroupBox* g) { return g->title(); }),
              Sorted({"测量", "油泵", "启动电机", "火头测试", "油路电磁阀", "加氧电磁阀"}));
    EXPECT_EQ(SortedTexts<QCheckBox>(p.page, [](const QCheckBox* c) { return c->text(); }),
              Sorted({"关闭校准 - 功率偏移", "关闭校准 - 供电电压", "关闭校准 - 压力闭环"}));
    EXPECT_EQ(SortedTexts<QRadioButton>(p.page, [](const QRadioButton* r) { return r->text(); }),
              Sorted({"主油路", "点火"}));
    EXPECT_EQ(SortedTexts<QPushButton>(p.page, [](const QPushButton* b) { return b->text(); }),
              Sorted({"开始", "开始", "开始", "开始", "滴答测试", "常开测试"}));
    for (size_t i = 0; i < std::size(kKinds); ++i) {
        EXPECT_EQ(p.Text(CDialogKvrw::ButtonOf(kKinds[i])), kIdleCaptions[i]) << i;
    }
    EXPECT_EQ(p.page.Control<QPlainTextEdit>(CDialogKvrw::kNote)->toPlainText().toStdString(),
              "注意：\n1. 油泵测试闭环压力设置为0，则关闭油泵压力闭环。\n"
              "2. 电磁阀测试频率设置为0，则电磁阀常开。");
}

TEST(CDialogKvrw, StartButtonsSendTheirFramesAndShowTheClampedValues) {
    EcuPanelRig rig(EcuConfig(false));
    ASSERT_TRUE(rig.WaitReady());
    Page p(&rig.ecu());
    EXPECT_EQ(p.Text(CDialogKvrw::kPumpPressure), "0.0000"); // as the template has it
    EXPECT_TRUE(p.page.Control<QAbstractButton>(CDialogKvrw::kMainLine)->isChecked());

    const struct {
        const char* name;
        std::vector<std::pair<int32_t, const char*>> edits;
        std::vector<std::pair<int32_t, bool>> checks;
        K kind;
        Bytes frame;
        std::vector<std::pair<int32_t, const char*>> shown;
        int32_t remaining;
    } cases[] = {
        {"pump 0.05 V, pressure 0",
         {{CDialogKvrw::kPumpVoltage, "0.05"},
          {CDialogKvrw::kPumpPressure, "0"},
          {CDialogKvrw::kPumpTime, "5"}},
         {},
         K::kPump,
         {0x02, 11, 100, 0, 5, 0, 0x19, 0, 0, 0},
         {{CDialogKvrw::kPumpVoltage, "0.10"},
          {CDialogKvrw::kPumpPressure, "0.000"},
          {CDialogKvrw::kPumpTime, "5"}},
         5},
        {"pump 40 V, pressure 2, calibrations off",
         {{CDialogKvrw::kPumpVoltage, "40"},
          {CDialogKvrw::kPumpPressure, "2"},
          {CDialogKvrw::kPumpTime, "7"}},
         {{CDialogKvrw::kPumpOffsetOff, true},
          {CDialogKvrw::kPumpSupplyOff, true},
          {CDialogKvrw::kPumpClosedLoopOff, true}},
         K::kPump,
         {0x02, 11, 0x00, 0x7D, 7, 0, 0x00, 0, 0x10, 0x27},
         {{CDialogKvrw::kPumpVoltage, "32.00"}, {CDialogKvrw::kPumpPressure, "1.000"}},
         7},
        {"pump, supply calibration only off",
         {{CDialogKvrw::kPumpVoltage, "1.5"},
          {CDialogKvrw::kPumpPressure, "0"},
          {CDialogKvrw::kPumpTime, "2"}},
         {{CDialogKvrw::kPumpOffsetOff, false},
          {CDialogKvrw::kPumpSupplyOff, true},
          {CDialogKvrw::kPumpClosedLoopOff, false}},
         K::kPump,
         {0x02, 11, 0xDC, 0x05, 2, 0, 0x11, 0, 0, 0},
         {{CDialogKvrw::kPumpVoltage, "1.50"}},
         2},
        {"glow 0.05 V",
         {{CDialogKvrw::kGlowVoltage, "0.05"}, {CDialogKvrw::kGlowTime, "3"}},
         {},
         K::kGlow,
         {0x02, 8, 3, 0, 100, 0, 0, 0, 0, 0},
         {{CDialogKvrw::kGlowVoltage, "1.00"}, {CDialogKvrw::kGlowTime, "3"}},
         3},
        {"starter 0.05 V",
         {{CDialogKvrw::kStarterVoltage, "0.05"}, {CDialogKvrw::kStarterTime, "2"}},
         {},
         K::kStarter,
         {0x02, 12, 2, 0, 10, 0, 0, 0, 0, 0},
         {{CDialogKvrw::kStarterVoltage, "0.10"}},
         2},
        {"tick test 25 Hz on the ignition line",
         {{CDialogKvrw::kFrequency, "25"}, {CDialogKvrw::kValveTime, "4"}},
         {{CDialogKvrw::kIgnitionLine, true}},
         K::kTick,
         {0x02, 9, 4, 0, 10, 0, 2, 0, 0, 0},
         {{CDialogKvrw::kFrequency, "10"}, {CDialogKvrw::kValveTime, "4"}},
         4},
        {"open test on the main line",
         {{CDialogKvrw::kFrequency, "7"}, {CDialogKvrw::kValveTime, "6"}},
         {{CDialogKvrw::kMainLine, true}},
         K::kOpen,
         {0x02, 9, 6, 0, 0, 0, 1, 0, 0, 0},
         {{CDialogKvrw::kFrequency, "7"}},
         6},
        {"oxygen valve",
         {{CDialogKvrw::kOxygenTime, "3"}},
         {},
         K::kOxygen,
         {0x02, 18, 3, 0},
         {},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [id, text] : c.edits) {
            p.Set(id, text);
        }
        for (const auto& [id, on] : c.checks) {
            p.Check(id, on);
        }
        rig.ClearLog();
        p.Click(c.kind);
        EXPECT_EQ(rig.Writes(1), std::vector<Bytes>{c.frame});
        for (const auto& [id, text] : c.shown) {
            EXPECT_EQ(p.Text(id), text) << id;
        }
        EXPECT_EQ(p.page.RemainingTime(), c.remaining);
        EXPECT_EQ(p.Text(CDialogKvrw::kRemaining), std::to_string(c.remaining));
        EXPECT_EQ(p.page.LastKind(), c.kind);
    }
}

TEST(CDialogKvrw, NothingIsSentWithoutATimeASetPointOrAConnection) {
    const struct {
        const char* name;
        std::vector<std::pair<int32_t, const char*>> edits;
        K kind;
    } cases[] = {
        {"pump without time",
         {{CDialogKvrw::kPumpVoltage, "40"}, {CDialogKvrw::kPumpTime, "0"}},
         K::kPump},
        {"pump with both set-points 0",
         {{CDialogKvrw::kPumpVoltage, "0"},
          {CDialogKvrw::kPumpPressure, "0"},
          {CDialogKvrw::kPumpTime, "5"}},
         K::kPump},
        {"pump with a negative time",
         {{CDialogKvrw::kPumpVoltage, "40"}, {CDialogKvrw::kPumpTime, "-5"}},
         K::kPump},
        {"glow without voltage",
         {{CDialogKvrw::kGlowVoltage, "x"}, {CDialogKvrw::kGlowTime, "5"}},
         K::kGlow},
        {"starter without time",
         {{CDialogKvrw::kStarterVoltage, "40"}, {CDialogKvrw::kStarterTime, ""}},
         K::kStarter},
        {"tick without time",
         {{CDialogKvrw::kFrequency, "25"}, {CDialogKvrw::kValveTime, "0"}},
         K::kTick},
        {"open without time", {{CDialogKvrw::kValveTime, "0"}}, K::kOpen},
        {"oxygen without time", {{CDialogKvrw::kOxygenTime, "0"}}, K::kOxygen},
    };
    const auto expectNothing = [&](Page& p, EcuPanelRig* rig) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            for (const auto& [id, text] : c.edits) {
                p.Set(id, text);
            }
            if (rig != nullptr) {
                rig->ClearLog();
            }
            p.Click(c.kind);
            if (rig != nullptr) {
                EXPECT_TRUE(rig->Writes(1).empty());
            }
            // Nothing written back, no remaining time.
            for (const auto& [id, text] : c.edits) {
                EXPECT_EQ(p.Text(id), text);
            }
            EXPECT_EQ(p.Text(CDialogKvrw::kRemaining), "");
        }
    };
    {
        SCOPED_TRACE("connected");
        EcuPanelRig rig(EcuConfig(false));
        ASSERT_TRUE(rig.WaitReady());
        Page p(&rig.ecu());
        expectNothing(p, &rig);
    }
    {
        SCOPED_TRACE("no connection");
        CDeviceBase::Options options;
        options.socketPort = SimRig::DeadPort();
        sim::HidDongleSet dongles;
        NoSerialPorts noSerial;
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        CDeviceBase device(options);
        CDeviceECU ecu;
        ecu.attach(&device);
        device.Start();
        Page p(&ecu);
        // Inputs that would start every test.
        for (K kind : kKinds) {
            Arm(p, kind);
            p.Click(kind);
            EXPECT_EQ(p.Text(CDialogKvrw::kRemaining), "") << kind;
            EXPECT_EQ(p.page.RemainingTime(), 0);
        }
        EXPECT_EQ(p.Text(CDialogKvrw::kPumpVoltage), "2"); // not written back
    }
}

TEST(CDialogKvrw, RunningTestStopsWithItsOwnButtonAndTheCaptionsReturn) {
    EcuPanelRig rig(EcuConfig(false));
    ASSERT_TRUE(rig.WaitReady());
    Page p(&rig.ecu());
    const std::pair<K, uint8_t> stoppable[] = {
        {K::kPump, 11}, {K::kGlow, 8}, {K::kStarter, 12}, {K::kTick, 9}, {K::kOpen, 9}};
    for (const auto& [kind, code] : stoppable) {
        SCOPED_TRACE(kind);
        Arm(p, kind);
        p.Click(kind);
        ASSERT_EQ(p.page.RemainingTime(), 30);
        Settle(rig);
        ASSERT_TRUE(WaitFor([&] { return EngineState(rig) > 1; }, 5000));
        p.Tick();
        ASSERT_TRUE(p.page.IsRunning());
        for (size_t i = 0; i < std::size(kKinds); ++i) {
            const int32_t button = CDialogKvrw::ButtonOf(kKinds[i]);
            EXPECT_EQ(p.page.IsControlEnabled(button), kKinds[i] == kind) << i;
            EXPECT_EQ(p.Text(button), kKinds[i] == kind ? "停止测试" : kIdleCaptions[i]) << i;
        }
        for (int32_t id : kSetPoints) {
            EXPECT_FALSE(p.page.IsControlEnabled(id)) << id;
        }
        // The lines are only read at a start; they stay usable.
        for (int32_t id : {CDialogKvrw::kCurrent,
                           CDialogKvrw::kFuelPressure,
                           CDialogKvrw::kMainLine,
                           CDialogKvrw::kIgnitionLine}) {
            EXPECT_TRUE(p.page.IsControlEnabled(id)) << id;
        }
        const CEcuLiveState live = rig.ecu().liveState();
        EXPECT_EQ(p.Text(CDialogKvrw::kCurrent), StringPrintf("%0.02f", live.current));
        EXPECT_EQ(p.Text(CDialogKvrw::kFuelPressure), StringPrintf("%0.03f", live.fuel_pressure));

        rig.ClearLog();
        p.Click(kind);
        EXPECT_EQ(rig.Writes(1), std::vector<Bytes>{Bytes({0x02, code, 0, 0})});
        EXPECT_EQ(p.page.RemainingTime(), 0);
        EXPECT_EQ(p.Text(CDialogKvrw::kRemaining), "0");
        Settle(rig);
        ASSERT_TRUE(WaitFor([&] { return EngineState(rig) <= 1; }, 5000));
        p.Tick();
        EXPECT_FALSE(p.page.IsRunning());
        for (size_t i = 0; i < std::size(kKinds); ++i) {
            const int32_t button = CDialogKvrw::ButtonOf(kKinds[i]);
            EXPECT_TRUE(p.page.IsControlEnabled(button)) << i;
            EXPECT_EQ(p.Text(button), kIdleCaptions[i]) << i;
        }
        for (int32_t id : kSetPoints) {
            EXPECT_TRUE(p.page.IsControlEnabled(id)) << id;
        }
    }
}

TEST(CDialogKvrw, OxygenHasNoStopAndAHiddenPageIsIdle) {
    EcuPanelRig rig(EcuConfig(true));
    ASSERT_TRUE(rig.WaitReady());
    Page p(&rig.ecu());
    p.Set(CDialogKvrw::kOxygenTime, "3");
    p.Click(K::kOxygen);
    Settle(rig);
    ASSERT_TRUE(WaitFor([&] { return EngineState(rig) > 1; }, 5000));
    p.Tick();
    ASSERT_TRUE(p.page.IsRunning());
    const int32_t oxygen = CDialogKvrw::kOxygenStart;
    EXPECT_TRUE(p.page.IsControlEnabled(oxygen));
    EXPECT_EQ(p.Text(oxygen), "开始"); // it starts the test again, and says so
    EXPECT_FALSE(p.page.IsControlEnabled(CDialogKvrw::kPumpStart));

    // Once a second the remaining time counts down, in the running state too.
    p.Tick(9); // the tenth tick since the start
    EXPECT_EQ(p.Text(CDialogKvrw::kRemaining), "2");
    rig.ClearLog();
    p.Click(K::kOxygen);
    EXPECT_EQ(rig.Writes(1), std::vector<Bytes>{Bytes({0x02, 18, 3, 0})});
    EXPECT_EQ(p.page.RemainingTime(), 3);

    // Hidden, the page leaves the running state while the valve is still open.
    p.page.hide();
    p.Tick();
    EXPECT_GT(EngineState(rig), 1);
    EXPECT_FALSE(p.page.IsRunning());
    EXPECT_TRUE(p.page.IsControlEnabled(CDialogKvrw::kPumpStart));
    // The count never goes below 0.
    p.Tick(40);
    EXPECT_EQ(p.page.RemainingTime(), 0);
    EXPECT_EQ(p.Text(CDialogKvrw::kRemaining), "0");
}

TEST(CDialogKvrw, FiveSecondAveragesCoverExactlyTheLast50Samples) {
    EcuPanelRig rig(EcuConfig(false));
    ASSERT_TRUE(rig.WaitReady());
    Page p(&rig.ecu());
    p.Set(CDialogKvrw::kStarterVoltage, "6");
    p.Set(CDialogKvrw::kStarterTime, "30");
    p.Click(K::kStarter);

    // Ten samples of a first speed, then fifty of a second one.
    rig.Do([&] { rig.system.ecu.Step(300); });
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    const CEcuLiveState first = rig.ecu().liveState();
    ASSERT_GT(first.engine_state, 1);
    ASSERT_GT(first.engine_rpm, 0);
    p.Tick(10);
    ASSERT_TRUE(p.page.IsRunning());
    EXPECT_EQ(p.Text(CDialogKvrw::kAverageRpm), std::to_string(first.engine_rpm));

    rig.Do([&] { rig.system.ecu.Step(1500); });
    ASSERT_TRUE(rig.WaitFreshTelemetry());
    const CEcuLiveState second = rig.ecu().liveState();
    ASSERT_NE(second.engine_rpm, first.engine_rpm);
    p.Tick(49);
    // 49 of the second and one of the first are still in the history.
    EXPECT_EQ(p.Text(CDialogKvrw::kAverageRpm),
              std::to_string((49LL * second.engine_rpm + first.engine_rpm) / 50));
    p.Tick();
    EXPECT_EQ(p.Text(CDialogKvrw::kAverageRpm), std::to_string(second.engine_rpm));
    EXPECT_EQ(p.Text(CDialogKvrw::kRpm), std::to_string(second.engine_rpm));
    EXPECT_EQ(p.Text(CDialogKvrw::kAverageCurrent), StringPrintf("%0.02f", second.current));
    EXPECT_EQ(p.Text(CDialogKvrw::kHighestCurrent),
              StringPrintf("%0.02f", std::max(first.current, second.current)));
    EXPECT_EQ(p.Text(CDialogKvrw::kCurrent), StringPrintf("%0.02f", second.current));
}
