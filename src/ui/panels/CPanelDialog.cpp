#include "ui/panels/CPanelDialog.h"

CPanelDialog::CPanelDialog(QWidget* parent)
    : CDialogBase(parent) {
    // A page, not a window: without a parent it is still one widget (tests
    // show it on its own).
    setWindowFlags(Qt::Widget);
}
