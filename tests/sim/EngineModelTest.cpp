#include "sim/EngineModel.h"
#include "foundation/CMBitReader.h"
#include "sim/TelemetryEncoder.h"

#include <gtest/gtest.h>

#include <vector>

using sim::EngineFault;
using sim::EngineModel;
using sim::LiveValues;
using sim::TelemetryEncoder;
namespace State = sim::EngineState;

namespace {

const uint16_t kNoArgs[4] = {0, 0, 0, 0};

// Runs the model from switch-on to running, recording every state it passed.
std::vector<uint8_t> StartAndRun(EngineModel& m, uint32_t limitMs = 40000) {
    std::vector<uint8_t> states;
    m.SetSwitch(true);
    m.Step(100);
    states.push_back(m.State());
    EXPECT_TRUE(m.RequestStart());
    for (uint32_t t = 0; t < limitMs && m.State() != State::Running; t += 100) {
        m.Step(100);
        if (states.back() != m.State()) {
            states.push_back(m.State());
        }
    }
    return states;
}

// Skips any number of bits (the reader takes at most 32 at a time).
void Skip(CMBitReader& r, int bits) {
    for (; bits > 0; bits -= 32) {
        r.SkipBits(static_cast<uint8_t>(bits > 32 ? 32 : bits));
    }
}

uint16_t Le16(const TelemetryEncoder::Page& p, size_t at) {
    return static_cast<uint16_t>(p[at] | (p[at + 1] << 8));
}

} // namespace

// ------------------------------------------------------------- the model

TEST(EngineModel, StartSequenceReachesRunningAtIdle) {
    EngineModel m;
    EXPECT_EQ(m.State(), State::Stop);
    const auto states = StartAndRun(m);
    EXPECT_EQ(states,
              (std::vector<uint8_t>{
                  State::Ready, State::Ignition, State::Preheat, State::FuelRamp, State::Running}));
    const LiveValues& v = m.Values();
    EXPECT_NEAR(v.rpm, m.Tuning().idleRpm, 1000);
    EXPECT_GT(v.egt, 350);
    EXPECT_LT(v.egt, 700);
    EXPECT_GT(v.pumpVoltage, 0.3);
    EXPECT_EQ(v.ignitionPumpState == 4, false); // the ignition pump is off once running
    EXPECT_EQ(v.errorCode, 0);
    EXPECT_EQ(v.mainPumpState, 2); // the main pump runs
    EXPECT_GT(m.TimeMs(), 8000u);  // a start takes its time
}

TEST(EngineModel, IgnitionTurnsTheStarterAndGlowPlug) {
    EngineModel m;
    m.RequestStart();
    m.Step(1000);
    const LiveValues& v = m.Values();
    EXPECT_EQ(v.engineState, State::Ignition);
    EXPECT_GT(v.starterRpm, 3000);
    EXPECT_EQ(v.starterState, 2);
    EXPECT_GT(v.current, 4.0); // starter and glow plug
    EXPECT_TRUE(v.stickDownAtIgnition);
}

TEST(EngineModel, ThrottleResponseOfRpmAndEgt) {
    EngineModel m;
    StartAndRun(m);
    m.Step(3000);
    const int idleEgt = m.Values().egt;
    EXPECT_TRUE(m.Values().stickDownWhileRunning);
    m.SetThrottle(100);
    m.Step(1000);
    EXPECT_GT(m.Values().rpm, m.Tuning().idleRpm + 10000); // on its way up
    EXPECT_LT(m.Values().rpm, m.Tuning().maxRpm);
    m.Step(10000);
    EXPECT_NEAR(m.Values().rpm, m.Tuning().maxRpm, 500);
    EXPECT_GT(m.Values().egt, idleEgt + 100);
    EXPECT_GT(m.Values().thrustKg, 10.0);
    EXPECT_FALSE(m.Values().stickDownWhileRunning);
    m.SetThrottle(0);
    m.Step(10000);
    EXPECT_NEAR(m.Values().rpm, m.Tuning().idleRpm, 500);
}

