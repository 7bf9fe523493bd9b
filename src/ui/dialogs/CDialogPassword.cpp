#include "ui/dialogs/CDialogPassword.h"

#include <QLineEdit>
#include <QPushButton>

CDialogPassword::CDialogPassword(QWidget* parent)
    : CDialogBase(parent)
    , m_edit(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Password"));
    m_edit->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    ok->setDefault(true);
    RegisterControl(kEdit, m_edit);
    RegisterControl(kIdOk, ok);
    RegisterControl(kIdCancel, cancel);

    m_edit->setGeometry(DluRect(7, 7, 120, 12));
    ok->setGeometry(DluRect(20, 26, 50, 14));
    cancel->setGeometry(DluRect(77, 26, 50, 14));
    setFixedSize(DluRect(0, 0, 134, 47).size());

    connect(ok, &QPushButton::clicked, this, &CDialogPassword::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDialogPassword::OnOK() {
    m_password = m_edit->text();
    accept();
}
