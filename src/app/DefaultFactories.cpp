#include "app/DefaultFactories.h"

#include "ecu/CDeviceECU.h"
#include "ui/panels/CDialogTrack.h"

CTurbexDlg::PageDialogFactories DefaultFactories(CDeviceECU& ecu) {
    CTurbexDlg::PageDialogFactories factories;
    factories.panel = [&ecu](int32_t slot, QWidget* parent) -> QWidget* {
        (void)ecu;
        (void)parent;
        switch (slot) {
        case CTurbexDlg::kPanelCurrentState:
            return nullptr;
        case CTurbexDlg::kPanelTrack:
            return new CDialogTrack(ecu, parent);
        case CTurbexDlg::kPanelRpmTemp:
            return nullptr;
        case CTurbexDlg::kPanelPump:
            return nullptr;
        case CTurbexDlg::kPanelKvrw:
            return nullptr;
        case CTurbexDlg::kPanelSimulate:
            return nullptr;
        default:
            return nullptr;
        }
    };
    return factories;
}
