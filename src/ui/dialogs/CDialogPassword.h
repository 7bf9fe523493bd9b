#pragma once

#include "ui/CDialogBase.h"

class QLineEdit;

// "Password": one line of hidden text with "确定" (OK, the default) and
// "取消" (cancel). OK copies the text into the entered text and closes with
// Accepted; cancel closes with Rejected and copies nothing. The dialog checks
// nothing: the caller compares the entered text.
//
// Thread safety: user-interface thread only.
class CDialogPassword : public CDialogBase {
    Q_OBJECT
public:
    enum ControlId : int32_t { kIdOk = 1, kIdCancel = 2, kEdit = 1000 };

    explicit CDialogPassword(QWidget* parent = nullptr);

    // The text as of the last OK; empty at construction.
    [[nodiscard]] const QString& GetPassword() const { return m_password; }
    [[nodiscard]] QLineEdit* Edit() const { return m_edit; }

private:
    void OnOK();

    QLineEdit* m_edit;
    QString m_password;
};
