#include "ui/panels/CDialogSimulate.h"

#include "ecu/CDeviceECU.h"
#include "engine/CEcuRadioRecord.h"
#include "platform/CodePage.h"
#include "ui/CComboBoxInt.h"
#include "ui/DialogTemplate.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

using Kind = DialogItem::Kind;

constexpr int32_t kStatic = 2000;
constexpr const char* kInvalid = "无效";

// Template 142, in dialog units.
const DialogItem kTemplate[] = {
    {kStatic + 0, Kind::Group, 4, 2, 204, 76, "模拟接收机输出"},
    {CDialogSimulate::kBusType, Kind::Combo, 10, 14, 100, 14, ""},
    {kStatic + 1, Kind::Label, 10, 37, 40, 9, "油门(3):"},
    {CDialogSimulate::kThrottle, Kind::Slider, 52, 35, 130, 14, ""},
    {CDialogSimulate::kThrottleValue, Kind::Unit, 186, 37, 18, 9, "0"},
    {kStatic + 2, Kind::Label, 10, 57, 40, 9, "开关(5):"},
    {CDialogSimulate::kSwitch, Kind::Slider, 52, 55, 130, 14, ""},
    {CDialogSimulate::kSwitchValue, Kind::Unit, 186, 57, 18, 9, "0"},

    {kStatic + 3, Kind::Group, 212, 2, 140, 76, "回传状态"},
    {kStatic + 4, Kind::Label, 218, 17, 30, 9, "类型:"},
    {CDialogSimulate::kType, Kind::Value, 250, 15, 96, 12, ""},
    {kStatic + 5, Kind::Label, 218, 37, 30, 9, "转速:"},
    {CDialogSimulate::kRpm, Kind::Value, 250, 35, 96, 12, ""},
    {kStatic + 6, Kind::Label, 218, 57, 30, 9, "温度:"},
    {CDialogSimulate::kTemperature, Kind::Value, 250, 55, 96, 12, ""},

    {kStatic + 7, Kind::Group, 4, 82, 204, 76, "JetiBox"},
    {CDialogSimulate::kJetiLine1, Kind::Value, 10, 95, 192, 13, ""},
    {CDialogSimulate::kJetiLine2, Kind::Value, 10, 111, 192, 13, ""},
    {CDialogSimulate::kJetiLeft, Kind::Button, 10, 136, 45, 15, "左"},
    {CDialogSimulate::kJetiRight, Kind::Button, 59, 136, 45, 15, "右"},
    {CDialogSimulate::kJetiUp, Kind::Button, 108, 136, 45, 15, "上"},
    {CDialogSimulate::kJetiDown, Kind::Button, 157, 136, 45, 15, "下"},

    {kStatic + 8, Kind::Group, 212, 82, 204, 76, "SimpleGSU"},
    {CDialogSimulate::kGsuEnable, Kind::Check, 218, 93, 60, 11, "使能"},
    {CDialogSimulate::kGsuLine1, Kind::Value, 218, 106, 192, 13, ""},
    {CDialogSimulate::kGsuLine2, Kind::Value, 218, 121, 192, 13, ""},
    {CDialogSimulate::kGsuDown, Kind::Button, 218, 139, 45, 15, "下"},
    {CDialogSimulate::kGsuUp, Kind::Button, 267, 139, 45, 15, "上"},
    {CDialogSimulate::kGsuMinus, Kind::Button, 316, 139, 45, 15, "--"},
    {CDialogSimulate::kGsuPlus, Kind::Button, 365, 139, 45, 15, "+"},
};

constexpr int32_t kJetiKeys[] = {
    CDialogSimulate::kJetiLeft,
    CDialogSimulate::kJetiRight,
    CDialogSimulate::kJetiUp,
    CDialogSimulate::kJetiDown,
};
constexpr int32_t kDisplay[5] = {
    CDialogSimulate::kType,
    CDialogSimulate::kRpm,
    CDialogSimulate::kTemperature,
    CDialogSimulate::kJetiLine1,
    CDialogSimulate::kJetiLine2,
};
enum Field { kTypeText = 0, kRpmText, kTemperatureText, kLine1Text, kLine2Text };

std::string Number(const std::optional<int32_t>& value) {
    return value ? std::to_string(*value) : std::string("??");
}

// The bus type list carries a text of its own ("无效") while nothing is
// selected, so its text is editable in form but read-only; a click into it
// opens the list as a plain drop-down list does.
class OpenOnClick : public QObject {
public:
    explicit OpenOnClick(QComboBox* list)
        : QObject(list)
        , m_list(list) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && m_list->isEnabled()) {
            m_list->showPopup();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QComboBox* m_list;
};

} // namespace

