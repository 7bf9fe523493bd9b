#include "ui/dialogs/CDialogUpdateFw.h"

#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "foundation/Sha256.h"
#include "platform/FileIo.h"
#include "ui/DialogTemplate.h"
#include "ui/IUiServices.h"
#include "update/CParameterDiff.h"
#include "update/CUnitIdentity.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

using Kind = DialogItem::Kind;

// The dialog's template, in dialog units.
const DialogItem kTemplate[] = {
    {CDialogUpdateFw::kPath, Kind::Value, 7, 7, 256, 12, ""},
    {CDialogUpdateFw::kProgress, Kind::Progress, 7, 24, 256, 10, ""},
    {CDialogUpdateFw::kOpenFile, Kind::Button, 7, 40, 50, 14, "打开文件"},
    {CDialogUpdateFw::kUpgrade, Kind::Button, 61, 40, 50, 14, " 升级"},
    {CDialogUpdateFw::kRepeat, Kind::Check, 117, 42, 108, 10, "无限次升级，直到失败"},
    {CDialogUpdateFw::kCounter, Kind::Value, 231, 41, 32, 12, ""},
    {CDialogUpdateFw::kKeep, Kind::Check, 7, 59, 200, 10, "保留参数（升级前备份，升级后比较）"},
};

} // namespace

CDialogUpdateFw::CDialogUpdateFw(CDeviceBase& device,
                                 QWidget* parent,
                                 CDeviceECU* ecu,
                                 std::string archiveRoot)
    : CDialogBase(parent)
    , m_device(device)
    , m_ecu(ecu)
    , m_archive(std::move(archiveRoot)) {
    setWindowTitle(QStringLiteral("固件升级"));
    CreateDialogItems(*this, kTemplate);
    m_pathEdit = Control<QLineEdit>(kPath);
    m_progress = Control<QProgressBar>(kProgress);
    m_repeat = Control<QCheckBox>(kRepeat);
    m_keep = Control<QCheckBox>(kKeep);
    m_keep->setChecked(m_ecu != nullptr);
    m_keep->setEnabled(m_ecu != nullptr);
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    connect(m_wait, &QTimer::timeout, this, [this] {
        // The new firmware never sent its parameters (or never read back the
        // restore): the attempt is recorded as it stands.
        FinishGuard(m_guard == Guard::AwaitingRestore ? "failed" : "");
    });
    // The two edits have no label of their own.
    m_pathEdit->setAccessibleName(QStringLiteral("固件文件"));
    Control<QLineEdit>(kCounter)->setAccessibleName(QStringLiteral("升级次数"));
    connect(
        Control<QPushButton>(kOpenFile), &QPushButton::clicked, this, &CDialogUpdateFw::OnOpenFile);
    connect(
        Control<QPushButton>(kUpgrade), &QPushButton::clicked, this, &CDialogUpdateFw::OnUpgrade);
    setFixedSize(DluRect(0, 0, 270, 75).size());
}

void CDialogUpdateFw::Open() {
    SetDlgItemText(kPath, m_path);
    (void)UiServices().RunModal(*this);
}

void CDialogUpdateFw::ShowProgress(int32_t percent) {
    if (!isVisible()) {
        return;
    }
    // The last batch may report more than 100; the bar ignores a value
    // outside its range, so it is shown full instead.
    m_progress->setRange(0, 100);
    m_progress->setValue(std::clamp(percent, 0, 100));
}

void CDialogUpdateFw::OnOpenFile() {
    FileDialogSpec spec;
    spec.defaultExtension = QStringLiteral("bin");
    spec.filter = "firmware (*.bin)|*.bin||";
    spec.promptOverwrite = true;
    const QString path = UiServices().GetOpenFileName(this, spec);
    if (path.isEmpty()) {
        return;
    }
    m_path = path;
    SetDlgItemText(kPath, m_path);
}

void CDialogUpdateFw::OnUpgrade() {
    (void)StartTransfer(true);
}

