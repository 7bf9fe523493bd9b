#pragma once

// A page on the real ECU protocol object, connected over the socket link to a
// simulated ECU whose engine only moves when the test steps it (the ECU
// object's own test rig). The page's own timers are the test's to step.

#include "ecu/EcuRig.h"

#include <vector>

struct EcuPanelRig : EcuRig {
    using EcuRig::EcuRig;

    // Online with the parameter block read (the generation known).
    bool WaitReady() {
        return WaitFor([this] { return ecu().connected(); }, 10000) && WaitParameters();
    }
    // Two more telemetry sets: the second began after whatever the test did
    // to the simulated engine before the call.
    bool WaitFreshTelemetry() { return WaitNotifications(CDeviceECU::kTelemetry, 2); }

    // The writes the simulated ECU received on reg (poll requests left out).
    std::vector<std::vector<uint8_t>> Writes(uint8_t reg) {
        return OnSim([&] {
            std::vector<std::vector<uint8_t>> out;
            for (const auto& e : system.ecu.Log().To(reg)) {
                out.push_back(e.bytes);
            }
            return out;
        });
    }
    void ClearLog() {
        Do([&] { system.ecu.ClearLog(); });
    }
    // Runs fn on the simulated unit under its lock.
    template <typename Fn>
    void Do(Fn&& fn) {
        system.bus.WithLock(fn);
    }
};

inline sim::SimEcuConfig EcuConfig(bool block, int8_t radioMode = 0) {
    sim::SimEcuConfig c;
    c.format.generation = block ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    c.format.blockFormat = 3;
    c.radioMode = radioMode;
    return c;
}
