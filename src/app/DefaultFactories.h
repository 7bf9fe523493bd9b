#pragma once

#include "app/CTurbexDlg.h"

class CDeviceECU;

// The tool's own pages and dialogs, each made on the ECU protocol object the
// main window owns. The window destroys its pages and dialogs before that
// object, so they may keep a plain reference to it.
[[nodiscard]] CTurbexDlg::PageDialogFactories DefaultFactories(CDeviceECU& ecu);
