#pragma once

// The "Historic records" page as the main window feeds it.
// Thread safety: called on the user-interface thread only.
class IRecordsPanel {
public:
    virtual ~IRecordsPanel() = default;

    // Run-log data were added (303).
    virtual void RecordsChanged() = 0;
    // The record download started (true) or ended (false) (304).
    virtual void SetLoading(bool loading) = 0;
    // The device went offline.
    virtual void Reset() = 0;
    // The language changed: set the captions again.
    virtual void Recaption() = 0;
};
