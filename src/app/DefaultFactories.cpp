#include "app/DefaultFactories.h"

#include "ecu/CDeviceECU.h"
#include "ui/dialogs/CDialogSetting.h"
#include "ui/panels/CDialogCurrentState.h"
#include "ui/panels/CDialogKvrw.h"
#include "ui/panels/CDialogSimulate.h"
#include "ui/panels/CDialogTrack.h"

CTurbexDlg::PageDialogFactories DefaultFactories(CDeviceECU& ecu) {
    CTurbexDlg::PageDialogFactories factories;
    factories.panel = [&ecu](int32_t slot, QWidget* parent) -> QWidget* {
        (void)ecu;
        (void)parent;
        switch (slot) {
        case CTurbexDlg::kPanelCurrentState:
            return new CDialogCurrentState(parent);
        case CTurbexDlg::kPanelTrack:
            return new CDialogTrack(ecu, parent);
        case CTurbexDlg::kPanelRpmTemp:
            return nullptr;
        case CTurbexDlg::kPanelPump:
            return nullptr;
        case CTurbexDlg::kPanelKvrw:
            return new CDialogKvrw(&ecu, parent);
        case CTurbexDlg::kPanelSimulate:
            return new CDialogSimulate(&ecu, parent);
        default:
            return nullptr;
        }
    };
    factories.settings = [&ecu](QWidget* parent) -> std::unique_ptr<ISettingsDialog> {
        return std::make_unique<CDialogSetting>(&ecu, parent);
    };
    return factories;
}