TEST(EngineModel, StopCoolsWithTheStarterThenStops) {
    EngineModel m;
    StartAndRun(m);
    m.RequestStop();
    m.Step(500);
    EXPECT_EQ(m.State(), State::Cooling);
    m.Step(2000);
    EXPECT_NEAR(m.Values().rpm, m.Tuning().coolingRpm, 300);
    for (int i = 0; i < 600 && m.State() == State::Cooling; ++i) {
        m.Step(100);
    }
    EXPECT_EQ(m.State(), State::Ready); // the switch is still on
    EXPECT_LE(m.Values().egt, 100);
    m.SetSwitch(false);
    m.Step(10);
    EXPECT_EQ(m.State(), State::Stop);
}

TEST(EngineModel, RadioStartsAReadyEngine) {
    EngineModel m;
    m.SetThrottle(95); // already high when the switch comes on: no start
    m.SetSwitch(true);
    m.Step(100);
    EXPECT_EQ(m.State(), State::Ready);
    m.SetThrottle(0);
    m.Step(100);
    m.SetThrottle(95);
    m.Step(100);
    EXPECT_EQ(m.State(), State::Ignition);
}

TEST(EngineModel, FaultsWhileRunningShutTheEngineDown) {
    struct Case {
        EngineFault fault;
        uint8_t error;
    };
    for (const Case c : {Case{EngineFault::LowVoltage, 2}, Case{EngineFault::Overload, 17}}) {
        EngineModel m;
        StartAndRun(m);
        m.SetFault(c.fault, true);
        m.Step(100);
        EXPECT_EQ(m.State(), State::Cooling) << int(c.error);
        EXPECT_EQ(m.Values().errorCode, c.error);
        EXPECT_FALSE(m.RequestStart());
    }
    EngineModel low;
    low.SetFault(EngineFault::LowVoltage, true);
    low.Step(10);
    EXPECT_TRUE(low.Values().lowVoltage);
    EXPECT_LT(low.Values().batteryVoltage, low.Tuning().minBatteryVoltage);
    EngineModel over;
    over.SetFault(EngineFault::Overload, true);
    over.Step(10);
    EXPECT_TRUE(over.Values().overload);
    EXPECT_GT(over.Values().current, 30.0);
}

TEST(EngineModel, PumpLimitHoldsTheRpmDown) {
    EngineModel m;
    StartAndRun(m);
    m.SetFault(EngineFault::PumpLimit, true);
    m.SetThrottle(100);
    m.Step(15000);
    const auto& t = m.Tuning();
    EXPECT_EQ(m.State(), State::Running);
    EXPECT_TRUE(m.Values().pumpLimit);
    EXPECT_LE(m.Values().rpm, t.idleRpm + 0.6 * (t.maxRpm - t.idleRpm) + 1);
    // A low pump-limit setting flags the limit without a fault.
    EngineModel limited;
    sim::EngineTuning tuning;
    tuning.pumpLimit = 1.0;
    limited.SetTuning(tuning);
    StartAndRun(limited);
    limited.SetThrottle(100);
    limited.Step(5000);
    EXPECT_TRUE(limited.Values().pumpLimit);
    EXPECT_LE(limited.Values().pumpVoltage, 1.0 + 1e-9);
}

TEST(EngineModel, UnitsThatDoNotAnswer) {
    EngineModel m;
    m.SetFault(EngineFault::StarterNotAnswering, true);
    m.SetFault(EngineFault::TcuNotAnswering, true);
    ASSERT_TRUE(m.RequestStart());
    m.Step(1500);
    EXPECT_EQ(m.State(), State::Stop);
    EXPECT_EQ(m.Values().errorCode, 5);
    EXPECT_TRUE(m.Values().starterFault);
    EXPECT_TRUE(m.Values().starterFitted);
    EXPECT_FALSE(m.Values().starterAnswering);
    EXPECT_TRUE(m.Values().tcuFitted);
    EXPECT_FALSE(m.Values().tcuAnswering);
    EXPECT_EQ(m.Values().tcuVoltage, 0);
    m.SetFault(EngineFault::TcuNotAnswering, false);
    m.Step(10);
    EXPECT_TRUE(m.Values().tcuAnswering);
    EXPECT_EQ(m.Values().tcuVersion[1], 2);
    EXPECT_GT(m.Values().tcuVoltage, 1100);
}

