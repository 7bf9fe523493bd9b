#include "ui/CDialogBase.h"

#include "ui/CWindowMessage.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimerEvent>

CDialogBase::CDialogBase(QWidget* parent)
    : QDialog(parent)
    , m_poster(std::make_unique<CEventPoster>(this)) {}

CDialogBase::~CDialogBase() {
    StopPosting();
}

void CDialogBase::StopPosting() {
    m_poster->Close();
}

void CDialogBase::RegisterControl(int32_t id, QWidget* control) {
    m_controls[id] = control;
}

QWidget* CDialogBase::GetDlgItem(int32_t id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second.data();
}

std::vector<int32_t> CDialogBase::ControlIds() const {
    std::vector<int32_t> ids;
    for (const auto& [id, control] : m_controls) {
        if (!control.isNull()) {
            ids.push_back(id);
        }
    }
    return ids;
}

bool CDialogBase::SetControlText(int32_t controlId, const char* utf8) {
    return SetDlgItemText(controlId, QString::fromUtf8(utf8 != nullptr ? utf8 : ""));
}

bool CDialogBase::SetDlgItemText(int32_t controlId, const QString& text) {
    QWidget* control = GetDlgItem(controlId);
    if (control == nullptr) {
        return false;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (edit->text() != text) { // keeps the caret and selection of an unchanged value
            edit->setText(text);
        }
    } else {
        control->setWindowTitle(text);
    }
    return true;
}

QString CDialogBase::GetDlgItemText(int32_t controlId) const {
    QWidget* control = GetDlgItem(controlId);
    if (control == nullptr) {
        return {};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
        return group->title();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text();
    }
    return control->windowTitle();
}

void CDialogBase::ShowControl(int32_t id, bool show) {
    if (QWidget* control = GetDlgItem(id)) {
        control->setVisible(show);
    }
}

void CDialogBase::EnableControl(int32_t id, bool enable) {
    if (QWidget* control = GetDlgItem(id)) {
        control->setEnabled(enable);
    }
}

bool CDialogBase::IsControlShown(int32_t id) const {
    const QWidget* control = GetDlgItem(id);
    return control != nullptr && !control->isHidden();
}

bool CDialogBase::IsControlEnabled(int32_t id) const {
    const QWidget* control = GetDlgItem(id);
    return control != nullptr && control->isEnabled();
}

bool CDialogBase::PostMessage(uint32_t message, int32_t wParam, int32_t lParam) {
    return m_poster->Post(message, wParam, lParam);
}

void CDialogBase::SetTimer(uint32_t id, uint32_t periodMs) {
    KillTimer(id);
    const int timerId = startTimer(static_cast<int>(periodMs), Qt::PreciseTimer);
    if (timerId != 0) {
        m_timers[id] = timerId;
    }
}

void CDialogBase::KillTimer(uint32_t id) {
    const auto it = m_timers.find(id);
    if (it != m_timers.end()) {
        killTimer(it->second);
        m_timers.erase(it);
    }
}

DialogUnits CDialogBase::UnitsForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits(DialogUnits::BaseXFromAlphabetWidth(width), metrics.height());
}

QRect CDialogBase::DluRect(int32_t x, int32_t y, int32_t width, int32_t height) const {
    const DialogUnits units = Units();
    const int left = units.X(x);
    const int top = units.Y(y);
    return QRect(left, top, units.X(x + width) - left, units.Y(y + height) - top);
}

void CDialogBase::OnMessage(uint32_t message, int32_t wParam, int32_t lParam) {
    if (message == CWindowMessage::kDeviceEvent) {
        OnDeviceEvent(wParam, lParam);
    }
}

void CDialogBase::OnDeviceEvent(int32_t, int32_t) {}

void CDialogBase::OnTimer(uint32_t) {}

bool CDialogBase::event(QEvent* event) {
    if (event->type() == CWindowMessage::EventType()) {
        const auto* message = static_cast<CWindowMessage*>(event);
        OnMessage(message->Message(), message->WParam(), message->LParam());
        return true;
    }
    return QDialog::event(event);
}

void CDialogBase::timerEvent(QTimerEvent* event) {
    for (const auto& [id, timerId] : m_timers) {
        if (timerId == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}
