#include "ui/dialogs/CDialogTest.h"

#include "ecu/CDeviceECU.h"
#include "ui/DialogTemplate.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>

namespace {

using Kind = DialogItem::Kind;

// Template 139, in dialog units: three columns of buttons, the learn-Hall
// check box under the main pump.
const DialogItem kTemplate[] = {
    {CDialogTest::kMainPump, Kind::Button, 7, 7, 72, 16, "主油泵"},
    {CDialogTest::kStarter, Kind::Button, 85, 7, 72, 16, "启动电机"},
    {CDialogTest::kGlowPlug, Kind::Button, 163, 7, 72, 16, "热火头"},
    {CDialogTest::kLearnHall, Kind::Check, 7, 25, 72, 10, "学习霍尔"},
    {CDialogTest::kValveFuel, Kind::Button, 7, 42, 72, 16, "电磁阀-主油路"},
    {CDialogTest::kValveIgnition, Kind::Button, 85, 42, 72, 16, "电磁阀-点火油路"},
    {CDialogTest::kOxygenValve, Kind::Button, 163, 42, 72, 16, "电磁阀-氧气"},
    {CDialogTest::kValveEx1, Kind::Button, 7, 62, 72, 16, "电磁阀-扩展1"},
    {CDialogTest::kValveEx2, Kind::Button, 85, 62, 72, 16, "电磁阀-扩展2"},
    {CDialogTest::kIgnitionPump, Kind::Button, 163, 62, 72, 16, "点火油泵"},
};

// The Enter-key walk: starter -> main valve -> ignition valve -> glow plug.
constexpr int32_t kWalk[] = {CDialogTest::kStarter,
                             CDialogTest::kValveFuel,
                             CDialogTest::kValveIgnition,
                             CDialogTest::kGlowPlug};

CTextTable& Texts() {
    return CTextTable::Process();
}

} // namespace

const std::array<CTextTable::ControlText, CDialogTest::kCaptionCount>& CDialogTest::CaptionList() {
    static const std::array<CTextTable::ControlText, kCaptionCount> list = {{
        {kMainPump, 218},
        {kStarter, 219},
        {kValveFuel, 213},
        {kValveIgnition, 214},
        {kGlowPlug, 212},
        {kOxygenValve, 217},
        {kIgnitionPump, 220},
        {kValveEx1, 215},
        {kValveEx2, 216},
    }};
    return list;
}

CDialogTest::CDialogTest(CDeviceECU& ecu, QWidget* parent)
    : CDialogBase(parent)
    , m_ecu(ecu) {
    CreateDialogItems(*this, kTemplate);
    for (const DialogItem& item : kTemplate) {
        if (auto* button = Control<QPushButton>(item.id)) {
            // Enter on the focused button presses it: the walk relies on it.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this, [this, id = item.id] { OnButton(id); });
        }
    }
    for (int32_t id : kWalk) {
        GetDlgItem(id)->installEventFilter(this);
    }
    m_learnHall = Control<QCheckBox>(kLearnHall);
    setFixedSize(DluRect(0, 0, 242, 85).size());
    Recaption();
}

void CDialogTest::Recaption() {
    setWindowTitle(QString::fromUtf8(Texts().GetText(kTitleText)));
    Texts().SetControlTexts(this, CaptionList());
}

void CDialogTest::Show() {
    show();
    raise();
    activateWindow();
}

void CDialogTest::OnButton(int32_t id) {
    switch (id) {
    case kMainPump:
        (void)m_ecu.sendCommand(m_learnHall->isChecked() ? 20 : 11, 0);
        break;
    case kStarter:
        (void)m_ecu.sendCommand(12, 0);
        break;
    case kValveFuel:
        (void)m_ecu.sendCommand(9, 0);
        break;
    case kValveIgnition:
        (void)m_ecu.sendCommand(10, 0);
        break;
    case kGlowPlug:
        (void)m_ecu.sendCommand(8, 0);
        break;
    case kOxygenValve:
        (void)m_ecu.sendCommand(18, 0);
        break;
    case kIgnitionPump:
        (void)m_ecu.sendCommand(19, 0);
        break;
    case kValveEx1:
        (void)m_ecu.sendCommand(13, 0, 0, 0, 0);
        break;
    case kValveEx2:
        (void)m_ecu.sendCommand(13, 1, 0, 0, 0);
        break;
    default:
        break;
    }
}

bool CDialogTest::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            constexpr size_t kSteps = std::size(kWalk);
            for (size_t i = 0; i < kSteps; ++i) {
                if (watched == GetDlgItem(kWalk[i])) {
                    GetDlgItem(kWalk[(i + 1) % kSteps])->setFocus(Qt::TabFocusReason);
                    break;
                }
            }
        }
    }
    // The key is then handled as usual.
    return CDialogBase::eventFilter(watched, event);
}
