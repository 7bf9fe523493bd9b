#include "ui/dialogs/CDialogSetting.h"

#include "ecu/CDeviceECU.h"
#include "engine/EcuTextId.h"
#include "platform/CodePage.h"
#include "ui/CComboBoxInt.h"
#include "ui/IUiServices.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using TableRow = CEngineParameterFile::Row;
using Control = CEngineParameterFile::Control;
namespace Id = EcuTextId;

constexpr int32_t kNoText = -1;

constexpr const char* kCommitFailedChinese = "参数没有全部写入 ECU，请重试。";
constexpr const char* kCommitFailedEnglish =
    "The ECU did not take all the changes. Please try again.";

// The form, column by column, top to bottom. A row of the parameter table
// names its text id; its control kind comes from the table.
enum class Cell : uint8_t {
    Column,     // starts the next column
    Group,      // starts a group box (title: text; kNoText for none)
    Row,        // a row of the parameter table
    EngineName, // label text, edit
    PumpType,   // label text, combo
    Protocol,   // label text, combo
    Unit,       // label text, combo
    GasStartUp, // check box, always hidden
    Buttons,    // the five buttons
};

struct Item {
    Cell cell;
    int textId = 0;
    int32_t text = kNoText;       // label (or check-box caption, group title) text number
    const char* fixed = nullptr;  // a label not from the text table
    const char* hint = nullptr;   // static text beside the control
    const char* number = nullptr; // "(1)", "(2)" beside the label
};

// Six columns: limits, starter and curves; RPM, start-up parameters and
// ignition pump; main pump, glow plug and CAN; valves and radio; staged fuel
// ramp, high altitude and oxygen start; engine name, switches,
// characteristics and buttons.
const Item kForm[] = {
    {Cell::Column},
    {Cell::Group, 0, 115},
    {Cell::Row, Id::MaxEgt, 116},
    {Cell::Row, Id::MinBatteryVoltage, 117},
    {Cell::Row, Id::DesignMaxRpm, 118},
    {Cell::Group, 0, 119},
    {Cell::Row, Id::StarterEjectTime, 120, nullptr, "0.1-0.8s"},
    {Cell::Row, Id::StarterEjectVoltage, 121},
    {Cell::Row, Id::StarterRunVoltage, 122},
    {Cell::Row, Id::StarterStability, 123, nullptr, "2-250"},
    {Cell::Row, Id::StarterStopCoefficient, 124, nullptr, "2-250"},
    {Cell::Row, Id::StarterPolePairs, 125, nullptr, "1-30"},
    {Cell::Group, 0, 185},
    {Cell::Row, Id::ThrottleCurveAcceleration, 186, nullptr, "10 - 70"},
    {Cell::Row, Id::ThrottleCurveDeceleration, 187, nullptr, "10 - 70"},

    {Cell::Column},
    {Cell::Group, 0, 133},
    {Cell::Row, Id::CoolingRpm, 135},
    {Cell::Row, Id::IgnitionRpm, 134},
    {Cell::Row, Id::PreheatRpm, 136},
    {Cell::Row, Id::ClutchReleaseRpm, 137},
    {Cell::Row, Id::RunMinRpm, 138},
    {Cell::Row, Id::RunIdleRpm, 139},
    {Cell::Row, Id::RunMaxRpm, 140},
    {Cell::Group, 0, 163},
    {Cell::Row, Id::StarterMotorRamp, 164, nullptr, "30-100"},
    {Cell::Row, Id::PumpRamp, 165, nullptr, "0-15"},
    {Cell::Row, Id::PreheatEndTempIndex, 167},
    {Cell::Row, Id::PreheatForcedDelayIndex, 168},
    {Cell::Group, 0, 148},
    {Cell::Row, Id::IgnitionPumpVoltageItem, 149},

    {Cell::Column},
    {Cell::Group, 0, 141},
    {Cell::PumpType, 0, 147},
    {Cell::Row, Id::IgnitionPumpVoltage, 142, nullptr, "0.1-5.0"},
    {Cell::Row, Id::RunPumpLimit, 143},
    {Cell::Row, Id::PumpMaxCurrentIndex, 144},
    {Cell::Row, Id::PumpTestMaxVoltage, 145},
    {Cell::Row, Id::PumpIdleSensitivity, 146, nullptr, "1-12"},
    {Cell::Group, 0, 150},
    {Cell::Row, Id::GlowPlugStartVoltage, 151},
    {Cell::Row, Id::GlowPlugRestartVoltage, 152},
    {Cell::Row, Id::PreheatTimeIndex, 153},
    {Cell::Group, 0, 162},
    {Cell::Row, Id::CanAddress, kNoText, "地址:", "HEX"},

    {Cell::Column},
    {Cell::Group, 0, 126},
    {Cell::Row, Id::IgnitionValveDuty, 127, nullptr, "10-60"},
    {Cell::Row, Id::ValveVoltage1, 128, nullptr, "2-50V", "(1)"},
    {Cell::Row, Id::ValveVoltage2, kNoText, nullptr, "2-50V", "(2)"},
    {Cell::Row, Id::ValveSupplyIgnition, 129},
    {Cell::Row, Id::ValveSupplyMain, 130},
    {Cell::Row, Id::ValveSupplyExtension1, 131},
    {Cell::Row, Id::ValveSupplyExtension2, 132},
    {Cell::Group, 0, 154},
    {Cell::Row, Id::LostSignalDelay, 155, nullptr, "0.2-2.5s"},
    {Cell::Row, Id::BusThrottleChannel, 156},
    {Cell::Row, Id::BusSwitchChannel, 157},
    {Cell::Row, Id::BusTelemetryMode, 158},
    {Cell::Protocol, 0, 159},
    {Cell::Row, Id::TelemetryBaudIndex, 160},
    {Cell::Row, Id::TelemetryStopBitsIndex, 161},

    {Cell::Column},
    {Cell::Group, 0, 169},
    {Cell::Row, Id::FuelRampStage1Rpm, 170},
    {Cell::Row, Id::FuelRampStage1Pump, 172},
    {Cell::Row, Id::FuelRampStage2Rpm, 171},
    {Cell::Row, Id::FuelRampStage2Pump, 173},
    {Cell::Group, 0, 174},
    {Cell::Row, Id::AltitudeRunMinRpm, 175},
    {Cell::Row, Id::AltitudeRunPressure, 176, nullptr, "kPa"},
    {Cell::Group, 0, 177},
    {Cell::Row, Id::AltitudeStartPumpRamp, 178},
    {Cell::Row, Id::AltitudeStartPressure, 179, nullptr, "kPa"},
    {Cell::Group, 0, 180},
    {Cell::Row, Id::OxygenStartRpm, 181},
    {Cell::Row, Id::OxygenStartPumpDelay, 182, nullptr, "0~0.5"},
    {Cell::Row, Id::OxygenStartPumpVoltage, 183, nullptr, "V"},
    {Cell::Row, Id::OxygenStartRampTime, 184, nullptr, "0~5s"},

    {Cell::Column},
    {Cell::Group, 0, kNoText},
    {Cell::EngineName, 0, 188},
    {Cell::Group, 0, kNoText},
    {Cell::Row, Id::RestartAllowed, 194},
    {Cell::Row, Id::RpmControl, 195},
    {Cell::Row, Id::LinearRpm, 196},
    {Cell::Row, Id::NoGlowPlugCheck, 197},
    {Cell::Row, Id::ReduceCoolingTime, 193},
    {Cell::Row, Id::CoolingAfterFlameout, 199},
    {Cell::Row, Id::StandbyBeep, 200},
    {Cell::Row, Id::NoRadioTimeout, 201},
    {Cell::GasStartUp, 0, 198},
    {Cell::Group, 0, 189},
    {Cell::Row, Id::RpmPulsesPerRevolution, 191},
    {Cell::Row, Id::TemperatureScale, 192, nullptr, "%"},
    {Cell::Row, Id::IgnitionConfirmTempIndex, 166},
    {Cell::Unit, 0, 190},
    {Cell::Buttons},
};

