#pragma once

// A page on the real ECU protocol object, connected over the socket link to a
// simulated ECU whose engine only moves when the test steps it. The page's
// own timers are the test's to step.

#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "sim/HidDongleSet.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

struct EcuPanelRig {
    explicit EcuPanelRig(const sim::SimEcuConfig& config)
        : system(config) {
        EXPECT_TRUE(bridge.Start());
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        options.socketReplyWindowMs = 250; // sanitizers slow the simulator down
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        device = std::make_unique<CDeviceBase>(options);
        device->SetEventHandler(&EcuPanelRig::OnEvent, this);
        ecu = std::make_unique<CDeviceECU>();
        ecu->attach(device.get());
        device->Start();
    }
    ~EcuPanelRig() {
        ecu.reset(); // its threads use the device
        device.reset();
    }

    // Online with the parameter block read (the generation known).
    bool WaitReady() {
        return QTest::qWaitFor(
            [this] {
                return ecu->connected() && ecu->withParameters([](CEcuParameters& p) {
                    return p.generation() != EcuGeneration::Unknown && !p.dirty();
                });
            },
            10000);
    }
    // Waits for n more notifications of code (301 telemetry, 305, 306...).
    bool WaitNotifications(int32_t code, int n) {
        const int start = Count(code);
        return QTest::qWaitFor([&] { return Count(code) >= start + n; }, 5000);
    }
    // Two more telemetry sets: the second began after whatever the test did
    // to the simulated engine before the call.
    bool WaitFreshTelemetry() { return WaitNotifications(CDeviceECU::kTelemetry, 2); }
    int Count(int32_t code) const {
        if (code == CDeviceECU::kTelemetry) {
            return telemetry.load();
        }
        if (code == CDeviceECU::kSimulatorChannels) {
            return channels.load();
        }
        return code == CDeviceECU::kSimulatorState ? state.load() : 0;
    }

    // The writes the simulated ECU received on reg (poll requests left out).
    std::vector<std::vector<uint8_t>> Writes(uint8_t reg) {
        std::vector<std::vector<uint8_t>> out;
        system.bus.WithLock([&] {
            for (const auto& e : system.ecu.Log().To(reg)) {
                out.push_back(e.bytes);
            }
        });
        return out;
    }
    void ClearLog() {
        system.bus.WithLock([&] { system.ecu.ClearLog(); });
    }
    template <typename Fn>
    void OnSim(Fn&& fn) {
        system.bus.WithLock(fn);
    }

    static int32_t OnEvent(int32_t event, int32_t, void* self) {
        auto* rig = static_cast<EcuPanelRig*>(self);
        if (event == CDeviceECU::kTelemetry) {
            ++rig->telemetry;
        } else if (event == CDeviceECU::kSimulatorChannels) {
            ++rig->channels;
        } else if (event == CDeviceECU::kSimulatorState) {
            ++rig->state;
        }
        return 1;
    }

    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    sim::HidDongleSet dongles;
    NoSerialPorts noSerial;
    std::unique_ptr<CDeviceBase> device;
    std::unique_ptr<CDeviceECU> ecu;
    std::atomic<int> telemetry{0}, channels{0}, state{0};
};

inline sim::SimEcuConfig EcuConfig(bool block, int8_t radioMode = 0) {
    sim::SimEcuConfig c;
    c.format.generation = block ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    c.format.blockFormat = 3;
    c.radioMode = radioMode;
    return c;
}