TEST(EngineModel, InjectedErrorCodes) {
    EngineModel running;
    StartAndRun(running);
    running.InjectErrorCode(8);
    EXPECT_EQ(running.State(), State::Cooling);
    EXPECT_EQ(running.ErrorCode(), 8);
    // A latched fault keeps a stopped engine from getting ready.
    EngineModel stopped;
    stopped.SetSwitch(true);
    stopped.InjectErrorCode(12);
    stopped.Step(100);
    EXPECT_EQ(stopped.State(), State::Stop);
    EXPECT_EQ(stopped.Values().errorCode, 12);
    EXPECT_TRUE(stopped.Values().valveFault);
    stopped.SetSwitch(false); // the pilot acknowledges it
    stopped.SetSwitch(true);
    stopped.Step(100);
    EXPECT_EQ(stopped.State(), State::Ready);
    EXPECT_EQ(stopped.Values().errorCode, 0);
    // Error codes that have a block-generation fault bit.
    const std::pair<uint8_t, bool LiveValues::*> bits[] = {
        {5, &LiveValues::starterFault},
        {3, &LiveValues::glowPlugFault},
        {10, &LiveValues::temperatureSensorFault},
        {9, &LiveValues::faultBit5},
        {4, &LiveValues::pumpFault}};
    for (const auto& [code, bit] : bits) {
        EngineModel e;
        e.InjectErrorCode(code);
        e.Step(10);
        EXPECT_TRUE(e.Values().*bit) << int(code);
    }
}

TEST(EngineModel, EgtBeyondTheMaximumStopsTheEngine) {
    EngineModel m;
    sim::EngineTuning tuning;
    tuning.maxEgt = 500;
    m.SetTuning(tuning);
    StartAndRun(m);
    m.SetThrottle(100);
    m.Step(15000);
    EXPECT_EQ(m.ErrorCode(), 8);
    EXPECT_NE(m.State(), State::Running);
}

TEST(EngineModel, ActuatorTestsRunForAFewSecondsDrawingCurrent) {
    struct Case {
        uint8_t code;
        uint8_t state;
    };
    const Case cases[] = {{8, State::TestGlowPlug},
                          {9, State::TestFuelValve},
                          {10, State::TestIgnitionValve},
                          {11, State::TestPump},
                          {12, State::TestStarter},
                          {13, State::TestAuxValve},
                          {18, State::TestAuxValve},
                          {19, State::TestPump},
                          {20, State::PumpCalibration}};
    EngineModel idle;
    idle.Step(100);
    const double rest = idle.Values().current;
    for (const Case& c : cases) {
        EngineModel m;
        ASSERT_TRUE(m.Command(c.code, kNoArgs, false)) << int(c.code);
        m.Step(1000);
        EXPECT_EQ(m.State(), c.state) << int(c.code);
        EXPECT_GT(m.Values().current, rest + 0.2) << int(c.code);
        m.Step(c.code == 20 ? 4100 : 2100);
        EXPECT_EQ(m.State(), State::Stop) << int(c.code);
    }
    EngineModel starter;
    starter.Command(12, kNoArgs, false);
    starter.Step(1500);
    EXPECT_GT(starter.Values().starterRpm, 5000);
    EXPECT_EQ(starter.Values().rpm, starter.Values().starterRpm);
    EngineModel ignitionPump;
    ignitionPump.Command(19, kNoArgs, false);
    ignitionPump.Step(1500);
    EXPECT_EQ(ignitionPump.Values().ignitionPumpState, 4);
    EXPECT_GT(ignitionPump.Values().ignitionPumpRpm, 3000);
}