// The rows whose list exists only while the ECU reports the parameter.
struct ConditionalRow {
    int textId;
    SettingLists::Conditional list;
};
constexpr ConditionalRow kConditionalRows[] = {
    {Id::PumpMaxCurrentIndex, SettingLists::Conditional::MaxCurrent},
    {Id::IgnitionConfirmTempIndex, SettingLists::Conditional::IgnitionTemperature},
    {Id::PreheatTimeIndex, SettingLists::Conditional::HeatingTime},
    {Id::PreheatEndTempIndex, SettingLists::Conditional::PreheatEndTemperature},
    {Id::PreheatForcedDelayIndex, SettingLists::Conditional::PreheatForceTime},
};

bool IsConditional(int textId) {
    for (const ConditionalRow& c : kConditionalRows) {
        if (c.textId == textId) {
            return true;
        }
    }
    return false;
}

// The lists that never change.
ListEntries FixedList(int textId) {
    switch (textId) {
    case Id::BusThrottleChannel:
        return SettingLists::SbusThrottleChannels();
    case Id::BusSwitchChannel:
        return SettingLists::SbusSwitchChannels();
    case Id::BusTelemetryMode:
        return SettingLists::SbusTelemetryModes();
    case Id::TelemetryStopBitsIndex:
        return SettingLists::StopBits();
    case Id::ValveSupplyIgnition:
    case Id::ValveSupplyMain:
    case Id::ValveSupplyExtension1:
    case Id::ValveSupplyExtension2:
        return SettingLists::ValveSupplies();
    default:
        return {};
    }
}

bool Holds(const CComboBoxInt& combo, const ListEntries& entries) {
    if (combo.GetCount() != static_cast<int32_t>(entries.size())) {
        return false;
    }
    for (int32_t i = 0; i < combo.GetCount(); ++i) {
        if (combo.itemText(i).toStdString() != entries[static_cast<size_t>(i)].text ||
            combo.GetItemData(i, -1) != entries[static_cast<size_t>(i)].data) {
            return false;
        }
    }
    return true;
}