CEngineParameterFile::Texts CDialogUpdateFw::CurrentTexts() const {
    return m_ecu->withParameters(
        [](CEcuParameters& p) { return CEngineParameterFile::Collect(p); });
}

bool CDialogUpdateFw::TakeBackup() {
    const CUnitIdentity unit = CUnitIdentity::Of(m_device);
    m_record = CUpdateRecord{};
    m_record.unit = unit.Key();
    m_record.versionBefore = unit.VersionText();
    m_backupTexts.clear();
    std::string error;
    if (unit.bootLoader) {
        // Nothing to read: the backup of the update that left it there.
        if (const auto pending = m_archive.GetPending(unit.Key())) {
            m_record.versionBefore = pending->versionBefore;
            if (!pending->backup.empty() &&
                CUnitArchive::ReadBackup(pending->backup, m_backupTexts, &error)) {
                m_record.backup = pending->backup;
            }
        }
        return true;
    }
    const bool read = m_ecu->connected() && m_ecu->withParameters([](CEcuParameters& p) {
        return p.generation() != EcuGeneration::Unknown;
    });
    if (!read) {
        Say("参数尚未读取，无法备份。请稍后再试，或取消“保留参数”后升级。");
        return false;
    }
    m_backupTexts = CurrentTexts();
    m_record.backup = m_archive.SaveBackup(unit, m_backupTexts, std::time(nullptr), &error);
    if (m_record.backup.empty()) {
        Say(QStringLiteral("参数备份失败，未升级：") + QString::fromStdString(error));
        return false;
    }
    return true;
}

bool CDialogUpdateFw::StartTransfer(bool first) {
    if (m_path.isEmpty()) {
        return false;
    }
    std::vector<uint8_t> image;
    if (platform::ReadWholeFile(m_path.toStdString(), image, kMaxImageBytes, nullptr) !=
            platform::FileReadStatus::Ok ||
        image.empty()) {
        return false;
    }
    if (first) {
        m_wait->stop();
        m_guard = Guard::Idle;
        m_keeping = m_ecu != nullptr && m_keep->isChecked();
        if (m_keeping && !TakeBackup()) {
            return false;
        }
        m_record.image = QFileInfo(m_path).fileName().toStdString();
        m_record.imageSize = image.size();
        m_record.imageSha256 = Sha256::Hex(Sha256::Of(image));
    }
    // The device keeps its own copy; ours goes when this returns.
    if (m_device.RequestTransfer(image.data(), static_cast<uint32_t>(image.size())) != 1) {
        return false;
    }
    m_guard = Guard::Transferring;
    if (m_keeping && first) {
        std::string error;
        (void)m_archive.SetPending(
            m_record.unit,
            {m_record.backup, m_record.versionBefore, CUnitArchive::UtcTime(std::time(nullptr))},
            &error);
    }
    return true;
}

void CDialogUpdateFw::Finished(bool success) {
    const bool guarded = m_keeping && m_guard == Guard::Transferring;
    if (guarded) {
        m_record.time = CUnitArchive::UtcTime(std::time(nullptr));
        m_record.protocol = m_device.IsBlockTransfer() != 0 ? "block" : "classic";
        m_record.result = success ? "success" : "failed";
        m_record.versionAfter.clear();
        m_record.restored.clear();
    }
    if (!success) {
        if (guarded) {
            // The pending update stays: the next upgrade of this unit, found
            // in its boot loader, compares with the same backup.
            std::string error;
            (void)m_archive.AppendHistory(m_record, &error);
        }
        m_guard = Guard::Idle;
        Say("升级失败");
        return;
    }
    ++m_successes;
    SetDlgItemText(kCounter, QString::number(m_successes));
    if (m_repeat->isChecked()) {
        if (guarded) {
            std::string error;
            (void)m_archive.AppendHistory(m_record, &error);
        }
        (void)StartTransfer(false);
        return;
    }
    m_guard = Guard::Idle;
    Say("升级成功");
    if (!guarded) {
        return;
    }
    if (m_record.backup.empty()) {
        FinishGuard("");
        return;
    }
    // A parameter block read from now on comes from the new firmware.
    m_guard = Guard::AwaitingParameters;
    m_ecu->requestReread();
    m_wait->start(kParametersWaitMs);
}

