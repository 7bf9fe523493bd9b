#pragma once

#include "ui/IUiServices.h"

// The toolkit's own message boxes, file dialogs, modal loops, menus and beep.
class CUiServices : public IUiServices {
public:
    int32_t MessageBox(QWidget* parent,
                       const QString& text,
                       const QString& caption,
                       uint32_t type) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override;
    int32_t RunModal(QDialog& dialog) override;
    QAction* TrackPopupMenu(QMenu& menu, const QPoint& globalPos) override;
    void Beep(uint32_t frequencyHz, uint32_t durationMs) override;
};