TEST(EngineModel, LongFormPumpTestAndShortFormStop) {
    EngineModel m;
    const uint16_t pump[4] = {2500, 5, 0x19, 0}; // 2.5 V for 5 s
    ASSERT_TRUE(m.Command(11, pump, true));
    m.Step(4500);
    EXPECT_EQ(m.State(), State::TestPump);
    EXPECT_NEAR(m.Values().pumpVoltage, 2.5, 0.01);
    EXPECT_GT(m.Values().fuelPressure, 0.2);
    EXPECT_EQ(m.Values().mainPumpState, 2);
    m.Step(600);
    EXPECT_EQ(m.State(), State::Stop);

    const uint16_t glow[4] = {10, 450, 0, 0}; // 10 s at 4.50 V
    ASSERT_TRUE(m.Command(8, glow, true));
    m.Step(2000);
    EXPECT_NEAR(m.Values().current, 0.25 + 4.5 / 1.2, 0.01);
    EXPECT_TRUE(m.Command(8, kNoArgs, false)); // the same code with 0 stops it
    EXPECT_EQ(m.State(), State::Stop);
    EXPECT_EQ(m.TestRemainingMs(), 0u);
    const uint16_t oxygen[4] = {7, 0, 0, 0}; // short form with a time
    ASSERT_TRUE(m.Command(18, oxygen, false));
    m.Step(6900);
    EXPECT_EQ(m.State(), State::TestAuxValve);
    m.Step(200);
    EXPECT_EQ(m.State(), State::Stop);
}

TEST(EngineModel, ARepeatedShortFormKeepsItsTestAndALaterOneStopsIt) {
    struct Case {
        const char* name;
        std::vector<uint32_t> gapsMs; // before each repeat of the short form
        uint8_t state;                // after the last one
    };
    const Case cases[] = {
        {"a sequence resending every 50 ms", {50, 50, 50, 50, 50, 50, 50, 50}, State::TestStarter},
        {"a repeat at the window's edge", {EngineModel::kRepeatWindowMs}, State::TestStarter},
        {"a second press after a while", {EngineModel::kRepeatWindowMs + 10}, State::Stop},
        {"resent, then pressed again later", {50, 50, 900}, State::Stop},
    };
    for (const Case& c : cases) {
        EngineModel m;
        ASSERT_TRUE(m.Command(12, kNoArgs, false)) << c.name;
        for (uint32_t gap : c.gapsMs) {
            m.Step(gap);
            EXPECT_TRUE(m.Command(12, kNoArgs, false)) << c.name;
        }
        EXPECT_EQ(m.State(), c.state) << c.name;
    }
    // A timed test started in the long form stops at once.
    EngineModel timed;
    const uint16_t starter[4] = {10, 300, 0, 0}; // 10 s at 3.00 V
    ASSERT_TRUE(timed.Command(12, starter, true));
    timed.Step(10);
    EXPECT_TRUE(timed.Command(12, kNoArgs, false));
    EXPECT_EQ(timed.State(), State::Stop);
    // Repeats do not lengthen the test: it ends as it would have.
    EngineModel m;
    ASSERT_TRUE(m.Command(12, kNoArgs, false));
    for (int i = 0; i < 20; ++i) {
        m.Step(50);
        (void)m.Command(12, kNoArgs, false);
    }
    m.Step(2100);
    EXPECT_EQ(m.State(), State::Stop);
}

TEST(EngineModel, ThePumpTestRunsAtThePumpTestVoltageAndThePumpWarmsAndSettles) {
    sim::EngineTuning tuning;
    tuning.pumpTestVoltage = 4.0;
    EngineModel m;
    m.SetTuning(tuning);
    m.Step(100);
    const LiveValues rest = m.Values();
    EXPECT_EQ(rest.mainPumpRpm, 0);
    EXPECT_EQ(rest.mainPumpTemperature, 25); // ambient 22 plus its driver's losses

    ASSERT_TRUE(m.Command(11, kNoArgs, false));
    m.Step(2900);
    const LiveValues running = m.Values();
    EXPECT_NEAR(running.pumpVoltage, 4.0, 0.01);
    EXPECT_EQ(running.mainPumpState, 2);
    EXPECT_NEAR(running.mainPumpRpm, 4.0 * 3200, 50);
    // Warming, not there at once: 4 V drive it 4 degrees up over seconds.
    EXPECT_GE(running.mainPumpTemperature, 27);
    EXPECT_LE(running.mainPumpTemperature, 28);

    m.Step(200); // the test is over
    EXPECT_EQ(m.State(), State::Stop);
    int previous = m.Values().mainPumpTemperature;
    for (int i = 0; i < 60; ++i) { // cools back, never overshooting
        m.Step(500);
        EXPECT_LE(m.Values().mainPumpTemperature, previous);
        previous = m.Values().mainPumpTemperature;
    }
    EXPECT_EQ(previous, 25);
    EXPECT_EQ(m.Values().mainPumpRpm, 0);
}

