#include "app/DefaultFactories.h"

#include "ecu/CDeviceECU.h"
#include "ui/panels/CDialogPump.h"
#include "ui/panels/CDialogRpmTemp.h"

CTurbexDlg::PageDialogFactories DefaultFactories(CDeviceECU& ecu) {
    CTurbexDlg::PageDialogFactories factories;
    factories.panel = [&ecu](int32_t slot, QWidget* parent) -> QWidget* {
        (void)ecu;
        (void)parent;
        switch (slot) {
        case CTurbexDlg::kPanelCurrentState:
            return nullptr;
        case CTurbexDlg::kPanelTrack:
            return nullptr;
        case CTurbexDlg::kPanelRpmTemp:
            return new CDialogRpmTemp(parent);
        case CTurbexDlg::kPanelPump:
            return new CDialogPump(parent);
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