CDialogSimulate::CDialogSimulate(CDeviceECU* ecu, QWidget* parent)
    : CPanelDialog(parent)
    , m_ecu(ecu) {
    CreateDialogItems(*this, kTemplate);

    auto* list = Control<CComboBoxInt>(kBusType);
    (void)list->AddString(QStringLiteral("关闭"), 1);
    (void)list->AddString(QStringLiteral("Futaba(SBUS2)"), 2);
    (void)list->AddString(QStringLiteral("JetI(ExBUS)"), 3);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->lineEdit()->setReadOnly(true);
    list->lineEdit()->installEventFilter(new OpenOnClick(list));
    ShowInvalid();
    list->setEnabled(false);
    connect(list, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            m_sendMode = static_cast<uint8_t>(index + 1);
        }
    });

    for (const auto& [id, readout] :
         {std::pair{kThrottle, kThrottleValue}, std::pair{kSwitch, kSwitchValue}}) {
        auto* slider = Control<QSlider>(id);
        slider->setRange(0, 100);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(10);
        slider->setEnabled(false);
        // The position as it is sent.
        connect(slider, &QSlider::valueChanged, this, [this, readout = readout](int value) {
            SetDlgItemText(readout, QString::number(value));
        });
    }

    // The terminals' lines in a fixed-pitch font, as their displays show them.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int32_t id : {kJetiLine1, kJetiLine2, kGsuLine1, kGsuLine2}) {
        GetDlgItem(id)->setFont(fixed);
    }

    const std::pair<int32_t, uint8_t> jetiKeys[] = {
        {kJetiLeft, kKeyLeft}, {kJetiRight, kKeyRight}, {kJetiUp, kKeyUp}, {kJetiDown, kKeyDown}};
    for (const auto& [id, code] : jetiKeys) {
        connect(Control<QPushButton>(id), &QPushButton::clicked, this, [this, key = code] {
            m_jetiKey = key;
        });
        EnableControl(id, false);
    }
    const std::pair<int32_t, uint8_t> gsuKeys[] = {{kGsuDown, kGsuKeyDown},
                                                   {kGsuUp, kGsuKeyUp},
                                                   {kGsuMinus, kGsuKeyMinus},
                                                   {kGsuPlus, kGsuKeyPlus}};
    for (const auto& [id, code] : gsuKeys) {
        connect(Control<QPushButton>(id), &QPushButton::clicked, this, [this, key = code] {
            m_gsuKey = key;
        });
    }
    connect(Control<QCheckBox>(kGsuEnable), &QCheckBox::toggled, this, [this](bool on) {
        OnGroundSupportEnable(on);
    });
}

bool CDialogSimulate::IsActive() const {
    return IsControlEnabled(kBusType);
}

bool CDialogSimulate::BlockGeneration() const {
    return m_ecu->withParameters(
        [](CEcuParameters& p) { return p.generation() == EcuGeneration::Block; });
}

int32_t CDialogSimulate::Slider(int32_t id) const {
    return Control<QSlider>(id)->value();
}

void CDialogSimulate::showEvent(QShowEvent* event) {
    CPanelDialog::showEvent(event);
    if (!IsActive()) {
        m_probed = false; // ask the ECU again with the next refresh
    }
}

void CDialogSimulate::Refresh() {
    if (m_ecu == nullptr) {
        return;
    }
    const std::array<uint8_t, 32> reply = m_ecu->simulatorChannels();
    const int8_t mode = CEcuRadioRecord::ReceiverMode(reply);
    if (!IsActive()) {
        if (!m_probed) {
            m_probed = true;
            m_ecu->setSimulatorReadCounter(1);
        }
        if (mode >= 1) {
            m_lastMode = 255;
            // A mode this page does not know is answered with "off".
            m_sendMode = mode <= CEcuRadioRecord::kModeJeti ? static_cast<uint8_t>(mode) : 1;
            SetTimer(kReceiverTimer, kTimerMs);
            EnableControl(kBusType, true);
            (void)Control<CComboBoxInt>(kBusType)->SetCurSel(m_sendMode - 1);
        }
        return;
    }
    // Compared as numbers: a mode of -1 right after the rebuild mark (255)
    // is a change.
    if (int32_t{mode} != int32_t{m_lastMode}) {
        SetMode(mode);
    } else {
        Decode(mode, reply);
    }
    ShowTexts();
}

void CDialogSimulate::SetMode(int8_t mode) {
    m_lastMode = static_cast<uint8_t>(mode);
    m_jetiKey = 0;
    m_texts.fill("0");
    if (mode <= 0) {
        KillTimer(kReceiverTimer);
        ShowInvalid();
        EnableControl(kBusType, false);
    }
    // The sliders feed a Futaba bus, the keys a JetiBox; neither fits any
    // other mode.
    EnableControl(kThrottle, mode == CEcuRadioRecord::kModeFutaba);
    EnableControl(kSwitch, mode == CEcuRadioRecord::kModeFutaba);
    for (int32_t id : kJetiKeys) {
        EnableControl(id, mode == CEcuRadioRecord::kModeJeti);
    }
}

