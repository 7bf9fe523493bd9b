#pragma once

#include "sim/LiveValues.h"

#include <bitset>
#include <cstdint>
#include <optional>

namespace sim {

// Faults a test or the simulator's user can inject.
enum class EngineFault : uint8_t {
    LowVoltage,          // the supply sags below the minimum battery voltage
    Overload,            // the supply current is beyond its limit
    PumpLimit,           // the main pump is at its voltage/current limit
    TcuNotAnswering,     // the TCU is fitted but does not answer
    StarterNotAnswering, // the starter unit is fitted but does not answer
    Count
};

// ECU state codes the model uses.
namespace EngineState {
constexpr uint8_t Stop = 0, Ready = 1, Ignition = 2, Preheat = 3, FuelRamp = 4, Running = 5,
                  Cooling = 6, Restart = 7, TestGlowPlug = 8, TestFuelValve = 9,
                  TestIgnitionValve = 10, TestPump = 11, TestStarter = 12, TestAuxValve = 13,
                  PumpCalibration = 14;
} // namespace EngineState

// The settings of the parameter block the model follows.
struct EngineTuning {
    int idleRpm = 40000;
    int maxRpm = 150000;
    int coolingRpm = 5000;
    int ignitionRpm = 6000;
    int preheatRpm = 8000;
    int clutchRpm = 30000;
    int maxEgt = 900; // °C: beyond it the engine stops with error 8
    double minBatteryVoltage = 7.0;
    double pumpLimit = 6.0;   // V: the main pump never gets more
    double glowVoltage = 3.5; // V at start
    double starterRunVoltage = 6.0;
    // V: the short-form pump test drives the main pump at the start-up pump
    // voltage (the ECU test dialog sets it before its pump run).
    double pumpTestVoltage = 1.2;
    int accelerationCurve = 40; // 10..70: tenths of a second from idle to full
    int decelerationCurve = 30;
    bool reduceCoolingTime = false;
    bool rpmControl = false;
};

// What is fitted around the ECU, and the surroundings.
struct EngineHardware {
    bool tcuFitted = true;
    bool starterFitted = true;
    bool alternatorFitted = true;
    bool brushlessPump = true; // the main pump reports state, RPM, temperature
    uint8_t tcuVersion[3] = {1, 2, 3};
    uint8_t mainPumpEcuKind = 1;
    uint8_t mainPumpTcuKind = 2;
    double ambientC = 22.0;
    double supplyVoltage = 12.0;
    double rcVoltage = 5.0;
    uint32_t airPressurePa = 101320;
    int32_t altitudeM = 120;
    double maxThrustKg = 12.0; // at maximum RPM
    bool thrustSensor = true;  // register 5 group 2
    bool sensorGroup1 = false; // register 5 group 1
    double sensorValue1 = 3.3;
    double sensorValue2 = 1013.2;
    uint32_t recordStorage = 0; // bytes of run records held
    uint8_t recordFormat = 2;
    uint8_t recordRateCode = 1;
};

// A plausible small jet engine with its ECU's sequencing: start (ready,
// ignition, preheat, fuel ramp, running), throttle response of RPM and EGT,
// cooling, actuator tests, RC learning and injectable faults.
//
// Deterministic: time only moves by Step(ms), so tests are repeatable.
// Values() is the live state after the last step, in engineering units and
// not yet quantised for any layout.
//
// Thread safety: none; callers serialise (SimEcu under the bus lock).
class EngineModel {
public:
    EngineModel()
        : EngineModel(EngineHardware{}) {}
    explicit EngineModel(const EngineHardware& hardware);

    // Advances the simulated time by ms (any amount; integrated in small steps).
    void Step(uint32_t ms);

    [[nodiscard]] const LiveValues& Values() const { return m_values; }
    [[nodiscard]] uint8_t State() const { return m_state; }
    [[nodiscard]] uint64_t TimeMs() const { return m_timeMs; }