TEST(EngineModel, NoActuatorTestWhileTheEngineRuns) {
    EngineModel m;
    StartAndRun(m);
    EXPECT_FALSE(m.Command(11, kNoArgs, false));
    EXPECT_EQ(m.State(), State::Running);
    EXPECT_FALSE(m.Command(127, kNoArgs, false));
    EXPECT_TRUE(m.Command(17, kNoArgs, false)); // generator output
    m.Step(100);
    EXPECT_DOUBLE_EQ(m.Values().alternatorVoltage, 13.5);
}

TEST(EngineModel, RcLearningFlagsAndPoints) {
    EngineModel m;
    EXPECT_FALSE(m.Learn(2).has_value());
    m.Step(10);
    EXPECT_TRUE(m.Values().learningMaxMin);
    EXPECT_TRUE(m.Values().learningHighEnd);
    m.SetThrottle(100);
    const auto max = m.Learn(6);
    ASSERT_TRUE(max.has_value());
    EXPECT_EQ(max->point, 1);
    EXPECT_EQ(max->microseconds, 2000);
    m.Step(10);
    EXPECT_TRUE(m.Values().learningMaxMin);
    EXPECT_FALSE(m.Values().learningHighEnd);
    m.SetThrottle(0);
    const auto min = m.Learn(4);
    EXPECT_EQ(min->point, 2);
    EXPECT_EQ(min->microseconds, 1000);
    m.Step(10);
    EXPECT_FALSE(m.Values().learningMaxMin);
    EXPECT_TRUE(m.Values().learningIdle);
    m.SetThrottle(12.5);
    const auto idle = m.Learn(5);
    EXPECT_EQ(idle->point, 3);
    EXPECT_EQ(idle->microseconds, 1125);
    m.Learn(2);
    m.Learn(3);
    m.Step(10);
    EXPECT_FALSE(m.Values().learningMaxMin || m.Values().learningIdle);
}

TEST(EngineModel, DeterministicWhateverTheStepSize) {
    EngineModel a;
    EngineModel b;
    a.SetSwitch(true);
    b.SetSwitch(true);
    a.RequestStart();
    b.RequestStart();
    a.Step(12000);
    for (int i = 0; i < 1200; ++i) {
        b.Step(10);
    }
    EXPECT_EQ(a.State(), b.State());
    EXPECT_EQ(a.Values().rpm, b.Values().rpm);
    EXPECT_EQ(a.Values().egt, b.Values().egt);
    EXPECT_DOUBLE_EQ(a.Values().pumpVoltage, b.Values().pumpVoltage);
    EXPECT_EQ(a.TimeMs(), b.TimeMs());
}

// ------------------------------------------------------ telemetry layouts

TEST(TelemetryEncoder, BlockRegister1ByteByByte) {
    LiveValues in;
    in.cpuLoad = 27;
    in.engineState = 5;
    in.learningMaxMin = true;
    in.learningHighEnd = true;
    in.starterFault = true;
    in.learningIdle = true;
    in.rpm = 123450;
    in.egt = -12;
    in.pumpVoltageHundredths = 312;
    in.rcVoltage = 5.0;
    in.batteryVoltage = 12.3;
    in.current = -1.5;
    in.rcThrottleUs = 1500;
    LiveValues out;
    const auto p = TelemetryEncoder::BlockRegister1(in, false, out);
    EXPECT_EQ(p[0], 27);
    EXPECT_EQ(p[1], 0x25);
    EXPECT_EQ(p[2], 0x83);
    EXPECT_EQ(Le16(p, 3), 12345);
    EXPECT_EQ(Le16(p, 5), 0xFFF4);
    EXPECT_EQ(Le16(p, 7), 3120); // thousandths of a volt
    EXPECT_EQ(p[10], 50);
    EXPECT_EQ(p[11], 123);
    EXPECT_EQ(Le16(p, 12), 0xFA24); // -1500 mA
    EXPECT_EQ(Le16(p, 14), 1500);
    for (size_t i = 16; i < 32; ++i) {
        EXPECT_EQ(p[i], 0) << i;
    }
    EXPECT_EQ(out.rpm, 123450);
    EXPECT_EQ(out.pumpVoltageHundredths, 312);
    EXPECT_DOUBLE_EQ(out.current, -1.5);

    // Double range: two thousandths per step, doubled back by the reader.
    LiveValues doubled;
    const auto d = TelemetryEncoder::BlockRegister1(in, true, doubled);
    EXPECT_EQ(Le16(d, 7), 1560);
    EXPECT_EQ(doubled.pumpVoltageHundredths, 312);
}

