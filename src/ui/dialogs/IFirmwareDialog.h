#pragma once

#include <cstdint>

// The firmware update dialog as the main window drives it. The transfer runs
// on the device's poll thread; its events reach the dialog through the main
// window, also while the dialog is closed.
// Thread safety: called on the user-interface thread only.
class IFirmwareDialog {
public:
    virtual ~IFirmwareDialog() = default;

    // Shows the dialog modally; returns when it is closed.
    virtual void Open() = 0;
    // Transfer progress in percent (0 when a transfer begins or ends).
    virtual void ShowProgress(int32_t percent) = 0;
    // The transfer ended.
    virtual void Finished(bool success) = 0;
    // A parameter block was read (302); a dialog that keeps the parameters
    // across an update compares them here.
    virtual void ParametersRead() {}
};
