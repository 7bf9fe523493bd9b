#pragma once

#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "sim/HidDongle.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"
#include "support/WaitFor.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// A simulated ECU behind the bridge, and the tool's device and ECU object
// connected to it over the socket link. The engine only moves when a test
// steps it, so what the tool reads is what the simulator last encoded.
struct EcuRig {
    enum class Link { Socket, Hid };

    // replyWindowMs: the socket link's; wide by default, as sanitizers slow
    // the simulator down.
    explicit EcuRig(const sim::SimEcuConfig& config = {},
                    uint8_t logFormat = 2,
                    Link link = Link::Socket,
                    int32_t replyWindowMs = 250)
        : system(config, logFormat) {
        if (link == Link::Hid) {
            dongle = std::make_unique<sim::HidDongle>(system.bus, "/dev/hidraw-sim0");
            dongles.Add(*dongle);
        } else if (!bridge.Start()) {
            std::abort();
        }
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        options.socketReplyWindowMs = replyWindowMs;
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        device = std::make_unique<CDeviceBase>(options);
        device->SetEventHandler(&EcuRig::OnEvent, this);
        ecuObject = std::make_unique<CDeviceECU>();
        ecuObject->attach(device.get());
        device->Start();
    }
    ~EcuRig() {
        ecuObject.reset(); // the device must outlive the ECU object
        device.reset();
    }

    static int32_t OnEvent(int32_t event, int32_t value, void* self) {
        auto* rig = static_cast<EcuRig*>(self);
        std::lock_guard lock(rig->m_lock);
        rig->m_counts[event]++;
        rig->m_events.emplace_back(event, value);
        return 1;
    }
    int Count(int32_t event) {
        std::lock_guard lock(m_lock);
        return m_counts[event];
    }
    std::vector<std::pair<int32_t, int32_t>> Events() {
        std::lock_guard lock(m_lock);
        return m_events;
    }
    // Waits for n more notifications of code.
    bool WaitNotifications(int32_t code, int n, int timeoutMs = 10000) {
        const int start = Count(code);
        return WaitFor([&] { return Count(code) >= start + n; }, timeoutMs);
    }
    bool WaitParameters() {
        return WaitFor(
            [&] {
                return ecu().withParameters([](CEcuParameters& p) {
                    return p.generation() != EcuGeneration::Unknown && !p.dirty();
                });
            },
            10000);
    }
    template <typename Fn>
    auto OnSim(Fn&& fn) {
        decltype(fn()) result{};
        system.bus.WithLock([&] { result = fn(); });
        return result;
    }

    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    sim::HidDongleSet dongles;
    std::unique_ptr<sim::HidDongle> dongle;
    NoSerialPorts noSerial;
    std::unique_ptr<CDeviceBase> device;
    std::unique_ptr<CDeviceECU> ecuObject;
    CDeviceECU& ecu() { return *ecuObject; }

private:
    std::mutex m_lock;
    std::map<int32_t, int> m_counts;
    std::vector<std::pair<int32_t, int32_t>> m_events;
};