TEST(TelemetryEncoder, BlockRegister4ByteByByte) {
    LiveValues in;
    in.airPressurePa = 101320;
    in.recordStorage = 8192;
    in.recordFormat = 2;
    in.recordRateCode = 3;
    in.errorCode = 19;
    in.tcuFitted = true;
    in.starterFitted = true;
    in.starterAnswering = true;
    in.starterState = 2;
    in.starterRpm = 10000;
    in.starterTemperature = -5;
    in.pumpLimit = true;
    in.rpmControlState = true;
    in.mainPumpEcuKind = 1;
    in.mainPumpTcuKind = 2;
    in.mainPumpState = 3;
    in.tcuVersion[0] = 1;
    in.tcuVersion[1] = 2;
    in.tcuVersion[2] = 3;
    in.tcuVoltage = 1234;
    in.mainPumpRpm = 4500;
    in.mainPumpTemperature = -3;
    in.rcSwitchUs = 2000;
    in.altitudeM = 120;
    in.overload = true;
    in.stickDownWhileRunning = true;
    in.tcuTemperature = 35;
    in.alternatorVoltage = 13.8;
    in.alternatorPresent = true;
    LiveValues out;
    const auto p = TelemetryEncoder::BlockRegister4(in, out);
    EXPECT_EQ(Le16(p, 0), 50660);
    EXPECT_EQ(p[2], 16);
    EXPECT_EQ(p[3], 0xE0);
    EXPECT_EQ(p[6], 0x60); // error bits 0-2 in bits 5-7
    EXPECT_EQ(p[7], 0xB6); // error bits 3-4, TCU fitted, starter fitted and answering, state 2
    EXPECT_EQ(Le16(p, 8), 2500);
    EXPECT_EQ(p[10], 0xFB);
    EXPECT_EQ(p[11], 0xE7);
    EXPECT_EQ(p[12], 1);
    EXPECT_EQ(p[13], 2);
    EXPECT_EQ(p[14], 3);
    EXPECT_EQ(Le16(p, 15), 1234);
    EXPECT_EQ(Le16(p, 17), 1125);
    EXPECT_EQ(p[19], 0xFD);
    EXPECT_EQ(Le16(p, 20), 2000);
    EXPECT_EQ(p[23], 0x21); // overload, altitude 2120 >> 8 in bits 2-7
    EXPECT_EQ(p[24], 0x48);
    EXPECT_EQ(p[25], 0x01);
    EXPECT_EQ(p[26], 95);
    EXPECT_EQ(Le16(p, 27), 138);
    EXPECT_EQ(p[31], 0x80);
    EXPECT_EQ(out.errorCode, 19);
    EXPECT_EQ(out.altitudeM, 120);
    EXPECT_EQ(out.tcuTemperature, 35);

    // A TCU temperature of -60 is the "no reading" byte 0, read back as 0.
    in.tcuTemperature = -70;
    EXPECT_EQ(TelemetryEncoder::BlockRegister4(in, out)[26], 0);
    EXPECT_EQ(out.tcuTemperature, 0);
}