// Refills combo with entries unless it holds them already (a refill would
// lose the selection for nothing). True when it was refilled.
bool Fill(CComboBoxInt& combo, const ListEntries& entries) {
    if (Holds(combo, entries)) {
        return false;
    }
    combo.ResetContent();
    for (const ListEntry& e : entries) {
        (void)combo.AddString(QString::fromStdString(e.text), e.data);
    }
    return true;
}

// GBK text cut to at most maxBytes without splitting a double-byte
// character.
std::string CutGbk(const std::string& gbk, size_t maxBytes) {
    size_t end = 0;
    while (end < gbk.size()) {
        const size_t width = static_cast<uint8_t>(gbk[end]) < 0x80 ? 1 : 2;
        if (end + width > maxBytes || end + width > gbk.size()) {
            break;
        }
        end += width;
    }
    return gbk.substr(0, end);
}

// An edit as wide as the longest value its row shows (seven characters for
// the CAN address, six for the others), and the frame's padding.
void SizeValueEdit(QLineEdit& edit, int textId) {
    const QFontMetrics metrics(edit.font());
    const QString widest =
        textId == Id::CanAddress ? QStringLiteral("0000000") : QStringLiteral("000000");
    edit.setFixedWidth(metrics.horizontalAdvance(widest) + 14);
}

} // namespace

CDialogSetting::CDialogSetting(CDeviceECU* ecu, QWidget* parent)
    : CDialogBase(parent)
    , m_ecu(ecu)
    , m_altpress(this) {
    BuildControls();
    OnInitDialog(); // so that the dialog is complete before its first Open
}

CDialogSetting::~CDialogSetting() = default;

QString CDialogSetting::Text(int32_t number) const {
    return QString::fromUtf8(CTextTable::Process().GetText(number));
}

CComboBoxInt* CDialogSetting::Combo(int32_t id) const {
    return Control<CComboBoxInt>(id);
}

// --- the form ------------------------------------------------------------------

QLabel* CDialogSetting::AddLabel(int32_t id, int32_t textNumber, const char* fixed) {
    auto* label = new QLabel(m_form);
    label->setTextFormat(Qt::PlainText);
    if (textNumber != kNoText) {
        m_captions.push_back({id, textNumber});
    } else if (fixed != nullptr) {
        label->setText(QString::fromUtf8(fixed));
    }
    RegisterControl(id, label);
    return label;
}

QWidget* CDialogSetting::AddRow(
    QGridLayout* grid, int textId, int32_t labelText, const char* fixedLabel, const char* hint) {
    const TableRow* row = CEngineParameterFile::RowOf(textId);
    if (row == nullptr) {
        return nullptr;
    }
    const int32_t line = grid->rowCount();
    QWidget* control = nullptr;
    switch (row->control) {
    case Control::Check: {
        auto* check = new QCheckBox(m_form);
        m_captions.push_back({RowControlId(textId), labelText});
        grid->addWidget(check, line, 0, 1, 3);
        control = check;
        break;
    }
    case Control::Combo: {
        auto* combo = new CComboBoxInt(m_form);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        control = combo;
        break;
    }
    case Control::Edit: {
        auto* edit = new QLineEdit(m_form);
        SizeValueEdit(*edit, textId);
        control = edit;
        break;
    }
    }
    RegisterControl(RowControlId(textId), control);
    if (row->control == Control::Check) {
        return control;
    }
    if (labelText != kNoText || fixedLabel != nullptr) {
        QLabel* label = AddLabel(RowLabelId(textId), labelText, fixedLabel);
        label->setBuddy(control);
        grid->addWidget(label, line, 0);
    }
    grid->addWidget(control, line, 1);
    if (hint != nullptr) {
        auto* hintLabel = new QLabel(QString::fromUtf8(hint), m_form);
        hintLabel->setTextFormat(Qt::PlainText);
        RegisterControl(RowHintId(textId), hintLabel);
        grid->addWidget(hintLabel, line, 2);
    }
    return control;
}

