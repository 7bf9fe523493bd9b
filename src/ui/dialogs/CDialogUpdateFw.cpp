#include "ui/dialogs/CDialogUpdateFw.h"

#include "device/CDeviceBase.h"
#include "platform/FileIo.h"
#include "ui/DialogTemplate.h"
#include "ui/IUiServices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
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
};

} // namespace

CDialogUpdateFw::CDialogUpdateFw(CDeviceBase& device, QWidget* parent)
    : CDialogBase(parent)
    , m_device(device) {
    setWindowTitle(QStringLiteral("固件升级"));
    CreateDialogItems(*this, kTemplate);
    m_pathEdit = Control<QLineEdit>(kPath);
    m_progress = Control<QProgressBar>(kProgress);
    m_repeat = Control<QCheckBox>(kRepeat);
    // The two edits have no label of their own.
    m_pathEdit->setAccessibleName(QStringLiteral("固件文件"));
    Control<QLineEdit>(kCounter)->setAccessibleName(QStringLiteral("升级次数"));
    connect(
        Control<QPushButton>(kOpenFile), &QPushButton::clicked, this, &CDialogUpdateFw::OnOpenFile);
    connect(
        Control<QPushButton>(kUpgrade), &QPushButton::clicked, this, &CDialogUpdateFw::OnUpgrade);
    setFixedSize(DluRect(0, 0, 270, 61).size());
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
    (void)StartTransfer();
}

bool CDialogUpdateFw::StartTransfer() {
    if (m_path.isEmpty()) {
        return false;
    }
    std::vector<uint8_t> image;
    if (platform::ReadWholeFile(m_path.toStdString(), image, kMaxImageBytes, nullptr) !=
            platform::FileReadStatus::Ok ||
        image.empty()) {
        return false;
    }
    // The device keeps its own copy; ours goes when this returns.
    return m_device.RequestTransfer(image.data(), static_cast<uint32_t>(image.size())) == 1;
}

void CDialogUpdateFw::Finished(bool success) {
    if (!success) {
        Say("升级失败");
        return;
    }
    ++m_successes;
    SetDlgItemText(kCounter, QString::number(m_successes));
    if (m_repeat->isChecked()) {
        (void)StartTransfer();
        return;
    }
    Say("升级成功");
}

void CDialogUpdateFw::Say(const char* text) {
    // The transfer may outlive the dialog's window: the box then belongs to
    // the main window.
    QWidget* owner = isVisible() ? this : parentWidget();
    (void)UiServices().MessageBox(owner, QString::fromUtf8(text), QString(), IUiServices::kOk);
}
