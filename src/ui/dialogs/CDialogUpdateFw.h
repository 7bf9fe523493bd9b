#pragma once

#include "ui/CDialogBase.h"
#include "ui/dialogs/IFirmwareDialog.h"

#include <cstdint>

class CDeviceBase;
class QCheckBox;
class QLineEdit;
class QProgressBar;

// "固件升级": picks a firmware image (*.bin) and hands the whole file to the
// device, which runs the transfer through the boot loader on its poll
// thread. Progress and the end come back as the device's transfer events,
// which the main window forwards here (ShowProgress, Finished), also while
// the dialog is closed: progress is then dropped, the result box is shown.
// With "无限次升级，直到失败" every success starts the next upgrade at once
// and the counter counts the successes until one fails.
//
// The path and the counter live as long as the dialog (the main window's
// life), so a reopened dialog shows the last file chosen. A file that cannot
// be read, an empty one, or a device that refuses the image gives no message:
// only the end of a transfer does ("升级成功" / "升级失败").
//
// Flow: the upgrade button calls StartTransfer; Finished is the one place
// where a transfer's result is handled.
//
// Thread safety: user-interface thread only.
class CDialogUpdateFw : public CDialogBase, public IFirmwareDialog {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kPath = 1300,
        kProgress = 1301,
        kOpenFile = 1302,
        kUpgrade = 1303,
        kRepeat = 1304,
        kCounter = 1305,
    };
    // The largest image read (a unit's flash is far smaller).
    static constexpr size_t kMaxImageBytes = 16u * 1024u * 1024u;

    // device must outlive the dialog.
    CDialogUpdateFw(CDeviceBase& device, QWidget* parent = nullptr);

    // --- IFirmwareDialog ------------------------------------------------------
    // Shows the kept path and runs the dialog modally.
    void Open() override;
    // Range 0..100, position percent (above 100: a full bar). Nothing while
    // the dialog is not shown.
    void ShowProgress(int32_t percent) override;
    // A transfer ended: count a success and start the next one when
    // repeating, or say how it went.
    void Finished(bool success) override;

    // --- actions -------------------------------------------------------------
    // "打开文件": the open-file dialog; a chosen file becomes the kept path.
    void OnOpenFile();
    // " 升级".
    void OnUpgrade();

    [[nodiscard]] const QString& ImagePath() const { return m_path; }
    [[nodiscard]] int32_t SuccessCount() const { return m_successes; }

private:
    // Reads the kept file whole and hands it to the device; false (and
    // nothing started) when there is no readable, non-empty file or the
    // device refuses it.
    bool StartTransfer();
    void Say(const char* text);

    CDeviceBase& m_device;
    QLineEdit* m_pathEdit = nullptr;
    QProgressBar* m_progress = nullptr;
    QCheckBox* m_repeat = nullptr;
    QString m_path;
    int32_t m_successes = 0;
};