void CDialogSetting::BuildControls() {
    // The form scrolls only on a screen too small for it (see FitToScreen).
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_form = new QWidget;
    auto* columns = new QHBoxLayout(m_form);
    columns->setSpacing(6);
    scroll->setWidget(m_form);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(scroll);

    QVBoxLayout* column = nullptr;
    QGridLayout* grid = nullptr;
    int32_t groups = 0;
    for (const Item& item : kForm) {
        switch (item.cell) {
        case Cell::Column:
            if (column != nullptr) {
                column->addStretch(1);
            }
            column = new QVBoxLayout;
            columns->addLayout(column);
            grid = nullptr;
            break;
        case Cell::Group: {
            auto* box = new QGroupBox(m_form);
            const int32_t id = kGroupBase + groups++;
            RegisterControl(id, box);
            if (item.text != kNoText) {
                m_captions.push_back({id, item.text});
            }
            grid = new QGridLayout(box);
            grid->setColumnStretch(0, 1);
            grid->setHorizontalSpacing(6);
            grid->setVerticalSpacing(4);
            grid->setContentsMargins(6, 4, 6, 4);
            column->addWidget(box);
            break;
        }
        case Cell::Row: {
            QWidget* control = AddRow(grid, item.textId, item.text, item.fixed, item.hint);
            if (item.number != nullptr && control != nullptr) {
                // The valve voltages: "(1)" and "(2)" beside one label.
                const int32_t line = grid->rowCount() - 1;
                const int32_t id =
                    item.textId == Id::ValveVoltage1 ? kValveVoltage1Label : kValveVoltage2Label;
                QLabel* number = AddLabel(id, kNoText, item.number);
                number->setBuddy(control);
                QLayoutItem* taken = grid->itemAtPosition(line, 0);
                if (taken == nullptr) {
                    grid->addWidget(number, line, 0, Qt::AlignRight);
                    break;
                }
                auto* cell = new QHBoxLayout;
                cell->setContentsMargins(0, 0, 0, 0);
                QWidget* label = taken->widget();
                grid->removeWidget(label);
                cell->addWidget(label);
                cell->addStretch(1);
                cell->addWidget(number);
                grid->addLayout(cell, line, 0);
            }
            break;
        }
        case Cell::EngineName:
        case Cell::PumpType:
        case Cell::Protocol:
        case Cell::Unit: {
            const int32_t line = grid->rowCount();
            QWidget* control = nullptr;
            int32_t controlId = 0;
            int32_t labelId = 0;
            if (item.cell == Cell::EngineName) {
                auto* edit = new QLineEdit(m_form);
                edit->setMaxLength(static_cast<int>(kEngineNameBytes));
                const QFontMetrics metrics(edit->font());
                edit->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('x')) * 20);
                control = edit;
                controlId = kEngineName;
                labelId = kEngineNameLabel;
            } else {
                auto* combo = new CComboBoxInt(m_form);
                combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
                control = combo;
                controlId = item.cell == Cell::PumpType   ? kPumpType
                            : item.cell == Cell::Protocol ? kTelemetryProtocol
                                                          : kTemperatureUnit;
                labelId = item.cell == Cell::PumpType   ? kPumpTypeLabel
                          : item.cell == Cell::Protocol ? kTelemetryProtocolLabel
                                                        : kTemperatureUnitLabel;
            }
            RegisterControl(controlId, control);
            QLabel* label = AddLabel(labelId, item.text, nullptr);
            label->setBuddy(control);
            grid->addWidget(label, line, 0);
            grid->addWidget(control, line, 1, 1, 2);
            break;
        }
        case Cell::GasStartUp: {
            auto* check = new QCheckBox(m_form);
            RegisterControl(kGasStartUp, check);
            m_captions.push_back({kGasStartUp, item.text});
            grid->addWidget(check, grid->rowCount(), 0, 1, 3);
            break;
        }
        case Cell::Buttons: {
            auto* buttons = new QVBoxLayout;
            for (int32_t id : {kIdChange, kIdCancel, kIdLoadFile, kIdSaveFile, kIdAltitude}) {
                auto* button = new QPushButton(m_form);
                button->setAutoDefault(false); // Enter in an edit sends nothing
                RegisterControl(id, button);
                buttons->addWidget(button);
            }
            column->addLayout(buttons);
            break;
        }
        }
    }
    if (column != nullptr) {
        column->addStretch(1);
    }

    connect(
        Control<QPushButton>(kIdChange), &QPushButton::clicked, this, [this] { OnChangeParam(); });
    connect(Control<QPushButton>(kIdCancel), &QPushButton::clicked, this, [this] { OnExit(); });
    connect(
        Control<QPushButton>(kIdAltitude), &QPushButton::clicked, this, [this] { OnAltitude(); });
    connect(
        Control<QPushButton>(kIdLoadFile), &QPushButton::clicked, this, [this] { OnLoadFile(); });
    connect(
        Control<QPushButton>(kIdSaveFile), &QPushButton::clicked, this, [this] { OnSaveFile(); });
    // Only what the user does: the selection the dialog sets itself raises
    // neither signal.
    connect(Control<QCheckBox>(RowControlId(Id::RpmControl)), &QCheckBox::clicked, this, [this] {
        OnRpmControlClicked();
    });
    connect(Combo(kTelemetryProtocol), &QComboBox::activated, this, [this] {
        m_protocolPicked = true;
        OnProtocolChanged();
    });
    connect(Combo(kPumpType), &QComboBox::activated, this, [this] { m_pumpPicked = true; });
}

// --- initialisation -----------------------------------------------------------