    void SetTuning(const EngineTuning& tuning) { m_tuning = tuning; }
    [[nodiscard]] const EngineTuning& Tuning() const { return m_tuning; }
    [[nodiscard]] EngineHardware& Hardware() { return m_hardware; }

    // Pilot inputs. Throttle 0..100 % (clamped), shown as 1000..2000 µs. The
    // switch on makes a stopped engine ready; off stops a running one.
    void SetThrottle(double percent);
    void SetSwitch(bool on);
    void SetThrottleLock(bool locked);
    [[nodiscard]] double Throttle() const { return m_throttle; }

    // Starts from stopped or ready (refused during a test or with low voltage,
    // which latches error 2). The radio starts it too: throttle raised above
    // 90 % while ready.
    bool RequestStart();
    // Stops fuel; cools down first when hot.
    void RequestStop();

    // Register-1 command with its arguments (short form: args[0] only).
    // Actuator tests run only while stopped or ready. Returns true when the
    // command had an effect.
    //
    // The short form with argument 0 for the test that runs stops it (the
    // engineering panel's stop button), except that a test started in the
    // short form takes it within kRepeatWindowMs of the previous command for
    // it as a repeat and goes on (the tool's automatic sequences send a test
    // until they see its state).
    bool Command(uint8_t code, const uint16_t args[4], bool longForm);
    static constexpr uint32_t kRepeatWindowMs = 300;

    // RC learning (commands 2..6). For the learn commands returns the point
    // learned: 1 maximum, 2 minimum, 3 idle, with the throttle pulse in µs.
    struct LearnedPoint {
        int point;
        uint16_t microseconds;
    };
    std::optional<LearnedPoint> Learn(uint8_t code);

    void SetFault(EngineFault fault, bool active);
    [[nodiscard]] bool Fault(EngineFault fault) const {
        return m_faults.test(static_cast<size_t>(fault));
    }
    // Latches an ECU error code (1..19); a running engine shuts down. 0 clears.
    void InjectErrorCode(uint8_t code);
    [[nodiscard]] uint8_t ErrorCode() const { return m_errorCode; }

    // Test state still to run, ms (0 when no test runs).
    [[nodiscard]] uint32_t TestRemainingMs() const { return m_testRemainingMs; }

private:
    void Advance(double dtMs);
    void EnterState(uint8_t state);
    void Shutdown(uint8_t errorCode);
    void UpdateValues();
    [[nodiscard]] bool Starting() const;

    EngineHardware m_hardware;
    EngineTuning m_tuning;
    std::bitset<static_cast<size_t>(EngineFault::Count)> m_faults;

    uint64_t m_timeMs = 0;
    uint8_t m_state = EngineState::Stop;
    double m_stateMs = 0.0;
    uint8_t m_errorCode = 0;

    double m_throttle = 0.0;
    bool m_switchOn = false;
    bool m_throttleLock = false;
    bool m_throttleWasHigh = false;
    bool m_learningMaxMin = false;
    bool m_learningHighEnd = false;
    bool m_learningIdle = false;

    // Continuous quantities.
    double m_rpm = 0.0;
    double m_egt = 0.0;
    double m_pumpVoltage = 0.0;
    double m_starterRpm = 0.0;
    double m_ignitionPumpRpm = 0.0;
    double m_fuelPressure = 0.0;
    double m_starterTemperature = 0.0;
    // The main pump warms while it is driven and settles back slowly.
    double m_pumpTemperature = 0.0;
    bool m_glowOn = false;
    bool m_starterDriving = false;
    bool m_pumpLimited = false;
    double m_valveCurrent = 0.0;
    bool m_ignitionPumpOn = false;

    // Actuator test in progress.
    uint8_t m_testCode = 0;
    uint32_t m_testRemainingMs = 0;
    uint64_t m_testCommandMs = 0; // time of the last command for the running test
    bool m_testLongForm = false;  // the running test was started in the long form
    double m_testVoltage = 0.0;
    double m_testPressure = 0.0;
    uint32_t m_alternatorTestMs = 0;

    LiveValues m_values;
};

} // namespace sim
