#pragma once

// The main window on the real ECU protocol object, against a simulated ECU
// behind a bridge on a free port of 127.0.0.1 (no dongle, no serial ports);
// with withPages, the tool's own pages and dialogs on that object.

#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "app/DefaultFactories.h"
#include "sim/HidDongleSet.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct EcuWindowRig {
    explicit EcuWindowRig(const sim::SimEcuConfig& config,
                          uint16_t langId = 0x0409,
                          bool withPages = false)
        : system(config) {
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