void CDialogSetting::OnInitDialog() {
    const int32_t language = CTextTable::Process().GetLanguage();
    // 1.
    m_baudList = kBaudUnfilled;
    setWindowTitle(Text(kTitleText));

    // 2. The conditional lists, and an empty baud list.
    for (const ConditionalRow& c : kConditionalRows) {
        if (CComboBoxInt* combo = Combo(RowControlId(c.textId))) {
            combo->ResetContent();
        }
    }
    if (CComboBoxInt* baud = Combo(RowControlId(Id::TelemetryBaudIndex))) {
        baud->ResetContent();
    }
    FillConditionalLists(TakeSnapshot());

    // 3. The fixed lists.
    for (const TableRow& row : CEngineParameterFile::Rows()) {
        const ListEntries entries = FixedList(row.textId);
        CComboBoxInt* combo = Combo(RowControlId(row.textId));
        if (!entries.empty() && combo != nullptr) {
            (void)Fill(*combo, entries);
        }
    }

    // 4. Captions in the current language.
    CTextTable::Process().SetControlTexts(this, m_captions);
    SetDlgItemText(kIdChange, Text(209));
    SetDlgItemText(kIdLoadFile, Text(205));
    SetDlgItemText(kIdSaveFile, Text(206));
    SetDlgItemText(kIdAltitude, Text(204));
    if (CComboBoxInt* unit = Combo(kTemperatureUnit)) {
        (void)Fill(*unit, SettingLists::TemperatureUnits(language));
    }
    // The two valve voltages share one label; each edit is named in full.
    const QString voltage = Text(128);
    for (const auto& [textId, number] : {std::pair{Id::ValveVoltage1, kValveVoltage1Label},
                                         std::pair{Id::ValveVoltage2, kValveVoltage2Label}}) {
        if (QWidget* edit = GetDlgItem(RowControlId(textId))) {
            edit->setAccessibleName(voltage + GetDlgItemText(number));
        }
    }

    // 5.
    ShowControl(kGasStartUp, false);

    // 6.
    SetEditMode(0);
    ShowValuesNow();
    FillBaudList();
    FitToScreen();
}

void CDialogSetting::FitToScreen() {
    // The whole form, unless the screen is smaller: then as much of it as
    // the screen holds (a margin left for the window's frame), scrolled.
    m_form->adjustSize();
    QSize size = m_form->sizeHint();
    if (const QScreen* where = screen()) {
        const QSize room = where->availableGeometry().size() - QSize(16, 48);
        if (size.width() > room.width() || size.height() > room.height()) {
            const int32_t bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            size = QSize(std::min(size.width() + bar, room.width()),
                         std::min(size.height() + bar, room.height()));
        }
    }
    resize(size);
}

void CDialogSetting::FillConditionalLists(const Snapshot& s) {
    const int32_t language = CTextTable::Process().GetLanguage();
    for (const ConditionalRow& c : kConditionalRows) {
        CComboBoxInt* combo = Combo(RowControlId(c.textId));
        const CEcuParameters::Text* t = s.Row(c.textId);
        if (combo != nullptr) {
            (void)Fill(*combo,
                       SettingLists::ConditionalList(
                           c.list, t != nullptr && t->supported, s.highestCurrentIndex, language));
        }
    }
}

// --- showing ---------------------------------------------------------------------

const CEcuParameters::Text* CDialogSetting::Snapshot::Row(int textId) const {
    const auto table = CEngineParameterFile::Rows();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].textId == textId) {
            return known[i] ? &rows[i] : nullptr;
        }
    }
    return nullptr;
}

CDialogSetting::Snapshot CDialogSetting::TakeSnapshot() const {
    Snapshot s;
    if (m_ecu == nullptr) {
        return s;
    }
    m_ecu->withParameters([&s](CEcuParameters& p) {
        s.read = p.generation() != EcuGeneration::Unknown;
        s.itemProtocol = p.itemProtocol();
        const auto table = CEngineParameterFile::Rows();
        for (size_t i = 0; i < table.size(); ++i) {
            s.known[i] = p.getText(table[i].textId, s.rows[i]) == 1;
        }
        s.pumpTypeMask = p.pumpTypeMask();
        s.protocolMask = p.telemetryProtocolMask();
        s.pumpMode = p.pumpMode();
        s.protocol = p.telemetryProtocol();
        s.temperatureUnit = p.temperatureUnit();
        s.highestCurrentIndex = p.highestCurrentIndex();
        s.engineName = platform::GbkToUtf8(p.engineName());
        return 0;
    });
    return s;
}

void CDialogSetting::ShowValues() {
    if (m_open) {
        ShowValuesNow();
    }
}

void CDialogSetting::SelectRowValue(int textId,
                                    CComboBoxInt* combo,
                                    const CEcuParameters::Text& t) {
    // An unsupported conditional list holds "Invalid" alone, which is shown;
    // any other unsupported row, and a value the list does not have, shows
    // no entry (and sends nothing, see ApplyEdits).
    int32_t index = t.value;
    if (!t.supported && !IsConditional(textId)) {
        index = -1;
    }
    if (!combo->SetCurSel(index)) {
        (void)combo->SetCurSel(-1);
    }
}

