#include "ui/DialogTemplate.h"

#include "ui/CComboBoxInt.h"
#include "ui/CDialogBase.h"
#include "ui/dialogs/CColorEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

void CreateDialogItems(CDialogBase& dialog, std::span<const DialogItem> items) {
    using Kind = DialogItem::Kind;
    QLabel* pendingLabel = nullptr; // waits for the control it names
    QButtonGroup* radios = nullptr;
    for (const DialogItem& item : items) {
        const QString caption = QString::fromUtf8(item.caption);
        QWidget* control = nullptr;
        switch (item.kind) {
        case Kind::Group:
            control = new QGroupBox(caption, &dialog);
            break;
        case Kind::Label:
        case Kind::Unit:
            control = new QLabel(caption, &dialog);
            break;
        case Kind::Edit:
        case Kind::Value: {
            auto* edit = new QLineEdit(caption, &dialog);
            if (item.kind == Kind::Value) {
                edit->setReadOnly(true);
                edit->setFocusPolicy(Qt::ClickFocus);
            }
            control = edit;
            break;
        }
        case Kind::Note: {
            auto* note = new QPlainTextEdit(caption, &dialog);
            note->setReadOnly(true);
            note->setFocusPolicy(Qt::ClickFocus);
            // A fixed text in a box sized for it.
            note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            note->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            control = note;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(caption, &dialog);
            // Enter in an edit must never start anything.
            button->setAutoDefault(false);
            button->setDefault(false);
            control = button;
            break;
        }
        case Kind::Check:
            control = new QCheckBox(caption, &dialog);
            break;
        case Kind::Radio: {
            auto* radio = new QRadioButton(caption, &dialog);
            if (radios == nullptr) {
                radios = new QButtonGroup(&dialog);
            }
            radios->addButton(radio);
            control = radio;
            break;
        }
        case Kind::Combo:
            control = new CComboBoxInt(&dialog);
            break;
        case Kind::Slider:
            control = new QSlider(Qt::Horizontal, &dialog);
            break;
        case Kind::Alarm: {
            auto* edit = new CColorEdit(&dialog);
            edit->setText(caption);
            edit->setReadOnly(true);
            edit->setFocusPolicy(Qt::ClickFocus);
            control = edit;
            break;
        }
        case Kind::Progress: {
            auto* bar = new QProgressBar(&dialog);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            control = bar;
            break;
        }
        }
        control->setGeometry(dialog.DluRect(item.x, item.y, item.w, item.h));
        dialog.RegisterControl(item.id, control);
        if (pendingLabel != nullptr &&
            (item.kind == Kind::Edit || item.kind == Kind::Value || item.kind == Kind::Alarm ||
             item.kind == Kind::Combo || item.kind == Kind::Slider)) {
            pendingLabel->setBuddy(control);
        }
        pendingLabel = item.kind == Kind::Label ? static_cast<QLabel*>(control) : nullptr;
    }
}
