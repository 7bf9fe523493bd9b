// The demonstration pilot flying the engine model: whole runs one after
// another, waiting for actuator tests, recovering from a fault, and the
// simulator option that turns it on.

#include "sim/DemoPilot.h"
#include "sim/SimEcu.h"
#include "sim/SimEcuConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using sim::DemoPilot;
using sim::EngineModel;
namespace EngineState = sim::EngineState;

// Steps pilot and model together, 100 ms at a time, for ms; calls watch after
// each step.
template <typename Watch>
void Fly(DemoPilot& pilot, EngineModel& model, uint32_t ms, Watch watch) {
    for (uint32_t t = 0; t < ms; t += 100) {
        pilot.Step(100, model);
        model.Step(100);
        watch();
    }
}

TEST(DemoPilot, RunsUpAndDownTheThrottleRangeAndStartsAgain) {
    EngineModel model;
    DemoPilot pilot;
    std::vector<uint8_t> states;
    int32_t peakRpm = 0;
    int32_t rpmBeforeStop = 0; // the first run's last RPM
    int32_t lastRunningRpm = 0;
    int16_t hottest = 0;
    uint8_t lastState = 0xFF;
    Fly(pilot, model, 190000, [&] {
        const uint8_t s = model.State();
        if (lastState == EngineState::Running && s == EngineState::Cooling && rpmBeforeStop == 0) {
            rpmBeforeStop = lastRunningRpm;
        }
        if (s == EngineState::Running) {
            lastRunningRpm = model.Values().rpm;
        }
        if (s != lastState) {
            states.push_back(s);
            lastState = s;
        }
        peakRpm = std::max(peakRpm, model.Values().rpm);
        hottest = std::max(hottest, model.Values().egt);
        EXPECT_EQ(model.ErrorCode(), 0);
    });
    // Switched on at once (ready), then two whole runs.
    std::vector<uint8_t> twoRuns;
    for (int run = 0; run < 2; ++run) {
        for (uint8_t s : {EngineState::Ready,
                          EngineState::Ignition,
                          EngineState::Preheat,
                          EngineState::FuelRamp,
                          EngineState::Running,
                          EngineState::Cooling}) {
            twoRuns.push_back(s);
        }
    }
    states.resize(std::max(states.size(), twoRuns.size()));
    EXPECT_EQ(std::vector<uint8_t>(states.begin(), states.begin() + 12), twoRuns);
    EXPECT_EQ(pilot.Runs(), 2u);
    const sim::EngineTuning& tuning = model.Tuning();
    EXPECT_GE(peakRpm, tuning.maxRpm * 97 / 100);                         // full throttle reached
    EXPECT_NEAR(rpmBeforeStop, tuning.idleRpm, tuning.idleRpm * 3 / 100); // back at idle
    EXPECT_LT(hottest, tuning.maxEgt);
}

TEST(DemoPilot, WaitsForAnActuatorTestAndRecoversFromAFault) {
    EngineModel model;
    DemoPilot pilot;
    // A pump test from the tool during the first rest: the start waits for
    // its end and a whole rest after it.
    Fly(pilot, model, 3000, [] {});
    const uint16_t args[4] = {3, 0, 0, 0}; // 3 s
    ASSERT_TRUE(model.Command(11, args, false));
    uint32_t startedAt = 0;
    uint32_t testEndedAt = 0;
    uint32_t now = 3000;
    Fly(pilot, model, 15000, [&] {
        now += 100;
        if (testEndedAt == 0 && model.TestRemainingMs() == 0) {
            testEndedAt = now;
        }
        if (startedAt == 0 && model.State() == EngineState::Ignition) {
            startedAt = now;
        }
    });
    ASSERT_NE(startedAt, 0u);
    EXPECT_GE(startedAt - testEndedAt, DemoPilot::Timing{}.restMs);

    // Running, then an EGT fault shuts the engine down: the pilot lets it
    // cool, clears the latched error and flies the next run.
    Fly(pilot, model, 20000, [] {});
    ASSERT_EQ(model.State(), EngineState::Running);
    model.InjectErrorCode(8);
    EXPECT_EQ(pilot.Runs(), 0u);
    bool restarted = false;
    Fly(pilot, model, 40000, [&] {
        restarted = restarted || model.State() == EngineState::Ignition;
    });
    EXPECT_EQ(pilot.Runs(), 1u);
    EXPECT_TRUE(restarted);
    EXPECT_EQ(model.ErrorCode(), 0);
}

TEST(DemoPilot, TheSimulatorOptionLetsTheEcuFlyItsEngine) {
    sim::SimEcuConfig config;
    std::vector<std::string> rest;
    std::string error;
    const std::vector<std::string> args = {"--demo"};
    ASSERT_TRUE(sim::ParseSimEcuOptions(args, config, rest, error)) << error;
    sim::SimEcu ecu(config);
    int32_t peak = 0;
    for (int i = 0; i < 600; ++i) { // 60 s
        ecu.Step(100);
        peak = std::max(peak, ecu.Model().Values().rpm);
    }
    EXPECT_EQ(ecu.Model().State(), EngineState::Running);
    EXPECT_GT(peak, ecu.Store().Parameters().runIdleRpm);

    // Started at once (--run): flown from the start, up to full throttle.
    config.autoStart = true;
    sim::SimEcu started(config);
    peak = 0;
    for (int i = 0; i < 400; ++i) { // 40 s: 12 s of start, 28 s of the run
        started.Step(100);
        peak = std::max(peak, started.Model().Values().rpm);
    }
    EXPECT_GE(peak, started.Store().Parameters().runMaxRpm * 97 / 100);

    sim::SimEcu plain{sim::SimEcuConfig{}};
    plain.Step(60000);
    EXPECT_EQ(plain.Model().State(), EngineState::Stop); // nobody flies it
}

} // namespace