void CDialogSimulate::Decode(int8_t mode, const std::array<uint8_t, 32>& reply) {
    if (mode == CEcuRadioRecord::kModeFutaba) {
        const CEcuRadioRecord::Futaba f = CEcuRadioRecord::DecodeFutaba(reply);
        m_texts[kTypeText] = "Futaba";
        m_texts[kRpmText] = Number(f.rpm);
        m_texts[kTemperatureText] = Number(f.temperature);
    } else if (mode == CEcuRadioRecord::kModeJeti) {
        const CEcuRadioRecord::Jeti j = CEcuRadioRecord::DecodeJeti(reply);
        m_texts[kTypeText] = "JETI";
        if (j.line && (j.kind == 1 || j.kind == 2)) {
            m_texts[j.kind == 1 ? kLine1Text : kLine2Text] = platform::GbkToUtf8(*j.line);
        }
        if (j.rpm) {
            m_texts[kRpmText] = std::to_string(*j.rpm);
        }
        if (j.temperature) {
            m_texts[kTemperatureText] = std::to_string(*j.temperature);
        }
    }
}

void CDialogSimulate::ShowTexts() {
    for (size_t i = 0; i < m_texts.size(); ++i) {
        SetDlgItemText(kDisplay[i], QString::fromStdString(m_texts[i]));
    }
}

void CDialogSimulate::RefreshGroundSupport() {
    // A reply posted before "使能" was cleared must not fill the lines again.
    if (m_ecu == nullptr || !Control<QCheckBox>(kGsuEnable)->isChecked()) {
        return;
    }
    const auto lines = CEcuRadioRecord::GroundSupportLines(m_ecu->simulatorState());
    SetDlgItemText(kGsuLine1, QString::fromStdString(platform::GbkToUtf8(lines[0])));
    SetDlgItemText(kGsuLine2, QString::fromStdString(platform::GbkToUtf8(lines[1])));
}

void CDialogSimulate::ShowInvalid() {
    auto* list = Control<CComboBoxInt>(kBusType);
    (void)list->SetCurSel(-1);
    list->setEditText(QString::fromUtf8(kInvalid));
}

void CDialogSimulate::Reset() {
    KillTimer(kReceiverTimer);
    ShowInvalid();
    EnableControl(kBusType, false);
    SetMode(0);
    m_lastMode = 255;
    m_gsuKey = 0;
    m_probed = false;
    m_texts.fill(std::string());
    ShowTexts();
    SetDlgItemText(kGsuLine1, QString());
    SetDlgItemText(kGsuLine2, QString());
}

void CDialogSimulate::OnTimer(uint32_t id) {
    if (id == kReceiverTimer) {
        SendReceiverFrame();
    } else if (id == kGroundSupportTimer) {
        SendGroundSupportKey();
    }
}

void CDialogSimulate::SendReceiverFrame() {
    const uint8_t key = m_jetiKey;
    if (m_sendMode == CEcuRadioRecord::kModeJeti) {
        m_jetiKey = 0; // one frame carries a key press once
    }
    if (m_ecu == nullptr || !IsActive() || !m_ecu->connected() || !BlockGeneration()) {
        return;
    }
    const std::vector<uint8_t> frame =
        CEcuRadioRecord::ReceiverFrame(m_sendMode,
                                       static_cast<uint8_t>(Slider(kThrottle)),
                                       static_cast<uint8_t>(Slider(kSwitch)),
                                       key);
    if (!frame.empty()) {
        (void)m_ecu->writeSimulator(11, frame.data(), static_cast<uint8_t>(frame.size()));
    }
}

void CDialogSimulate::SendGroundSupportKey() {
    const uint8_t key = m_gsuKey;
    m_gsuKey = 0;
    if (m_ecu == nullptr || !m_ecu->connected()) {
        return;
    }
    (void)m_ecu->writeSimulator(10, &key, 1);
}

void CDialogSimulate::OnGroundSupportEnable(bool on) {
    if (m_ecu != nullptr) {
        m_ecu->setSimulatorStateRead(on);
    }
    SetDlgItemText(kGsuLine1, QString());
    SetDlgItemText(kGsuLine2, QString());
    if (on) {
        SetTimer(kGroundSupportTimer, kTimerMs);
    } else {
        KillTimer(kGroundSupportTimer);
        m_gsuKey = 0;
    }
}
