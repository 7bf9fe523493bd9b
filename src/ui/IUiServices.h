#pragma once

#include <QString>

#include <cstdint>
#include <string>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

// What a file dialog is asked for.
struct FileDialogSpec {
    QString title;
    QString defaultExtension; // ".csv"
    QString fileName;         // proposed name
    std::string filter;       // "engine_log (*.csv)|*.csv||"
    bool promptOverwrite = false;
};

// The user-facing services that block on the user: message boxes, file
// dialogs, modal dialogs, pop-up menus, and the beep. Windows go through this
// seam so that tests can answer them; the tool uses the toolkit's own.
//
// Thread safety: user-interface thread only.
class IUiServices {
public:
    // Message box buttons and icons, and the results.
    static constexpr uint32_t kOk = 0x00;
    static constexpr uint32_t kOkCancel = 0x01;
    static constexpr uint32_t kYesNo = 0x04;
    static constexpr uint32_t kIconError = 0x10;
    static constexpr uint32_t kIconQuestion = 0x20;
    static constexpr uint32_t kIconWarning = 0x30;
    static constexpr uint32_t kIconInformation = 0x40;
    static constexpr int32_t kIdOk = 1;
    static constexpr int32_t kIdCancel = 2;
    static constexpr int32_t kIdYes = 6;
    static constexpr int32_t kIdNo = 7;

    virtual ~IUiServices() = default;

    // Shows text with the buttons and icon of type; returns the button
    // pressed (kIdOk, kIdCancel, kIdYes, kIdNo).
    virtual int32_t
    MessageBox(QWidget* parent, const QString& text, const QString& caption, uint32_t type) = 0;
    // The chosen path, or "" when cancelled.
    virtual QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) = 0;
    virtual QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) = 0;
    // Runs the dialog modally; QDialog::Accepted or QDialog::Rejected.
    virtual int32_t RunModal(QDialog& dialog) = 0;
    // Shows the menu at the global position; the chosen action, or null when
    // dismissed (a disabled item cannot be chosen).
    virtual QAction* TrackPopupMenu(QMenu& menu, const QPoint& globalPos) = 0;
    virtual void Beep(uint32_t frequencyHz, uint32_t durationMs) = 0;
};

// The services in use: the toolkit's own unless a test replaced them.
[[nodiscard]] IUiServices& UiServices();
// Replaces the services (not owned); null restores the toolkit's own.
void SetUiServices(IUiServices* services);
