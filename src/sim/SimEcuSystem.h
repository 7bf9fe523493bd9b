#pragma once

#include "sim/Bus.h"
#include "sim/SimEcu.h"
#include "sim/SimRunLog.h"
#include "sim/SimUnit.h"

#include <cstdint>

namespace sim {

// A whole simulated ECU on its bus at address 31: the unit's status register
// and boot loader, the ECU's registers behind them, and its run log on
// register 13, which the engine fills while it runs and whose size, format
// and rate the telemetry reports.
//
// Thread safety: Step takes the bus lock; everything else is for the owner
// before the bus is served, or under Bus::WithLock.
class SimEcuSystem {
public:
    static constexpr uint8_t kAddress = 31;

    explicit SimEcuSystem(const SimEcuConfig& config = {},
                          uint8_t logFormat = 2,
                          uint8_t logRateCode = 1);

    // Advances the engine by ms and logs it while it runs.
    void Step(uint32_t ms);

    // Stores a generated history and reports it in the telemetry.
    void Prefill(uint32_t records, uint32_t seed = 1);

    // What a completed firmware update does when the new application starts:
    // the parameters (engine name included) go back to their defaults, and
    // the status reply carries another application version. Set before the
    // bus is served.
    struct UpdateEffect {
        bool resetParameters = false;
        bool newVersion = false;
        uint8_t major = 0, minor = 0, patch = 0;
    };
    UpdateEffect updateEffect;

    Bus bus;
    SimEcu ecu;
    SimRunLog runLog;
    SimUnit unit;

private:
    // Hands register 13 to the run log.
    struct Register13 : BusUnit {
        explicit Register13(SimRunLog& log)
            : runLog(log) {}
        bool ReadRegister(uint8_t, uint8_t length, uint8_t* out) override {
            return runLog.Read13(length, out);
        }
        bool WriteRegister(uint8_t, std::span<const uint8_t> data) override {
            return runLog.Write13(data);
        }
        SimRunLog& runLog;
    };

    void ReportLog();
    [[nodiscard]] RunLogSample Sample() const;

    Register13 m_register13;
    uint32_t m_nowMs = 0;
};

} // namespace sim
