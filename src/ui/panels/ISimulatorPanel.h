#pragma once

// The radio simulator page as the main window feeds it.
// Thread safety: called on the user-interface thread only.
class ISimulatorPanel {
public:
    virtual ~ISimulatorPanel() = default;

    // On every telemetry notification (301) and every stored simulator
    // channel reply (305).
    virtual void Refresh() = 0;
    // A simulator state reply was stored (306).
    virtual void RefreshGroundSupport() = 0;
    // The device went offline.
    virtual void Reset() = 0;
};