void CDialogUpdateFw::ParametersRead() {
    if ((m_guard != Guard::AwaitingParameters && m_guard != Guard::AwaitingRestore) ||
        !m_ecu->connected() || m_device.IsBootLoader() != 0) {
        return;
    }
    // A read that began before the last change was sent shows the old block.
    if (m_ecu->withParameters([](CEcuParameters& p) { return p.dirty(); })) {
        return;
    }
    const std::vector<CParameterDifference> differences =
        DiffParameterTexts(m_backupTexts, CurrentTexts());
    if (m_guard == Guard::AwaitingRestore) {
        if (differences.empty()) {
            FinishGuard("yes");
            Say("参数已恢复为升级前的备份。");
        } else {
            FinishGuard("failed");
            Say(QStringLiteral("参数未能全部恢复，请用“从文件读取参数”加载备份：\n") +
                QString::fromStdString(m_record.backup));
        }
        return;
    }
    m_record.versionAfter = CUnitIdentity::Of(m_device).VersionText();
    if (differences.empty()) {
        FinishGuard("not needed");
        return;
    }
    m_wait->stop();
    QString text = QStringLiteral("新固件的以下参数与升级前的备份不同：\n");
    for (const CParameterDifference& d : differences) {
        text += QStringLiteral("  %1：%2 → %3\n")
                    .arg(QString::fromStdString(d.key),
                         QString::fromStdString(d.before),
                         QString::fromStdString(d.after));
    }
    text +=
        QStringLiteral("\n恢复备份的参数吗？\n备份：") + QString::fromStdString(m_record.backup);
    QWidget* owner = isVisible() ? this : parentWidget();
    // The box runs an event loop: parameter reads meanwhile are not asked about.
    m_guard = Guard::Idle;
    if (UiServices().MessageBox(
            owner, text, QString(), IUiServices::kOkCancel | IUiServices::kIconQuestion) !=
        IUiServices::kIdOk) {
        FinishGuard("no");
        return;
    }
    CEngineParameterFile::Settings settings;
    std::string error;
    if (CEngineParameterFile::readFile(m_record.backup, settings, &error) !=
        CEngineParameterFile::LoadResult::Loaded) {
        FinishGuard("failed");
        Say(QStringLiteral("备份无法读取：") + QString::fromStdString(error));
        return;
    }
    m_ecu->withParameters([&](CEcuParameters& p) {
        CEngineParameterFile::Apply(settings, p);
        return 0;
    });
    if (m_ecu->commit() != 1) {
        FinishGuard("failed");
        Say(QStringLiteral("参数未能全部恢复，请用“从文件读取参数”加载备份：\n") +
            QString::fromStdString(m_record.backup));
        return;
    }
    m_guard = Guard::AwaitingRestore;
    m_wait->start(kParametersWaitMs);
}

void CDialogUpdateFw::FinishGuard(const std::string& restored) {
    m_wait->stop();
    m_record.restored = restored;
    std::string error;
    (void)m_archive.AppendHistory(m_record, &error);
    (void)m_archive.ClearPending(m_record.unit, &error);
    m_guard = Guard::Idle;
}

void CDialogUpdateFw::Say(const char* text) {
    Say(QString::fromUtf8(text));
}

void CDialogUpdateFw::Say(const QString& text) {
    // The transfer may outlive the dialog's window: the box then belongs to
    // the main window.
    QWidget* owner = isVisible() ? this : parentWidget();
    (void)UiServices().MessageBox(owner, text, QString(), IUiServices::kOk);
}