TEST(TelemetryEncoder, ItemPacket1FieldsAndQuantisation) {
    LiveValues in;
    in.cpuLoad = 30;
    in.engineState = 5;
    in.errorCode = 17;
    in.rpm = 123456;
    in.egt = 0;
    in.pumpVoltageHundredths = 278;
    in.pumpVoltage = 2.78;
    in.batteryVoltage = 12.34;
    in.rcVoltage = 5.06;
    in.current = 3.47;
    in.throttleLock = true;
    in.rcThrottleUs = 1504;
    in.rcSwitchUs = 2000;
    in.alternatorPresent = true;
    in.alternatorVoltage = 14.2;
    in.pumpLimit = true;
    in.overload = true;
    in.recordFormat = 1;
    in.recordRateCode = 2;
    in.recordStorage = 5000;
    LiveValues out;
    const auto page = TelemetryEncoder::ItemPacket(in, 1, 2, out);
    EXPECT_EQ(page[0], 0x0A);
    CMBitReader r(page.data() + 1, 31);
    using A = sim::TelemetryAux;
    const std::vector<std::pair<uint8_t, uint32_t>> fields = {{8, 30},
                                                              {5, 5},
                                                              {5, 17},
                                                              {8, A::p1Byte1},
                                                              {3, A::p1Value2},
                                                              {12, A::p1Value3},
                                                              {15, 12346},
                                                              {11, 60},
                                                              {13, 278},
                                                              {13, 278},
                                                              {9, A::p1Value4},
                                                              {9, 123},
                                                              {9, 51},
                                                              {10, 35},
                                                              {10, A::p1Value5},
                                                              {1, 1},
                                                              {1, A::p1Flag6},
                                                              {8, 150},
                                                              {8, 200},
                                                              {7, A::p1Value7},
                                                              {16, A::p1Value8},
                                                              {24, A::p1Value9},
                                                              {12, A::p1Value10},
                                                              {1, 1},
                                                              {11, 142},
                                                              {7, 0x09},
                                                              {4, 0x09},
                                                              {8, 9}};
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(r.ReadBits(fields[i].first), fields[i].second) << "field " << i + 1;
    }
    EXPECT_EQ(r.position, 31);
    // What the reader gets back, as the encoder reports it.
    EXPECT_EQ(out.rpm, 123460);
    EXPECT_EQ(out.egt, 0);
    EXPECT_DOUBLE_EQ(out.batteryVoltage, 12.3);
    EXPECT_DOUBLE_EQ(out.rcVoltage, 5.1);
    EXPECT_DOUBLE_EQ(out.current, 3.5);
    EXPECT_EQ(out.rcThrottleUs, 1500);
    EXPECT_EQ(out.recordStorage, 4608u);
}

TEST(TelemetryEncoder, ItemPacketFieldsSaturate) {
    LiveValues in;
    in.rpm = 400000;  // beyond 15 bits x 10
    in.egt = -100;    // below the offset
    in.current = 200; // beyond 10 bits / 10
    LiveValues out;
    const auto page = TelemetryEncoder::ItemPacket(in, 1, 2, out);
    CMBitReader r(page.data() + 1, 31);
    Skip(r, 8 + 5 + 5 + 8 + 3 + 12);
    EXPECT_EQ(r.ReadBits(15), 0x7FFFu);
    EXPECT_EQ(r.ReadBits(11), 0u);
    EXPECT_EQ(out.rpm, 327670);
    EXPECT_EQ(out.egt, -60);
    EXPECT_DOUBLE_EQ(out.current, 102.3);
}