void CDialogSetting::ShowValuesNow() {
    const Snapshot s = TakeSnapshot();
    // A list that depends on what the ECU reports follows it: the first
    // parameter read may arrive after the dialog opened.
    FillConditionalLists(s);

    // 1. The rows.
    const auto table = CEngineParameterFile::Rows();
    for (size_t i = 0; i < table.size(); ++i) {
        const TableRow& row = table[i];
        QWidget* control = GetDlgItem(RowControlId(row.textId));
        if (control == nullptr || !s.known[i]) {
            continue;
        }
        const CEcuParameters::Text& t = s.rows[i];
        if (auto* combo = qobject_cast<CComboBoxInt*>(control)) {
            SelectRowValue(row.textId, combo, t);
        } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
            check->setChecked(t.value != 0);
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            const bool blank = !t.supported || (row.blankWhenZero != 0 && t.value == 0);
            edit->setText(blank ? QString() : QString::fromStdString(t.text));
        }
    }

    // 2. Engine name, 3. temperature unit.
    m_shownName = QString::fromStdString(s.engineName);
    SetDlgItemText(kEngineName, m_shownName);
    if (CComboBoxInt* unit = Combo(kTemperatureUnit)) {
        if (!unit->SetCurSel(s.temperatureUnit)) {
            (void)unit->SetCurSel(-1);
        }
    }

    // 4. Pump types, then protocols; the baud list follows the protocol shown.
    ShowPumpTypes(s);
    ShowProtocols(s);
    FillBaudList();
    if (m_editMode != 0) {
        ApplyEnables(s); // what may be edited follows the values read
    }
    ++m_valuesShown;
}

void CDialogSetting::ShowPumpTypes(const Snapshot& s) {
    CComboBoxInt* combo = Combo(kPumpType);
    if (combo == nullptr) {
        return;
    }
    const ListEntries entries = SettingLists::PumpTypes(s.pumpTypeMask);
    (void)Fill(*combo, entries);
    const int32_t index = SettingLists::IndexOfData(entries, s.pumpMode);
    // A mask of 0 offers "DC Pump" alone, which does not tell the pump mode.
    m_pumpShown = (s.pumpTypeMask & 0x07) != 0 && index >= 0;
    m_pumpPicked = false;
    (void)combo->SetCurSel(index >= 0 ? index : (combo->GetCount() > 0 ? 0 : -1));
}

void CDialogSetting::ShowProtocols(const Snapshot& s) {
    CComboBoxInt* combo = Combo(kTelemetryProtocol);
    if (combo == nullptr) {
        return;
    }
    const ListEntries entries =
        SettingLists::TelemetryProtocols(s.protocolMask, CTextTable::Process().GetLanguage());
    (void)Fill(*combo, entries);
    const int32_t index = SettingLists::IndexOfData(entries, s.protocol);
    m_protocolShown = s.protocolMask != 0 && index >= 0;
    m_protocolPicked = false;
    (void)combo->SetCurSel(index >= 0 ? index : (combo->GetCount() > 0 ? 0 : -1));
}

void CDialogSetting::FillBaudList() {
    CComboBoxInt* baud = Combo(RowControlId(Id::TelemetryBaudIndex));
    CComboBoxInt* protocol = Combo(kTelemetryProtocol);
    if (baud == nullptr || protocol == nullptr) {
        return;
    }
    CEcuParameters::Text current;
    if (m_ecu == nullptr || m_ecu->getText(Id::TelemetryBaudIndex, current) != 1) {
        current = {};
    }
    const int32_t stopBits = RowControlId(Id::TelemetryStopBitsIndex);
    if (protocol->GetSelectedData(0) != SettingLists::kCanProtocol) {
        if (m_baudList == kBaudSerial) {
            return;
        }
        m_baudList = kBaudSerial;
        // Shown again; enabled as edit mode decides (never in view mode).
        CEcuParameters::Text bits;
        const bool supported = m_ecu != nullptr &&
                               m_ecu->getText(Id::TelemetryStopBitsIndex, bits) == 1 &&
                               bits.supported;
        EnableControl(stopBits, m_editMode != 0 && supported);
        ShowControl(stopBits, true);
        Fill(*baud, SettingLists::SerialBaudRates());
    } else {
        if (m_baudList == kBaudCan) {
            return;
        }
        m_baudList = kBaudCan;
        EnableControl(stopBits, false);
        ShowControl(stopBits, false);
        Fill(*baud, SettingLists::CanSpeeds());
    }
    // Its label goes and comes with it.
    ShowControl(RowLabelId(Id::TelemetryStopBitsIndex), m_baudList == kBaudSerial);
    EnableControl(RowControlId(Id::CanAddress), false);
    SelectRowValue(Id::TelemetryBaudIndex, baud, current);
}

// --- modes -------------------------------------------------------------------------

