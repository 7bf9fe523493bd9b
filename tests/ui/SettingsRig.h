#pragma once

// The main window on the real ECU protocol object, with the tool's own
// dialogs (DefaultFactories), against a simulated ECU behind the socket
// bridge; and what the settings dialog's tests read of the simulated ECU.

#include "Fakes.h"
#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "app/DefaultFactories.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "support/NoPorts.h"
#include "ui/CComboBoxInt.h"
#include "ui/dialogs/CDialogAltpress.h"
#include "ui/dialogs/CDialogSetting.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>

// Every parameter the simulated ECU holds, by text id, and the settings
// without one.
struct EcuValues {
    std::map<int, double> byId;
    int temperatureUnit = 0;
    int pumpMode = 0;
    int telemetryProtocol = 0;
    std::string engineName;
};

// The text ids whose values differ.
inline std::set<int> Changed(const EcuValues& a, const EcuValues& b) {
    std::set<int> ids;
    for (const auto& [id, x] : a.byId) {
        if (std::fabs(b.byId.at(id) - x) > 1e-6) {
            ids.insert(id);
        }
    }
    return ids;
}

inline sim::SimEcuConfig GenerationConfig(bool block) {
    sim::SimEcuConfig c;
    c.format.generation = block ? sim::EcuGeneration::Block : sim::EcuGeneration::Item;
    c.format.blockFormat = 3;
    return c;
}

struct SettingsRig {
    using Prepare = std::function<void(sim::EcuParameters&)>;

    explicit SettingsRig(const sim::SimEcuConfig& config,
                         const Prepare& prepare = {},
                         uint16_t langId = 0x0409)
        : system(config) {
        if (prepare) {
            prepare(system.ecu.Store().Parameters());
            system.ecu.ApplyParametersToModel();
        }
        EXPECT_TRUE(bridge.Start());
        CTurbexDlg::Setup setup;
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        options.socketReplyWindowMs = 250; // sanitizers slow the simulator down
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        setup.device = std::make_unique<CDeviceBase>(options);
        auto view = std::make_unique<CEcuViewECU>();
        ecu = &view->Ecu();
        setup.ecu = std::move(view);
        setup.systemLangId = langId;
        setup.factories = DefaultFactories(*ecu);
        window = std::make_unique<CTurbexDlg>(std::move(setup));
        services.modal = [this](QDialog& dialog) { return RunModal(dialog); };
    }
    ~SettingsRig() {
        window.reset();
        bridge.Stop();
    }

    // The ECU object is online and holds a parameter block read afresh.
    bool WaitRead(int timeoutMs = 10000) {
        return QTest::qWaitFor(
            [this] {
                return ecu->connected() && ecu->withParameters([](CEcuParameters& p) {
                    return p.generation() != EcuGeneration::Unknown && !p.dirty();
                });
            },
            timeoutMs);
    }
    // The block has been read again and shown since shownBefore.
    bool WaitShown(const CDialogSetting& dialog, uint32_t shownBefore) {
        return WaitRead() &&
               QTest::qWaitFor([&] { return dialog.ValuesShown() > shownBefore; }, 10000);
    }

    // Presses "Set Param" and runs body inside the settings dialog's modal
    // run once the values read afresh are shown; the run ends when body
    // returns (or when the dialog closes itself earlier).
    void Run(const std::function<void(CDialogSetting&)>& body) {
        settingsBody = body;
        window->Control<QPushButton>(CTurbexDlg::kSetParam)->click();
    }

    int32_t RunModal(QDialog& dialog) {
        if (auto* altpress = dynamic_cast<CDialogAltpress*>(&dialog)) {
            dialog.show();
            if (altpressBody) {
                altpressBody(*altpress);
            }
            dialog.hide();
            return QDialog::Rejected;
        }
        auto* settings = dynamic_cast<CDialogSetting*>(&dialog);
        if (settings == nullptr || !settingsBody) {
            return QDialog::Rejected;
        }
        settingsDialog = settings;
        const uint32_t shown = settings->ValuesShown();
        dialog.show();
        EXPECT_TRUE(WaitShown(*settings, shown)) << "the values read afresh were not shown";
        settingsBody(*settings);
        dialog.hide();
        return dialog.result();
    }

    // Everything the simulated ECU holds now.
    EcuValues Values() {
        EcuValues v;
        system.bus.WithLock([&] {
            const sim::EcuParameters& p = system.ecu.Store().Parameters();
            for (int id = 1; id <= 79; ++id) {
                double x = 0;
                if (sim::GetParameterByTextId(p, id, x)) {
                    v.byId[id] = x;
                }
            }
            v.temperatureUnit = p.temperatureUnit;
            v.pumpMode = p.pumpMode;
            v.telemetryProtocol = p.telemetryProtocol;
            v.engineName = system.ecu.Store().EngineName();
        });
        return v;
    }
    bool Supported(int textId) {
        bool supported = false;
        system.bus.WithLock([&] { supported = system.ecu.Store().Supported(textId); });
        return supported;
    }

    // Presses a button of the dialog and, when it sends, waits until the
    // values read back are shown.
    void Press(CDialogSetting& dialog, int32_t button, bool waitShown = true) {
        const uint32_t shown = dialog.ValuesShown();
        dialog.Control<QPushButton>(button)->click();
        if (waitShown) {
            EXPECT_TRUE(WaitShown(dialog, shown)) << "button " << button;
        }
    }

    ScriptedUiServices services;
    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    sim::HidDongleSet dongles;
    NoSerialPorts noSerial;
    CDeviceECU* ecu = nullptr;
    std::unique_ptr<CTurbexDlg> window;
    std::function<void(CDialogSetting&)> settingsBody;
    std::function<void(CDialogAltpress&)> altpressBody;
    CDialogSetting* settingsDialog = nullptr;
};

// Controls of the dialog by text id, and what a user does with them.
inline QLineEdit* EditOf(CDialogSetting& d, int textId) {
    return d.Control<QLineEdit>(CDialogSetting::RowControlId(textId));
}
inline CComboBoxInt* ComboOf(CDialogSetting& d, int textId) {
    return d.Control<CComboBoxInt>(CDialogSetting::RowControlId(textId));
}
inline QCheckBox* CheckOf(CDialogSetting& d, int textId) {
    return d.Control<QCheckBox>(CDialogSetting::RowControlId(textId));
}
// Picks the entry carrying data, as the user does (the list raises activated).
inline void Pick(CComboBoxInt* combo, int32_t data) {
    ASSERT_NE(combo, nullptr);
    const int index = combo->findData(data);
    ASSERT_GE(index, 0) << "no entry carries " << data;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
inline std::vector<std::string> Entries(const CComboBoxInt* combo) {
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i) {
        out.push_back(combo->itemText(i).toStdString());
    }
    return out;
}
