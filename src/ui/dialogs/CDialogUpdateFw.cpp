#include "ui/dialogs/CDialogUpdateFw.h"

#include "device/CDeviceBase.h"
#include "platform/FileIo.h"
#include "ui/IUiServices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <vector>

CDialogUpdateFw::CDialogUpdateFw(CDeviceBase& device, QWidget* parent)
    : CDialogBase(parent)
    , m_device(device) {
    setWindowTitle(QStringLiteral("固件升级"));
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setReadOnly(true);
    m_pathEdit->setAccessibleName(QStringLiteral("固件文件"));
    m_pathEdit->setGeometry(DluRect(7, 7, 256, 12));
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setGeometry(DluRect(7, 24, 256, 10));
    auto* open = new QPushButton(QStringLiteral("打开文件"), this);
    open->setGeometry(DluRect(7, 40, 50, 14));
    auto* upgrade = new QPushButton(QStringLiteral(" 升级"), this);
    upgrade->setGeometry(DluRect(61, 40, 50, 14));
    m_repeat = new QCheckBox(QStringLiteral("无限次升级，直到失败"), this);
    m_repeat->setGeometry(DluRect(117, 42, 108, 10));
    auto* counter = new QLineEdit(this);
    counter->setReadOnly(true);
    counter->setFocusPolicy(Qt::ClickFocus);
    counter->setAccessibleName(QStringLiteral("升级次数"));
    counter->setGeometry(DluRect(231, 41, 32, 12));
    for (QPushButton* button : {open, upgrade}) {
        button->setAutoDefault(false);
    }
    RegisterControl(kPath, m_pathEdit);
    RegisterControl(kProgress, m_progress);
    RegisterControl(kOpenFile, open);
    RegisterControl(kUpgrade, upgrade);
    RegisterControl(kRepeat, m_repeat);
    RegisterControl(kCounter, counter);
    connect(open, &QPushButton::clicked, this, &CDialogUpdateFw::OnOpenFile);
    connect(upgrade, &QPushButton::clicked, this, &CDialogUpdateFw::OnUpgrade);
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