void CDialogSetting::ApplyEnables(const Snapshot& s) {
    const bool on = m_editMode != 0;
    EnableControl(kEngineName, on && s.read && !s.itemProtocol);
    const auto table = CEngineParameterFile::Rows();
    for (size_t i = 0; i < table.size(); ++i) {
        const CEcuParameters::Text& t = s.rows[i];
        const bool editable =
            on && s.known[i] && t.supported && !(table[i].blankWhenZero != 0 && t.value == 0);
        EnableControl(RowControlId(table[i].textId), editable);
    }
    if (on) {
        const auto* rpm = Control<QCheckBox>(RowControlId(Id::RpmControl));
        const CEcuParameters::Text* linear = s.Row(Id::LinearRpm);
        EnableControl(RowControlId(Id::LinearRpm),
                      rpm != nullptr && rpm->isChecked() && !s.itemProtocol && linear != nullptr &&
                          linear->supported);
        EnableControl(kTemperatureUnit, s.read);
        EnableControl(kPumpType, s.pumpTypeMask != 0);
        EnableControl(kTelemetryProtocol, s.protocolMask != 0);
    } else {
        EnableControl(kTemperatureUnit, false);
        EnableControl(kPumpType, false);
        EnableControl(kTelemetryProtocol, false);
    }
}

void CDialogSetting::SetEditMode(int on) {
    m_editMode = on != 0 ? 1 : 0;
    ApplyEnables(TakeSnapshot());
    if (m_editMode != 0) {
        SetDlgItemText(kIdCancel, Text(207));
        SetDlgItemText(kIdChange, Text(208));
    } else {
        SetDlgItemText(kIdCancel, Text(210));
        SetDlgItemText(kIdChange, Text(209));
    }
    EnableControl(kIdLoadFile, m_editMode == 0);
    EnableControl(kIdSaveFile, m_editMode == 0);
}

// --- writing -----------------------------------------------------------------------

int CDialogSetting::ApplyEdits() {
    if (m_ecu == nullptr) {
        return 0;
    }
    for (const TableRow& row : CEngineParameterFile::Rows()) {
        QWidget* control = GetDlgItem(RowControlId(row.textId));
        if (control == nullptr) {
            continue;
        }
        std::string text;
        int32_t integer = 0;
        if (auto* combo = qobject_cast<CComboBoxInt*>(control)) {
            if (combo->GetCurSel() < 0) {
                continue; // the list could not show the value: leave it
            }
            integer = combo->GetSelectedData(0);
        } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
            integer = check->isChecked() ? 1 : 0;
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            text = edit->text().toStdString();
        }
        (void)m_ecu->setFromText(row.textId, text, integer);
    }

    // The name only when the user changed it: one that does not survive
    // the code page's round trip would otherwise be rewritten unasked.
    const QString name = GetDlgItemText(kEngineName);
    const bool nameChanged = name != m_shownName;
    const std::string gbk = CutGbk(platform::Utf8ToGbk(name.toStdString()), kEngineNameBytes);
    const CComboBoxInt* pump = Combo(kPumpType);
    const CComboBoxInt* protocol = Combo(kTelemetryProtocol);
    const CComboBoxInt* unit = Combo(kTemperatureUnit);
    const bool sendPump =
        pump != nullptr && pump->GetCurSel() >= 0 && (m_pumpShown || m_pumpPicked);
    const bool sendProtocol =
        protocol != nullptr && protocol->GetCurSel() >= 0 && (m_protocolShown || m_protocolPicked);
    m_ecu->withParameters([&](CEcuParameters& p) {
        if (nameChanged) {
            (void)p.setEngineName(gbk);
        }
        if (sendPump) {
            (void)p.setPumpMode(pump->GetSelectedData(0));
        }
        if (sendProtocol) {
            (void)p.setTelemetryProtocol(protocol->GetSelectedData(0) & 0xFF);
        }
        if (unit != nullptr && unit->GetCurSel() >= 0) {
            (void)p.setTemperatureUnit(unit->GetCurSel());
        }
        return 0;
    });

    if (m_ecu->commit() != 1) {
        Report(kCommitFailedChinese, kCommitFailedEnglish);
        return 0;
    }
    return 1;
}

// --- buttons -----------------------------------------------------------------------

void CDialogSetting::OnChangeParam() {
    if (m_editMode == 0) {
        SetEditMode(1);
        return;
    }
    // A failed commit keeps edit mode and the edits on screen, so that
    // nothing is taken as saved that the ECU does not hold.
    if (ApplyEdits() == 1) {
        SetEditMode(0);
    }
}

void CDialogSetting::OnExit() {
    if (m_editMode != 0) {
        if (m_ecu != nullptr) {
            m_ecu->requestReread(); // the ECU's values come back with 302
        }
        SetEditMode(0);
        return;
    }
    QDialog::done(QDialog::Rejected);
}

void CDialogSetting::reject() {
    OnExit();
}

void CDialogSetting::Open() {
    m_open = true;
    OnInitDialog();
    (void)UiServices().RunModal(*this);
    m_open = false;
}

