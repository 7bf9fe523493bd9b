#pragma once

#include "Fakes.h"
#include "SimRig.h"
#include "app/CTurbexDlg.h"
#include "ui/CTabCtrl.h"
#include "ui/dialogs/CColorFlag.h"

#include <QTest>

#include <algorithm>
#include <memory>
#include <string>

// A main window on a device that looks for the bridge at port, with a fake
// ECU view and, when withPages is set, recording pages and dialogs.
struct MainWindowRig {
    FakeEcuView* ecu = nullptr;
    std::vector<std::string> dialogs; // what the window asked of its dialogs
    std::unique_ptr<CTurbexDlg> window;

    MainWindowRig(uint16_t port, uint16_t langId, bool withPages = true) {
        CTurbexDlg::Setup setup;
        CDeviceBase::Options options;
        options.socketPort = port;
        setup.device = std::make_unique<CDeviceBase>(options);
        auto view = std::make_unique<FakeEcuView>();
        ecu = view.get();
        setup.ecu = std::move(view);
        setup.systemLangId = langId;
        if (withPages) {
            setup.factories.panel = [](int32_t, QWidget* parent) {
                return new RecordingPanel(parent);
            };
            setup.factories.settings = [this](QWidget*) {
                return std::make_unique<RecordingDialog>(&dialogs, "settings");
            };
            setup.factories.testDialog = [this](int32_t id, QWidget*) {
                dialogs.push_back("create test " + std::to_string(id));
                return std::make_unique<RecordingDialog>(&dialogs, "test " + std::to_string(id));
            };
            setup.factories.firmware = [this](QWidget*, CDeviceBase&) {
                return std::make_unique<RecordingDialog>(&dialogs, "firmware");
            };
        }
        window = std::make_unique<CTurbexDlg>(std::move(setup));
    }

    CTurbexDlg& w() { return *window; }
    std::string Text(int32_t id) const { return window->GetDlgItemText(id).toStdString(); }
    QColor Lamp(int32_t id) const {
        const CColorFlag* flag = window->Control<CColorFlag>(id);
        return flag != nullptr ? flag->GetColor() : QColor();
    }
    RecordingPanel* Page(int32_t slot) const {
        return dynamic_cast<RecordingPanel*>(window->Panel(slot));
    }
    bool Has(const std::string& entry) const {
        return std::find(dialogs.begin(), dialogs.end(), entry) != dialogs.end();
    }
    // Waits until the device is online (both lamps green).
    bool WaitOnline() {
        return QTest::qWaitFor(
            [this] { return Lamp(CTurbexDlg::kDeviceLamp) == QColor(0, 255, 0); }, 10000);
    }
    void Notify(int32_t event, int32_t value = 0) { (void)window->Device().Notify(event, value); }
};

inline const QColor kGreenLamp(0, 255, 0);
inline const QColor kRedLamp(255, 0, 0);
