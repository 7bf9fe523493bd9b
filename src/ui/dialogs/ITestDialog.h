#pragma once

// A modeless test dialog (hardware, ECU or TCU test) as the main window drives
// it. Created on first use, shown again on later presses.
// Thread safety: called on the user-interface thread only.
class ITestDialog {
public:
    virtual ~ITestDialog() = default;

    virtual void Show() = 0;
    // On every telemetry notification (301).
    virtual void Refresh() = 0;
    // The device went offline.
    virtual void Reset() = 0;
    // The language changed: set the captions again.
    virtual void Recaption() = 0;
};