void CDialogSetting::Close() {
    if (!m_open) {
        return;
    }
    // A modal run nested in ours ends first, so that ours can return.
    if (m_altpress.isVisible()) {
        m_altpress.done(QDialog::Rejected);
    }
    QDialog::done(QDialog::Rejected);
}

void CDialogSetting::OnAltitude() {
    m_altpress.Open();
}

void CDialogSetting::OnRpmControlClicked() {
    auto* rpm = Control<QCheckBox>(RowControlId(Id::RpmControl));
    if (rpm == nullptr) {
        return;
    }
    const int32_t answer = UiServices().MessageBox(
        this, QString::fromUtf8(kConfirmChange), windowTitle(), IUiServices::kOkCancel);
    if (answer != IUiServices::kIdOk) {
        rpm->setChecked(!rpm->isChecked()); // back to what it was before the click
        return;
    }
    const Snapshot s = TakeSnapshot();
    const CEcuParameters::Text* linear = s.Row(Id::LinearRpm);
    EnableControl(RowControlId(Id::LinearRpm),
                  rpm->isChecked() && !s.itemProtocol && linear != nullptr && linear->supported);
}

void CDialogSetting::OnProtocolChanged() {
    const Snapshot s = TakeSnapshot();
    const CComboBoxInt* protocol = Combo(kTelemetryProtocol);
    const bool sbus = SettingLists::SbusApplies(
        s.protocolMask, protocol != nullptr ? protocol->GetSelectedData(0) : 0);
    for (int textId : {Id::BusThrottleChannel, Id::BusSwitchChannel, Id::BusTelemetryMode}) {
        EnableControl(RowControlId(textId), sbus);
    }
    FillBaudList();
}

// --- the parameter file ------------------------------------------------------------

namespace {

FileDialogSpec ParameterFileSpec(const char* title) {
    FileDialogSpec spec;
    spec.title = QString::fromUtf8(title);
    spec.defaultExtension = QStringLiteral(".txt");
    spec.fileName = QStringLiteral("engine_cfg.txt");
    spec.filter = "engine_cfg (*.txt)|*.txt||";
    spec.promptOverwrite = true;
    return spec;
}

} // namespace

void CDialogSetting::Report(const char* chinese, const char* english, const std::string& detail) {
    QString text = QString::fromUtf8(
        CTextTable::Process().GetLanguage() == CTextTable::kEnglish ? english : chinese);
    if (!detail.empty()) {
        text += QStringLiteral("\n") + QString::fromStdString(detail);
    }
    (void)UiServices().MessageBox(
        this, text, windowTitle(), IUiServices::kOk | IUiServices::kIconError);
}

void CDialogSetting::OnLoadFile() {
    if (m_ecu == nullptr) {
        return;
    }
    // The open-file dialog accepts existing files only.
    const QString path =
        UiServices().GetOpenFileName(this, ParameterFileSpec("选择打开的配置文件"));
    if (path.isEmpty()) {
        return;
    }
    CEngineParameterFile::Settings settings;
    std::string error;
    switch (CEngineParameterFile::readFile(path.toStdString(), settings, &error)) {
    case CEngineParameterFile::LoadResult::Loaded:
        break;
    case CEngineParameterFile::LoadResult::Missing:
        // Never the defaults by mistake: a file that is not there is refused.
        Report("参数文件不存在，没有发送任何参数。",
               "The parameter file does not exist; nothing was sent.",
               path.toStdString());
        return;
    case CEngineParameterFile::LoadResult::Failed:
        Report("无法读取参数文件，没有发送任何参数。",
               "The parameter file cannot be read; nothing was sent.",
               path.toStdString() + ": " + error);
        return;
    }
    m_ecu->withParameters([&settings](CEcuParameters& p) {
        CEngineParameterFile::Apply(settings, p);
        return 0;
    });
    // The values reach the controls with the next parameter read (302).
    if (m_ecu->commit() != 1) {
        // What was not sent is dropped, so that the dialog shows what the
        // ECU holds; loading again sends it all again.
        m_ecu->requestReread();
        Report(kCommitFailedChinese, kCommitFailedEnglish);
    }
}

void CDialogSetting::OnSaveFile() {
    if (m_ecu == nullptr) {
        return;
    }
    const QString path =
        UiServices().GetSaveFileName(this, ParameterFileSpec("选择保存的配置文件"));
    if (path.isEmpty()) {
        return;
    }
    bool read = false;
    const CEngineParameterFile::Texts texts = m_ecu->withParameters([&read](CEcuParameters& p) {
        read = p.generation() != EcuGeneration::Unknown;
        return CEngineParameterFile::Collect(p);
    });
    if (!read) {
        // A file of zeros would set every parameter to 0 when loaded.
        Report("还没有读到 ECU 的参数，没有保存。",
               "The ECU's parameters have not been read yet; nothing was saved.");
        return;
    }
    std::string error;
    if (CEngineParameterFile::saveTexts(path.toStdString(), texts, &error) != 1) {
        Report("无法保存参数文件。",
               "The parameter file cannot be saved.",
               path.toStdString() + ": " + error);
    }
}