TEST(TelemetryEncoder, ItemPacket2FieldsAndPumpStateSkip) {
    LiveValues in;
    in.airPressurePa = 101320;
    in.altitudeM = 120;
    in.mainPumpTcuKind = 2;
    in.mainPumpEcuKind = 1;
    in.mainPumpState = 2;
    in.mainPumpRpm = 4500;
    in.mainPumpTemperature = 24;
    in.tcuFitted = true;
    in.tcuAnswering = true;
    in.tcuVersion[0] = 1;
    in.tcuVersion[1] = 2;
    in.tcuVersion[2] = 3;
    in.tcuVoltage = 1180;
    in.tcuTemperature = 30;
    in.starterFitted = true;
    in.starterState = 3;
    in.starterRpm = 5000;
    in.starterTemperature = 40;
    in.cpuTemperature = 38;
    in.ignitionPumpState = 4;
    in.ignitionPumpRpm = 8000;
    in.ignitionPumpTemperature = 27;
    in.fuelTemperature = 22;
    in.fuelPressure = 0.3;
    in.combustionPressure = 0.25;
    LiveValues out;
    const auto page = TelemetryEncoder::ItemPacket(in, 2, 2, out);
    EXPECT_EQ(page[0], 0x12);
    using A = sim::TelemetryAux;
    const std::vector<std::pair<uint8_t, uint32_t>> fields = {{14, 10132},
                                                              {14, 1120},
                                                              {2, 2},
                                                              {2, 1},
                                                              {2, 2},
                                                              {12, 450},
                                                              {8, 84},
                                                              {4, A::p2Value8},
                                                              {5, A::p2Value9},
                                                              {15, A::p2Value10},
                                                              {15, A::p2Value11},
                                                              {8, A::p2Value12},
                                                              {8, A::p2Value13},
                                                              {8, A::p2Value14},
                                                              {1, 1},
                                                              {1, 1},
                                                              {4, 1},
                                                              {4, 2},
                                                              {8, 3},
                                                              {9, 118},
                                                              {8, 90},
                                                              {1, 1},
                                                              {1, 0},
                                                              {2, 3},
                                                              {15, 500},
                                                              {8, 100},
                                                              {1, A::p2Flag27},
                                                              {8, 98},
                                                              {3, 4},
                                                              {9, 80},
                                                              {8, 87},
                                                              {8, 82},
                                                              {11, 800},
                                                              {10, 125}};
    CMBitReader r(page.data() + 1, 31);
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(r.ReadBits(fields[i].first), fields[i].second) << "field " << i + 1;
    }
    EXPECT_DOUBLE_EQ(out.fuelPressure, 800 / 1000.0 - 0.5);
    EXPECT_EQ(out.ignitionPumpRpm, 8000);

    // Pump stopped below state 2: its 17 bits are there but zero.
    in.ignitionPumpState = 1;
    const auto stopped = TelemetryEncoder::ItemPacket(in, 2, 2, out);
    CMBitReader s(stopped.data() + 1, 31);
    Skip(s,
         14 + 14 + 6 + 12 + 8 + 4 + 5 + 15 + 15 + 8 + 8 + 8 + 2 + 16 + 9 + 8 + 4 + 15 + 8 + 1 + 8);
    EXPECT_EQ(s.ReadBits(3), 1u);
    EXPECT_EQ(s.ReadBits(17), 0u);
    EXPECT_EQ(s.ReadBits(8), 82u); // fuel temperature still in place
    EXPECT_EQ(out.ignitionPumpRpm, 0);
    EXPECT_EQ(out.ignitionPumpTemperature, 0);
}

TEST(TelemetryEncoder, PacketHeadersOfASet) {
    LiveValues in;
    LiveValues out;
    EXPECT_EQ(TelemetryEncoder::ItemPacket(in, 3, 7, out)[0], 0x1F);
    EXPECT_EQ(TelemetryEncoder::ItemPacket(in, 0, 2, out)[0], 0x02);
    const auto counted = TelemetryEncoder::ItemPacket(in, 5, 7, out);
    EXPECT_EQ(counted[0], 0x2F);
    for (size_t i = 1; i < counted.size(); ++i) {
        EXPECT_EQ(counted[i], 0) << i;
    }
}

TEST(TelemetryEncoder, Register5Groups) {
    LiveValues in;
    in.sensorGroup1 = true;
    in.sensorValue1 = 3.3;
    in.sensorValue2 = 1013.2;
    in.thrustSensor = true;
    in.thrustKg = -1.25;
    LiveValues out;
    EXPECT_EQ(TelemetryEncoder::Register5(in, out),
              (std::array<uint8_t, 6>{0x03, 0x4A, 0x51, 0x9E, 0x83, 0xFF}));
    EXPECT_DOUBLE_EQ(out.thrustKg, -1.25);
    in.sensorGroup1 = false;
    in.thrustKg = 2.5;
    EXPECT_EQ(TelemetryEncoder::Register5(in, out),
              (std::array<uint8_t, 6>{0x02, 0xFA, 0x00, 0, 0, 0}));
    in.thrustSensor = false;
    EXPECT_EQ(TelemetryEncoder::Register5(in, out), (std::array<uint8_t, 6>{}));
    EXPECT_DOUBLE_EQ(out.thrustKg, 0.0);
}
