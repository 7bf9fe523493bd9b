#include "ui/dialogs/CDialogTest.h"

#include "ecu/CDeviceECU.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>

namespace {

struct Button {
    int32_t id;
    int16_t x, y;
};

// Template 139, in dialog units: three columns of buttons.
constexpr int16_t kButtonWidth = 72;
constexpr int16_t kButtonHeight = 16;
const Button kButtons[] = {
    {CDialogTest::kMainPump, 7, 7},
    {CDialogTest::kStarter, 85, 7},
    {CDialogTest::kGlowPlug, 163, 7},
    {CDialogTest::kValveFuel, 7, 42},
    {CDialogTest::kValveIgnition, 85, 42},
    {CDialogTest::kOxygenValve, 163, 42},
    {CDialogTest::kValveEx1, 7, 62},
    {CDialogTest::kValveEx2, 85, 62},
    {CDialogTest::kIgnitionPump, 163, 62},
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
    for (const Button& b : kButtons) {
        auto* button = new QPushButton(this);
        button->setGeometry(DluRect(b.x, b.y, kButtonWidth, kButtonHeight));
        RegisterControl(b.id, button);
        connect(button, &QPushButton::clicked, this, [this, id = b.id] { OnButton(id); });
    }
    for (int32_t id : kWalk) {
        GetDlgItem(id)->installEventFilter(this);
    }
    m_learnHall = new QCheckBox(QStringLiteral("学习霍尔"), this);
    m_learnHall->setGeometry(DluRect(7, 25, kButtonWidth, 10));
    RegisterControl(kLearnHall, m_learnHall);
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
