#include "ui/CUiServices.h"

#include "ui/model/FileFilter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

namespace {

IUiServices* g_services = nullptr;

QString Filter(const FileDialogSpec& spec) {
    return QString::fromStdString(FileFilter::ToToolkit(spec.filter));
}

QString WithExtension(QString path, const FileDialogSpec& spec) {
    if (!path.isEmpty() && !spec.defaultExtension.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        path += spec.defaultExtension.startsWith('.') ? spec.defaultExtension
                                                      : "." + spec.defaultExtension;
    }
    return path;
}

} // namespace

IUiServices& UiServices() {
    static CUiServices toolkit;
    return g_services != nullptr ? *g_services : toolkit;
}

void SetUiServices(IUiServices* services) {
    g_services = services;
}

int32_t CUiServices::MessageBox(QWidget* parent,
                                const QString& text,
                                const QString& caption,
                                uint32_t type) {
    QMessageBox box(parent);
    box.setText(text);
    box.setWindowTitle(caption);
    switch (type & 0xF0) {
    case kIconError:
        box.setIcon(QMessageBox::Critical);
        break;
    case kIconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case kIconWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case kIconInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (type & 0x0F) {
    case kOkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case kYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return kIdOk;
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    default:
        return kIdCancel;
    }
}

QString CUiServices::GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) {
    return QFileDialog::getOpenFileName(parent, spec.title, spec.fileName, Filter(spec));
}

QString CUiServices::GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) {
    const QFileDialog::Options options =
        spec.promptOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
    return WithExtension(QFileDialog::getSaveFileName(
                             parent, spec.title, spec.fileName, Filter(spec), nullptr, options),
                         spec);
}

int32_t CUiServices::RunModal(QDialog& dialog) {
    return dialog.exec();
}

QAction* CUiServices::TrackPopupMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

void CUiServices::Beep(uint32_t, uint32_t) {
    // The toolkit's bell has neither pitch nor length.
    QApplication::beep();
}
