#pragma once

// The settings dialog as the main window drives it.
// Thread safety: called on the user-interface thread only.
class ISettingsDialog {
public:
    virtual ~ISettingsDialog() = default;

    // Shows the dialog modally; returns when it is closed.
    virtual void Open() = 0;
    // A fresh parameter block arrived (302): show the values again. Does
    // nothing while the dialog is not open.
    virtual void ShowValues() = 0;
    // The device went offline: close the dialog if it is open.
    virtual void Close() = 0;
};
