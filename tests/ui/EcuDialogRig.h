#pragma once

// A simulated ECU behind a TCP bridge and the tool's device and ECU object on
// it, without the main window: for the dialogs that work on the ECU object.
// Tests step the simulated engine themselves (nothing drives it in real
// time), step the dialogs' timers by calling their handlers, and wait for
// fresh telemetry where a dialog decides on the live state.

#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct EcuDialogRig {
    explicit EcuDialogRig(const sim::SimEcuConfig& config = {})
        : system(config) {
        EXPECT_TRUE(bridge.Start()) << bridge.GetLastError();
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        device = std::make_unique<CDeviceBase>(options);
        ecu = std::make_unique<CDeviceECU>();
        ecu->attach(device.get());
        device->SetEventHandler(&EcuDialogRig::Count, this);
        device->Start();
    }
    ~EcuDialogRig() {
        ecu.reset(); // its threads use the device
        device.reset();
        bridge.Stop();
    }

    // Online, the parameter block read and one telemetry set decoded.
    [[nodiscard]] bool WaitReady() {
        return QTest::qWaitFor(
            [&] { return ecu->connected() && parameters.load() > 0 && telemetry.load() > 0; },
            10000);
    }
    // Until a telemetry set taken after this call has been decoded (the set
    // under way when it is called may have been taken before).
    [[nodiscard]] bool Fresh() {
        const int32_t start = telemetry.load();
        return QTest::qWaitFor([&] { return telemetry.load() >= start + 2; }, 5000);
    }
    // Advances the simulated engine.
    void Step(uint32_t ms) {
        if (ms > 0) {
            system.Step(ms);
        }
    }
    template <typename Fn>
    void OnEcu(Fn&& fn) {
        system.bus.WithLock(fn);
    }
    void ClearLog() {
        OnEcu([&] { system.ecu.ClearLog(); });
    }
    // The loss of the link: the bridge closes the connection and refuses new
    // ones until Reconnect.
    void Disconnect() {
        bridge.faults.acceptAndClose = -1;
        bridge.DropConnection();
    }
    void Reconnect() { bridge.faults.acceptAndClose = 0; }

    // What the simulated ECU received on registers 1 and 2 (poll requests
    // left out), oldest first, each as one word: a short or long register-1
    // command by its code ("12", "13L1" for the long form with its first
    // argument), a calibration as "calibrate N" (the ambient), its prepare
    // command as "prepare", any other register-2 write as "parameters"
    // (consecutive ones as one).
    std::vector<std::string> Received() {
        std::vector<std::string> out;
        OnEcu([&] {
            for (const sim::EcuCommand& e : system.ecu.Log().Entries()) {
                if ((e.reg != 1 && e.reg != 2) || e.IsPollRequest()) {
                    continue;
                }
                const std::string word = Describe(e);
                if (word == "parameters" && !out.empty() && out.back() == word) {
                    continue;
                }
                out.push_back(word);
            }
        });
        return out;
    }
    static std::string Describe(const sim::EcuCommand& e) {
        const std::vector<uint8_t>& b = e.bytes;
        if (e.reg == 1) {
            if (b.size() == 4 && b[0] == 0x02) {
                return std::to_string(b[1]);
            }
            if (b.size() == 10 && b[0] == 0x02) {
                return std::to_string(b[1]) + "L" + std::to_string(b[2] | (b[3] << 8));
            }
            return "register 1 ?";
        }
        const auto starts = [&](std::initializer_list<uint8_t> head) {
            return b.size() == head.size() + 1 && std::equal(head.begin(), head.end(), b.begin());
        };
        if (starts({0xAA, 0x55, 0xD4, 0x37}) || starts({0xAA, 0x66, 0x04, 0xD4, 0x37}) ||
            starts({0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01})) {
            return "calibrate " + std::to_string(b.back());
        }
        if (b == std::vector<uint8_t>{0xFF, 0x09, 0x37, 0xC8}) {
            return "prepare";
        }
        return "parameters";
    }

    static int32_t Count(int32_t event, int32_t, void* self) {
        auto* rig = static_cast<EcuDialogRig*>(self);
        if (event == CDeviceECU::kTelemetry) {
            ++rig->telemetry;
        } else if (event == CDeviceECU::kParameters) {
            ++rig->parameters;
        }
        return 0;
    }

    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    sim::HidDongleSet dongles;
    NoSerialPorts noSerial;
    std::unique_ptr<CDeviceBase> device;
    std::unique_ptr<CDeviceECU> ecu;
    std::atomic<int32_t> telemetry{0};
    std::atomic<int32_t> parameters{0};
};

inline sim::SimEcuConfig SimConfig(bool block) {
    sim::SimEcuConfig c;
    c.format.generation = block ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    c.format.blockFormat = 3;
    return c;
}
