#pragma once

#include "ui/CDialogBase.h"

// The base of a page of the main window's tab strip: a dialog that lives as
// a child control of its parent (the tab control) rather than as a window of
// its own, and that never closes itself (Escape does nothing; the main window
// shows and hides its pages).
//
// Thread safety: user-interface thread only.
class CPanelDialog : public CDialogBase {
    Q_OBJECT
public:
    explicit CPanelDialog(QWidget* parent = nullptr);

    void reject() override {}
};
