#include "app/DefaultFactories.h"

#include "ecu/CDeviceECU.h"
#include "ui/dialogs/CDialogSetting.h"
#include "ui/dialogs/CDialogTest.h"
#include "ui/dialogs/CDialogTestECU.h"
#include "ui/dialogs/CDialogTestTCU.h"
#include "ui/dialogs/CDialogUpdateFw.h"
#include "ui/panels/CDialogCurrentState.h"
#include "ui/panels/CDialogKvrw.h"
#include "ui/panels/CDialogPump.h"
#include "ui/panels/CDialogRpmTemp.h"
#include "ui/panels/CDialogSimulate.h"
#include "ui/panels/CDialogTrack.h"
#include "update/CUnitArchive.h"

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
            return new CDialogRpmTemp(parent);
        case CTurbexDlg::kPanelPump:
            return new CDialogPump(parent);
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
    factories.testDialog = [&ecu](int32_t templateId,
                                  QWidget* parent) -> std::unique_ptr<ITestDialog> {
        switch (templateId) {
        case CTurbexDlg::kHardwareTest:
            return std::make_unique<CDialogTest>(ecu, parent);
        case CTurbexDlg::kEcuTestDialog:
            return std::make_unique<CDialogTestECU>(ecu, parent);
        case CTurbexDlg::kTcuTestDialog:
            return std::make_unique<CDialogTestTCU>(ecu, parent);
        default:
            return nullptr;
        }
    };
    factories.firmware = [&ecu](QWidget* parent, CDeviceBase& device) {
        return std::make_unique<CDialogUpdateFw>(device, parent, &ecu, CUnitArchive::DefaultRoot());
    };
    return factories;
}
