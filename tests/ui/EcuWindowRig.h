#pragma once

// The main window on the real ECU protocol object against a simulated ECU
// behind a TCP bridge on a free port, with the tool's own pages when asked.

#include "Fakes.h"
#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "app/DefaultFactories.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct EcuWindowRig {
    // prepare runs on the simulated ECU before the bridge listens; langId is
    // the system language the window opens in.
    explicit EcuWindowRig(const sim::SimEcuConfig& config,
                          bool withPages = false,
                          const std::function<void(sim::SimEcuSystem&)>& prepare = {},
                          uint16_t langId = 0x0409)
        : system(config) {
        if (prepare) {
            prepare(system);
        }
        EXPECT_TRUE(bridge.Start());
        CTurbexDlg::Setup setup;
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        setup.device = std::make_unique<CDeviceBase>(options);
        auto view = std::make_unique<CEcuViewECU>();
        ecu = view.get();
        if (withPages) {
            setup.factories = DefaultFactories(view->Ecu());
        }
        setup.ecu = std::move(view);
        setup.systemLangId = langId;
        window = std::make_unique<CTurbexDlg>(std::move(setup));
    }
    std::string Text(int32_t id) const { return window->GetDlgItemText(id).toStdString(); }
    std::vector<std::vector<uint8_t>> Commands() {
        std::vector<std::vector<uint8_t>> out;
        system.bus.WithLock([&] {
            for (const auto& e : system.ecu.Log().To(1)) {
                out.push_back(e.bytes);
            }
        });
        return out;
    }

    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    sim::HidDongleSet dongles;
    NoSerialPorts noSerial;
    CEcuViewECU* ecu = nullptr;
    std::unique_ptr<CTurbexDlg> window;
};
