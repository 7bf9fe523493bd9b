#pragma once

#include "engine/CEngineParameterFile.h"
#include "ui/CDialogBase.h"
#include "ui/dialogs/IFirmwareDialog.h"
#include "update/CUnitArchive.h"

#include <cstdint>
#include <string>

class CDeviceBase;
class CDeviceECU;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QTimer;

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
// With "保留参数" checked (the default, when the dialog has the ECU protocol
// object) the parameters are kept safe across an update: before the transfer
// they are saved as a backup in the unit's folder of the archive (a unit
// waiting in its boot loader uses the backup of the update that left it
// there), after a successful update the block the new firmware reports is
// compared with the backup, and when they differ a question lists the
// differences and restores the backed-up values on OK, read back and
// confirmed. Every attempt adds a line to the unit's update history. With
// the repeat check box only the attempts are recorded (the parameters are
// compared after a single update).
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
        kKeep = 1306,
    };
    // How long a finished update waits for the new firmware's parameters.
    static constexpr int32_t kParametersWaitMs = 30000;
    // The largest image read (a unit's flash is far smaller).
    static constexpr size_t kMaxImageBytes = 16u * 1024u * 1024u;

    // device (and ecu, when given) must outlive the dialog. Without ecu the
    // dialog only transfers; archiveRoot is the unit archive's folder
    // (CUnitArchive::DefaultRoot() for the tool).
    CDialogUpdateFw(CDeviceBase& device,
                    QWidget* parent = nullptr,
                    CDeviceECU* ecu = nullptr,
                    std::string archiveRoot = {});

    // --- IFirmwareDialog ------------------------------------------------------
    // Shows the kept path and runs the dialog modally.
    void Open() override;
    // Range 0..100, position percent (above 100: a full bar). Nothing while
    // the dialog is not shown.
    void ShowProgress(int32_t percent) override;
    // A transfer ended: count a success and start the next one when
    // repeating, or say how it went.
    void Finished(bool success) override;
    // Compares or confirms the parameters after an update (see above).
    void ParametersRead() override;

    // --- actions -------------------------------------------------------------
    // "打开文件": the open-file dialog; a chosen file becomes the kept path.
    void OnOpenFile();
    // " 升级".
    void OnUpgrade();

    [[nodiscard]] const QString& ImagePath() const { return m_path; }
    [[nodiscard]] int32_t SuccessCount() const { return m_successes; }
    // The backup of the update under way or last finished ("" when none).
    [[nodiscard]] const std::string& BackupPath() const { return m_record.backup; }

private:
    enum class Guard { Idle, Transferring, AwaitingParameters, AwaitingRestore };

    // Reads the kept file whole and hands it to the device; false (and
    // nothing started) when there is no readable, non-empty file, the
    // parameters cannot be backed up, or the device refuses it. first: the
    // user's start (a backup is taken), not a repeat.
    bool StartTransfer(bool first);
    // The backup before a first transfer; false (with a message) when the
    // parameters cannot be kept.
    bool TakeBackup();
    void FinishGuard(const std::string& restored);
    [[nodiscard]] CEngineParameterFile::Texts CurrentTexts() const;
    void Say(const char* text);
    void Say(const QString& text);

    CDeviceBase& m_device;
    CDeviceECU* m_ecu;
    CUnitArchive m_archive;
    QLineEdit* m_pathEdit = nullptr;
    QProgressBar* m_progress = nullptr;
    QCheckBox* m_repeat = nullptr;
    QCheckBox* m_keep = nullptr;
    QTimer* m_wait = nullptr; // bounds AwaitingParameters and AwaitingRestore
    QString m_path;
    int32_t m_successes = 0;

    Guard m_guard = Guard::Idle;
    bool m_keeping = false; // this update keeps the parameters
    CUpdateRecord m_record; // the attempt under way
    CEngineParameterFile::Texts m_backupTexts;
};
