#include "app/CTurbexDlg.h"

#include "app/AppIcon.h"
#include "ui/CComboBoxInt.h"
#include "ui/CTabCtrl.h"
#include "ui/IUiServices.h"
#include "ui/dialogs/CColorFlag.h"
#include "ui/dialogs/CDialogPassword.h"
#include "ui/dialogs/IFirmwareDialog.h"
#include "ui/dialogs/ISettingsDialog.h"
#include "ui/dialogs/ITestDialog.h"
#include "ui/model/StatusFormat.h"
#include "ui/model/SystemLanguage.h"
#include "ui/panels/ILiveChartPanel.h"
#include "ui/panels/IPumpPanel.h"
#include "ui/panels/IRecordsPanel.h"
#include "ui/panels/IRpmTempPanel.h"
#include "ui/panels/ISimulatorPanel.h"

#include <QAction>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>

namespace {

constexpr uint32_t kBlack = 0x000000; // 0x00BBGGRR
constexpr uint32_t kRed = 0x0000FF;

// The window's template, in dialog units (603 x 422).
constexpr int32_t kWidthDlu = 603;
constexpr int32_t kHeightDlu = 422;
// Pixels at the reference font: the tab control's top edge in the normal and
// the enlarged layout, and the layout button's distance from the right edge.
constexpr int32_t kTabTopNormalPx = 206;
constexpr int32_t kTabTopEnlargedPx = 10;
constexpr int32_t kLayoutButtonRightPx = 10;

// Ids of template controls that are not captioned from the text table.
constexpr int32_t kUsbGroup = 2000;
constexpr int32_t kFuelGroup = 2001;
constexpr int32_t kFirstUnitLabel = 2100;

enum class Kind { Group, Label, Value, Button, Lamp, Unit, Combo };

struct Item {
    int32_t id;
    Kind kind;
    int16_t x, y, w, h;
    const char* caption; // template caption (UTF-8), replaced by the text table where listed
};

// Controls of the status area. Ids below 2000 are the window's own control
// ids; units are static labels beside their values.
const Item kTemplate[] = {
    // USB box
    {kUsbGroup, Kind::Group, 4, 2, 104, 64, "USB："},
    {1001, Kind::Lamp, 10, 14, 10, 8, ""},
    {1147, Kind::Label, 24, 14, 80, 9, ""},
    {1000, Kind::Lamp, 10, 27, 10, 8, ""},
    {1148, Kind::Label, 24, 27, 44, 9, ""},
    {1070, Kind::Value, 70, 25, 32, 12, ""},
    {1151, Kind::Label, 10, 39, 94, 9, ""},
    {1004, Kind::Value, 10, 49, 92, 12, ""},
    // records box
    {1149, Kind::Group, 4, 68, 104, 27, ""},
    {1069, Kind::Value, 10, 79, 92, 12, ""},
    // buttons
    {1021, Kind::Button, 4, 97, 51, 14, ""},
    {1042, Kind::Button, 57, 97, 51, 14, ""},
    {1028, Kind::Button, 4, 112, 51, 14, ""},
    {1063, Kind::Button, 57, 112, 25, 14, "English"},
    {1064, Kind::Button, 83, 112, 25, 14, "KVRW"},
    // state box
    {1150, Kind::Group, 111, 2, 101, 124, ""},
    {1044, Kind::Value, 114, 18, 95, 12, ""},
    {1141, Kind::Label, 117, 34, 40, 9, ""},
    {1023, Kind::Value, 157, 33, 34, 12, ""},
    {kFirstUnitLabel + 0, Kind::Unit, 193, 34, 14, 9, "%"},
    {1178, Kind::Label, 117, 47, 40, 9, ""},
    {1051, Kind::Value, 157, 46, 34, 12, ""},
    {kFirstUnitLabel + 1, Kind::Unit, 193, 47, 14, 9, "℃"},
    {1142, Kind::Label, 117, 60, 40, 9, ""},
    {1030, Kind::Value, 157, 59, 34, 12, ""},
    {kFirstUnitLabel + 2, Kind::Unit, 193, 60, 14, 9, "V"},
    {1143, Kind::Label, 117, 73, 40, 9, ""},
    {1031, Kind::Value, 157, 72, 34, 12, ""},
    {kFirstUnitLabel + 3, Kind::Unit, 193, 73, 14, 9, "V"},
    {1144, Kind::Label, 117, 86, 40, 9, ""},
    {1033, Kind::Value, 157, 85, 34, 12, ""},
    {kFirstUnitLabel + 4, Kind::Unit, 193, 86, 14, 9, "A"},
    {1145, Kind::Label, 117, 99, 40, 9, ""},
    {1038, Kind::Value, 157, 98, 34, 12, ""},
    {kFirstUnitLabel + 5, Kind::Unit, 193, 99, 14, 9, "kPa"},
    {1146, Kind::Label, 117, 112, 40, 9, ""},
    {1057, Kind::Value, 157, 111, 34, 12, ""},
    {kFirstUnitLabel + 6, Kind::Unit, 193, 112, 14, 9, "m"},
    // starter box
    {1172, Kind::Group, 215, 2, 94, 62, ""},
    {1162, Kind::Label, 221, 15, 34, 9, ""},
    {1024, Kind::Value, 255, 14, 50, 11, ""},
    {1163, Kind::Label, 221, 27, 34, 9, ""},
    {1037, Kind::Value, 255, 26, 50, 11, ""},
    {1164, Kind::Label, 221, 39, 34, 9, ""},
    {1039, Kind::Value, 255, 38, 50, 11, ""},
    {1165, Kind::Label, 221, 51, 34, 9, ""},
    {1040, Kind::Value, 255, 50, 50, 11, ""},
    // alternator box
    {1173, Kind::Group, 215, 66, 94, 60, ""},
    {1174, Kind::Label, 221, 79, 52, 9, ""},
    {1035, Kind::Value, 274, 78, 24, 11, ""},
    {kFirstUnitLabel + 7, Kind::Unit, 300, 79, 6, 9, "V"},
    {1175, Kind::Label, 221, 91, 52, 9, ""},
    {1048, Kind::Value, 274, 90, 24, 11, ""},
    {kFirstUnitLabel + 8, Kind::Unit, 300, 91, 6, 9, "A"},
    {1176, Kind::Label, 221, 103, 52, 9, ""},
    {1049, Kind::Value, 274, 102, 24, 11, ""},
    {kFirstUnitLabel + 9, Kind::Unit, 300, 103, 6, 9, "V"},
    {1177, Kind::Label, 221, 115, 52, 9, ""},
    {1050, Kind::Value, 274, 114, 24, 11, ""},
    {kFirstUnitLabel + 10, Kind::Unit, 300, 115, 6, 9, "A"},
    // main pump box
    {1166, Kind::Group, 312, 2, 104, 74, ""},
    {1167, Kind::Label, 318, 15, 44, 9, ""},
    {1041, Kind::Value, 364, 14, 46, 11, ""},
    {1168, Kind::Label, 318, 27, 44, 9, ""},
    {1043, Kind::Value, 364, 26, 46, 11, ""},
    {1169, Kind::Label, 318, 39, 44, 9, ""},
    {1046, Kind::Value, 364, 38, 46, 11, ""},
    {1170, Kind::Label, 318, 51, 44, 9, ""},
    {1026, Kind::Value, 364, 50, 46, 11, ""},
    {1171, Kind::Label, 318, 63, 44, 9, ""},
    {1047, Kind::Value, 364, 62, 46, 11, ""},
    // TCU box; the version ("TCU:255.255.255" at most) takes the room its
    // short label leaves
    {1158, Kind::Group, 312, 78, 104, 48, ""},
    {1159, Kind::Label, 318, 91, 26, 9, ""},
    {1045, Kind::Value, 345, 90, 65, 11, ""},
    {1160, Kind::Label, 318, 103, 44, 9, ""},
    {1054, Kind::Value, 364, 102, 46, 11, ""},
    {1161, Kind::Label, 318, 115, 44, 9, ""},
    {1056, Kind::Value, 364, 114, 46, 11, ""},
    // ignition pump box
    {1180, Kind::Group, 419, 2, 96, 50, ""},
    {1179, Kind::Label, 425, 15, 44, 9, ""},
    {1052, Kind::Value, 471, 14, 41, 11, ""},
    {1181, Kind::Label, 425, 27, 44, 9, ""},
    {1053, Kind::Value, 471, 26, 41, 11, ""},
    {1182, Kind::Label, 425, 39, 44, 9, ""},
    {1058, Kind::Value, 471, 38, 41, 11, ""},
    // fuel box
    {kFuelGroup, Kind::Group, 419, 54, 96, 50, ""},
    {1183, Kind::Label, 425, 65, 44, 9, ""},
    {1059, Kind::Value, 471, 64, 41, 11, ""},
    {1185, Kind::Label, 425, 77, 44, 9, ""},
    {1060, Kind::Value, 471, 76, 41, 11, ""},
    {1186, Kind::Label, 425, 89, 44, 9, ""},
    {1061, Kind::Value, 471, 88, 41, 11, ""},
    // calibration (hidden until asked for)
    {1065, Kind::Combo, 419, 109, 44, 14, ""},
    {1034, Kind::Button, 465, 109, 50, 14, "校准温度"},
    // RC box
    {1152, Kind::Group, 518, 2, 81, 74, ""},
    {1153, Kind::Label, 524, 15, 49, 9, ""},
    {1032, Kind::Value, 574, 14, 22, 11, ""},
    {1154, Kind::Label, 524, 27, 49, 9, ""},
    {1055, Kind::Value, 574, 26, 22, 11, ""},
    {1155, Kind::Label, 524, 39, 49, 9, ""},
    {1025, Kind::Value, 574, 38, 22, 11, ""},
    {1156, Kind::Label, 524, 51, 49, 9, ""},
    {1029, Kind::Value, 574, 50, 22, 11, ""},
    {1157, Kind::Label, 524, 63, 49, 9, ""},
    {1036, Kind::Value, 574, 62, 22, 11, ""},
    // service buttons (hidden until asked for)
    {1027, Kind::Button, 519, 80, 26, 14, "UP"},
    {1062, Kind::Button, 546, 80, 26, 14, "ECU"},
    {1068, Kind::Button, 573, 80, 26, 14, "TCU"},
};

// The tab control and the layout button are placed by Layout().
constexpr int32_t kTabLeftDlu = 4;
constexpr int32_t kTabRightDlu = 599;
constexpr int32_t kTabBottomDlu = 418;
constexpr int32_t kLayoutButtonWidthDlu = 30;

// Tab titles of tabs 0..5 (4 and 5 once unlocked).
constexpr int32_t kTabTitles[6] = {54, 56, 55, 57, 58, 59};

QColor Lamp(bool on) {
    return QColor::fromRgb(on ? CColorFlag::kGreen : CColorFlag::kRed);
}

CTextTable& Texts() {
    return CTextTable::Process();
}

QString Text(int32_t number) {
    return QString::fromUtf8(Texts().GetText(number));
}

} // namespace

const std::array<CTextTable::ControlText, CTurbexDlg::kCaptionCount>& CTurbexDlg::CaptionList() {
    static const std::array<CTextTable::ControlText, kCaptionCount> list = {{
        {1067, 44},  {1021, 46},  {1042, 47},  {1028, 48},  {1150, 60},  {1141, 61},  {1178, 62},
        {1142, 63},  {1143, 64},  {1144, 65},  {1145, 66},  {1146, 67},  {1147, 68},  {1148, 69},
        {1151, 70},  {1149, 71},  {1152, 72},  {1153, 73},  {1154, 74},  {1155, 75},  {1156, 76},
        {1157, 77},  {1158, 78},  {1159, 79},  {1160, 80},  {1161, 81},  {1172, 82},  {1162, 83},
        {1163, 84},  {1164, 85},  {1165, 86},  {1166, 91},  {1167, 92},  {1168, 93},  {1169, 94},
        {1170, 95},  {1171, 96},  {1180, 105}, {1179, 92},  {1181, 93},  {1182, 94},  {1173, 106},
        {1174, 107}, {1175, 108}, {1176, 109}, {1177, 110}, {1183, 111}, {1185, 112}, {1186, 113},
    }};
    return list;
}

CTurbexDlg::CTurbexDlg(Setup setup, QWidget* parent)
    : CDialogBase(parent)
    , m_device(std::move(setup.device))
    , m_ecu(std::move(setup.ecu))
    , m_factories(std::move(setup.factories)) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    // 1. Icons.
    setWindowIcon(AppIcon());

    // 2. Language from the system language; every start decides afresh.
    Texts().SetLanguage(SystemLanguage::TextLanguageFor(setup.systemLangId));

    // 3. Controls and their captions; the title.
    CreateControls();
    SetLanguageButton();
    ApplyCaptions();
    setWindowTitle(QString::fromUtf8(kTitle));

    // 4. The size at initialisation is the minimum size.
    resize(DluRect(0, 0, kWidthDlu, kHeightDlu).size());
    m_initialSize = size();
    setMinimumSize(m_initialSize);
    const QRect tab = DluRect(kTabLeftDlu, 0, kTabRightDlu - kTabLeftDlu, kTabBottomDlu);
    m_tabLeft = tab.left();
    m_tabRightGap = width() - (tab.left() + tab.width());
    m_tabBottomGap = height() - tab.height();

    // 5. The ECU object on the device, this window as the general handler,
    // then the device's threads.
    m_ecu->attach(*m_device);
    m_device->SetEventHandler(&CEventPoster::DeviceCallback, Poster());
    m_device->Start();
    if (m_factories.firmware) {
        m_firmware = m_factories.firmware(this, *m_device);
    }

    // 6. Calibration temperatures; 24 ℃ selected.
    static constexpr int32_t kTemperatures[] = {0, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
    for (int32_t t : kTemperatures) {
        m_calibration->AddString(QString::number(t) + QStringLiteral("℃"), t);
    }
    (void)m_calibration->SelectData(24);

    // 7. Service controls hidden; buttons that need an ECU disabled.
    for (int32_t id : {kUpdate, kCalibrationCombo, kCalibrate, kEcuTest, kTcuTest}) {
        ShowControl(id, false);
    }
    EnableControl(kUpdate, false);
    for (int32_t id : {kTestEngine, kSetParam, kLearn}) {
        EnableControl(id, false);
    }

    // 8., 9. Pages and tabs.
    CreatePanels();
    for (int32_t i = 0; i < 4; ++i) {
        m_tab->InsertItem(i, Text(kTabTitles[i]));
    }
    (void)m_tab->SetCurSel(0);
    Layout();
    OnTabChange(0);

    // 10. Status panel once (empty while nothing is connected).
    RefreshUsb();
    RefreshIndicators();
    RefreshStatus();
    m_initialised = true;
}

CTurbexDlg::~CTurbexDlg() {
    // No message may be posted to a window that is going away; then the
    // pages and dialogs, which may use the ECU object, go before it, and the
    // ECU object (its threads use the device) before the device.
    StopPosting();
    m_device->SetEventHandler(nullptr, nullptr);
    m_settings.reset();
    m_firmware.reset();
    m_hardwareTest.reset();
    m_ecuTest.reset();
    m_tcuTest.reset();
    delete m_tab;
    m_tab = nullptr;
    m_ecu.reset();
    m_device.reset();
}

void CTurbexDlg::CreateControls() {
    for (const Item& item : kTemplate) {
        QWidget* control = nullptr;
        const QString caption = QString::fromUtf8(item.caption);
        switch (item.kind) {
        case Kind::Group:
            control = new QGroupBox(caption, this);
            break;
        case Kind::Label:
        case Kind::Unit:
            control = new QLabel(caption, this);
            break;
        case Kind::Value: {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(true);
            edit->setFocusPolicy(Qt::ClickFocus);
            control = edit;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            control = button;
            break;
        }
        case Kind::Lamp:
            control = new CColorFlag(this);
            break;
        case Kind::Combo:
            m_calibration = new CComboBoxInt(this);
            control = m_calibration;
            break;
        }
        control->setGeometry(DluRect(item.x, item.y, item.w, item.h));
        RegisterControl(item.id, control);
    }
    m_usbLamp = Control<CColorFlag>(kUsbLamp);
    m_deviceLamp = Control<CColorFlag>(kDeviceLamp);

    m_tab = new CTabCtrl(this);
    RegisterControl(kTab, m_tab);
    auto* layout = new QPushButton(this);
    layout->setAutoDefault(false);
    RegisterControl(kLayout, layout);

    const auto connectButton = [this](int32_t id, void (CTurbexDlg::*action)()) {
        connect(Control<QPushButton>(id), &QPushButton::clicked, this, action);
    };
    connectButton(kSetParam, &CTurbexDlg::OnSetParam);
    connectButton(kLearn, &CTurbexDlg::OnLearn);
    connectButton(kTestEngine, &CTurbexDlg::OnTestEngine);
    connectButton(kLanguage, &CTurbexDlg::OnLanguage);
    connectButton(kKvrw, &CTurbexDlg::OnKvrw);
    connectButton(kLayout, &CTurbexDlg::OnLayout);
    connectButton(kUpdate, &CTurbexDlg::OnUpdate);
    connectButton(kEcuTest, &CTurbexDlg::OnEcuTest);
    connectButton(kTcuTest, &CTurbexDlg::OnTcuTest);
    connectButton(kCalibrate, &CTurbexDlg::OnCalibrate);
    connect(m_tab, &CTabCtrl::SelChange, this, &CTurbexDlg::OnTabChange);
}

void CTurbexDlg::CreatePanels() {
    for (int32_t slot = 0; slot < kPanelCount; ++slot) {
        QWidget* page = m_factories.panel ? m_factories.panel(slot, m_tab) : nullptr;
        if (page == nullptr) {
            page = new QWidget(m_tab); // the page to come
        }
        page->setParent(m_tab);
        page->hide();
        m_panels[static_cast<size_t>(slot)] = page;
    }
    m_liveChart = dynamic_cast<ILiveChartPanel*>(m_panels[kPanelCurrentState]);
    m_records = dynamic_cast<IRecordsPanel*>(m_panels[kPanelTrack]);
    m_rpmTemp = dynamic_cast<IRpmTempPanel*>(m_panels[kPanelRpmTemp]);
    m_pump = dynamic_cast<IPumpPanel*>(m_panels[kPanelPump]);
    m_simulator = dynamic_cast<ISimulatorPanel*>(m_panels[kPanelSimulate]);
}

QWidget* CTurbexDlg::Panel(int32_t slot) const {
    return slot >= 0 && slot < kPanelCount ? m_panels[static_cast<size_t>(slot)] : nullptr;
}

void CTurbexDlg::ApplyCaptions() {
    Texts().SetControlTexts(this, CaptionList());
}

void CTurbexDlg::SetLanguageButton() {
    SetDlgItemText(kLanguage,
                   Texts().GetLanguage() == CTextTable::kEnglish ? QStringLiteral("中文")
                                                                 : QStringLiteral("English"));
}

bool CTurbexDlg::Connected() const {
    return m_device->IsLinkUp() != 0 && m_device->IsOnline() != 0 && m_device->IsBootLoader() == 0;
}

// --- events ------------------------------------------------------------------

void CTurbexDlg::OnDeviceEvent(int32_t event, int32_t value) {
    switch (event) {
    case CDeviceBase::kEventLink:
        RefreshUsb();
        break;
    case CDeviceBase::kEventOnline:
        RefreshOnline();
        break;
    case CDeviceBase::kEventTransferBegin:
        if (m_firmware) {
            m_firmware->ShowProgress(0);
        }
        break;
    case CDeviceBase::kEventTransferProgress:
        if (m_firmware) {
            m_firmware->ShowProgress(value);
        }
        break;
    case CDeviceBase::kEventTransferEnd:
        if (m_firmware) {
            m_firmware->ShowProgress(0);
            m_firmware->Finished(value != 0);
        }
        break;
    case 301:
        OnTelemetry();
        break;
    case 302:
        OnParameters();
        break;
    case 303:
        if (m_records != nullptr) {
            m_records->RecordsChanged();
        }
        break;
    case 304:
        if (m_records != nullptr) {
            m_records->SetLoading(value != 0);
        }
        break;
    case 305:
        if (m_simulator != nullptr) {
            m_simulator->Refresh();
        }
        break;
    case 306:
        if (m_simulator != nullptr) {
            m_simulator->RefreshGroundSupport();
        }
        break;
    default:
        break; // 6 (status marker) and 307 (sensor reading) change nothing here
    }
}

void CTurbexDlg::RefreshUsb() {
    m_usbLamp->SetColor(Lamp(m_device->IsLinkUp() != 0));
}

void CTurbexDlg::RefreshOnline() {
    RefreshIndicators();
    if (!Connected()) {
        ClearOffline();
    }
}

void CTurbexDlg::RefreshIndicators() {
    const bool online = m_device->IsLinkUp() != 0 && m_device->IsOnline() != 0;
    const bool bootLoader = m_device->IsBootLoader() != 0;
    if (online) {
        m_deviceLamp->SetColor(Lamp(true));
        EnableControl(kUpdate, true);
        for (int32_t id : {kTestEngine, kSetParam, kLearn}) {
            EnableControl(id, !bootLoader);
        }
        SetDlgItemText(kVersion,
                       QString::fromStdString(StatusFormat::Version(bootLoader,
                                                                    m_device->GetVersion1(),
                                                                    m_device->GetVersion2(),
                                                                    m_device->GetVersion3())));
        SetDlgItemText(kLinkRate, QString::number(m_device->GetLinkRate()));
    } else {
        m_deviceLamp->SetColor(Lamp(false));
        for (int32_t id : {kUpdate, kTestEngine, kSetParam, kLearn}) {
            EnableControl(id, false);
        }
        SetDlgItemText(kLinkRate, QString());
        SetDlgItemText(kVersion, QString());
    }
}

void CTurbexDlg::ClearOffline() {
    RefreshStatus(); // not connected: every value empty
    for (const StatusValue& v : StatusFormat::LearnedThrottle({}, {}, {})) {
        SetDlgItemText(v.controlId, QString());
    }
    if (m_settings) {
        m_settings->Close();
    }
    if (m_records != nullptr) {
        m_records->Reset();
    }
    if (m_simulator != nullptr) {
        m_simulator->Reset();
    }
    for (ITestDialog* dialog : {m_hardwareTest.get(), m_ecuTest.get(), m_tcuTest.get()}) {
        if (dialog != nullptr) {
            dialog->Reset();
        }
    }
    // A disconnected engine feeds the chart pages zeros.
    if (m_liveChart != nullptr) {
        m_liveChart->Reset();
        m_liveChart->AddLiveSample(CLiveSample{});
    }
    if (m_rpmTemp != nullptr) {
        m_rpmTemp->AddSample(0, 0, 0, 0.0f);
    }
}

void CTurbexDlg::RefreshStatus() {
    const int32_t language = Texts().GetLanguage();
    const bool connected = Connected();
    EcuLiveView live;
    if (connected) {
        live = m_ecu->liveState();
    }
    for (const StatusValue& v : StatusFormat::LiveValues(connected ? &live : nullptr, language)) {
        SetDlgItemText(v.controlId, QString::fromStdString(v.text));
    }
    if (connected) {
        SetDlgItemText(kLinkRate, QString::number(m_device->GetLinkRate()));
    }
}

void CTurbexDlg::OnTelemetry() {
    if (!Connected()) {
        return; // a notification that was overtaken by going offline
    }
    RefreshStatus();
    const EcuLiveView live = m_ecu->liveState();
    const int32_t language = Texts().GetLanguage();
    if (m_liveChart != nullptr) {
        m_liveChart->SetStateLine(
            StatusFormat::DisplayStateText(live.display_state, language), kBlack, live.current);
        m_liveChart->SetFaultLine(StatusFormat::ErrorText(live.display_error, language),
                                  live.display_error != 0 ? kRed : kBlack);
        m_liveChart->SetAlternator(live.alternator_present, live.alternator_voltage);
        CLiveSample sample;
        sample.state = live.engine_state;
        sample.rpm = static_cast<uint32_t>(live.engine_rpm < 0 ? 0 : live.engine_rpm);
        sample.egt = static_cast<int16_t>(live.displayed_egt);
        sample.pump_voltage = live.pump_voltage_centivolts;
        sample.fuel_temperature = live.fuel_temperature;
        sample.battery_millivolts = static_cast<int32_t>(live.battery_voltage * 1000.0f);
        sample.current_milliamperes = static_cast<int32_t>(live.current * 1000.0f);
        sample.altitude = live.altitude;
        sample.thrust = live.sensor_thrust;
        m_liveChart->AddLiveSample(sample);
    }
    if (m_rpmTemp != nullptr) {
        m_rpmTemp->AddSample(
            live.engine_rpm, live.displayed_egt, live.pump_voltage_centivolts, live.sensor_thrust);
    }
    if (m_pump != nullptr && StatusFormat::MainPumpReported(live)) {
        m_pump->AddSample(live.main_pump_state, live.main_pump_rpm, live.pump_voltage_centivolts);
    }
    if (m_simulator != nullptr) {
        m_simulator->Refresh();
    }
    if (m_ecuTest) {
        m_ecuTest->Refresh();
    }
}

void CTurbexDlg::OnParameters() {
    if (!Connected()) {
        return;
    }
    for (const StatusValue& v :
         StatusFormat::LearnedThrottle(m_ecu->getText(1), m_ecu->getText(2), m_ecu->getText(3))) {
        SetDlgItemText(v.controlId, QString::fromStdString(v.text));
    }
    if (m_settings) {
        m_settings->ShowValues();
    }
    if (m_firmware) {
        m_firmware->ParametersRead();
    }
    int32_t maxEgt = 0;
    int32_t idleRpm = 0;
    int32_t maxRpm = 0;
    const bool haveEgt = StatusFormat::ParseInt(m_ecu->getText(13), &maxEgt);
    const bool haveIdle = StatusFormat::ParseInt(m_ecu->getText(52), &idleRpm);
    const bool haveMax = StatusFormat::ParseInt(m_ecu->getText(53), &maxRpm);
    if (m_liveChart != nullptr) {
        if (haveEgt) {
            m_liveChart->SetEgtBarScale(maxEgt);
        }
        if (haveMax) {
            m_liveChart->SetRpmBarScale(maxRpm);
        }
        m_liveChart->SetPumpVoltageScale(
            static_cast<int32_t>(1000.0f * m_ecu->liveState().pump_voltage));
    }
    if (m_rpmTemp != nullptr && haveIdle && haveMax) {
        m_rpmTemp->SetRange(idleRpm, maxRpm);
    }
}

// --- buttons -----------------------------------------------------------------

void CTurbexDlg::OnSetParam() {
    m_ecu->requestReread();
    if (!m_settings && m_factories.settings) {
        m_settings = m_factories.settings(this);
    }
    if (m_settings) {
        m_settings->Open();
    }
}

void CTurbexDlg::OnLearn() {
    const bool learning = m_ecu->isLearning() != 0;
    QMenu menu(this);
    QAction* item0 = menu.addAction(Text(learning ? 50 : 49));
    QAction* item1 = menu.addAction(Text(53));
    QAction* item2 = menu.addAction(Text(52));
    QAction* item3 = menu.addAction(Text(51));
    menu.addSeparator();
    for (QAction* item : {item1, item2, item3}) {
        item->setEnabled(learning);
    }
    QAction* chosen = UiServices().TrackPopupMenu(menu, QCursor::pos());
    if (chosen == nullptr || !chosen->isEnabled()) {
        return;
    }
    int32_t command = 0;
    if (chosen == item0) {
        command = learning ? kLearnStop : kLearnStart;
    } else if (chosen == item1) {
        command = kLearnMax;
    } else if (chosen == item2) {
        command = kLearnIdle;
    } else if (chosen == item3) {
        command = kLearnMin;
    } else {
        return;
    }
    (void)m_ecu->sendCommand(command, 0);
}

ITestDialog* CTurbexDlg::TestDialogFor(int32_t templateId) {
    std::unique_ptr<ITestDialog>& slot =
        templateId == kHardwareTest ? m_hardwareTest
                                    : (templateId == kEcuTestDialog ? m_ecuTest : m_tcuTest);
    if (!slot && m_factories.testDialog) {
        slot = m_factories.testDialog(templateId, this);
    }
    return slot.get();
}

void CTurbexDlg::OnTestEngine() {
    if (ITestDialog* dialog = TestDialogFor(kHardwareTest)) {
        dialog->Show();
    }
}

void CTurbexDlg::OnEcuTest() {
    if (ITestDialog* dialog = TestDialogFor(kEcuTestDialog)) {
        dialog->Show();
    }
}

void CTurbexDlg::OnTcuTest() {
    if (ITestDialog* dialog = TestDialogFor(kTcuTestDialog)) {
        dialog->Show();
    }
}

void CTurbexDlg::OnUpdate() {
    if (m_firmware) {
        m_firmware->Open();
    }
}

void CTurbexDlg::OnCalibrate() {
    if (m_ecu->isReady() == 0) {
        return;
    }
    const int32_t ambient = m_calibration->GetSelectedData(24);
    if (m_ecu->prepareTemperatureCalibration() != 0) {
        (void)m_ecu->calibrateTemperature(ambient);
    }
}

void CTurbexDlg::OnLanguage() {
    Texts().SetLanguage(Texts().GetLanguage() == CTextTable::kChinese ? CTextTable::kEnglish
                                                                      : CTextTable::kChinese);
    SetLanguageButton();
    for (QWidget* page : m_panels) {
        page->hide();
    }
    for (int32_t i = 0;
         i < static_cast<int32_t>(std::size(kTabTitles)) && i < m_tab->GetItemCount();
         ++i) {
        (void)m_tab->SetItemText(i, Text(kTabTitles[i]));
    }
    if (m_records != nullptr) {
        m_records->Recaption();
    }
    if (m_hardwareTest) {
        m_hardwareTest->Recaption();
    }
    OnTabChange(m_tab->GetCurSel());
    ApplyCaptions();
    if (m_enlarged) {
        SetDlgItemText(kLayout,
                       Text(45)); // the caption list says "MAX"; the button shows what it does
    }
    RefreshStatus();
}

void CTurbexDlg::OnKvrw() {
    if (m_tab->GetItemCount() > 4) {
        return; // unlocked already
    }
    CDialogPassword password(this);
    if (UiServices().RunModal(password) != QDialog::Accepted) {
        return;
    }
    if (password.GetPassword().compare(QString::fromUtf8(kUnlockWord), Qt::CaseInsensitive) != 0) {
        return;
    }
    ShowControl(kKvrw, false);
    m_tab->InsertItem(4, QStringLiteral("工程模式"));
    // The simulator page comes with it: without a tab of its own no one could
    // ever open it.
    m_tab->InsertItem(5, Text(kTabTitles[5]));
    LayoutPanels();
    m_tab->update();
}

void CTurbexDlg::OnTabChange(int32_t index) {
    for (int32_t slot = 0; slot < kPanelCount; ++slot) {
        if (slot != index) {
            m_panels[static_cast<size_t>(slot)]->hide();
        }
    }
    if (QWidget* page = Panel(index)) {
        page->show();
    }
}

void CTurbexDlg::OnLayout() {
    if (!m_enlarged) {
        m_hiddenByLayout.clear();
        for (int32_t id : ControlIds()) {
            if (id != kTab && id != kLayout && IsControlShown(id)) {
                ShowControl(id, false);
                m_hiddenByLayout.push_back(id);
            }
        }
        SetDlgItemText(kLayout, Text(45));
    } else {
        for (int32_t id : m_hiddenByLayout) {
            ShowControl(id, true);
        }
        m_hiddenByLayout.clear();
        SetDlgItemText(kLayout, Text(44));
    }
    m_enlarged = !m_enlarged;
    Layout();
}

void CTurbexDlg::ShowServiceControls(std::initializer_list<int32_t> ids) {
    for (int32_t id : ids) {
        if (m_enlarged) {
            // Shown when the normal layout returns, not over the pages.
            if (std::find(m_hiddenByLayout.begin(), m_hiddenByLayout.end(), id) ==
                m_hiddenByLayout.end()) {
                m_hiddenByLayout.push_back(id);
            }
        } else {
            ShowControl(id, true);
        }
    }
}

void CTurbexDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const DialogUnits units = Units();
    if (p.x() >= units.ReferenceX(294) && p.x() <= units.ReferenceX(312) &&
        p.y() >= units.ReferenceY(10) && p.y() <= units.ReferenceY(28)) {
        ShowServiceControls({kUpdate, kEcuTest, kTcuTest});
    } else if (p.x() < units.ReferenceX(10) && p.y() < units.ReferenceY(10)) {
        ShowServiceControls({kCalibrationCombo, kCalibrate});
    }
    CDialogBase::mouseDoubleClickEvent(event);
}

// --- layout ------------------------------------------------------------------

void CTurbexDlg::resizeEvent(QResizeEvent* event) {
    CDialogBase::resizeEvent(event);
    if (m_initialised) {
        Layout();
    }
}

void CTurbexDlg::Layout() {
    const DialogUnits units = Units();
    const int32_t top = units.ReferenceY(m_enlarged ? kTabTopEnlargedPx : kTabTopNormalPx);
    const int32_t right = width() - m_tabRightGap;
    const int32_t bottom = height() - m_tabBottomGap;
    m_tab->setGeometry(m_tabLeft, top, std::max(0, right - m_tabLeft), std::max(0, bottom - top));

    // The layout button sits at the right end of the tab strip.
    QWidget* button = GetDlgItem(kLayout);
    const int32_t buttonWidth = units.X(kLayoutButtonWidthDlu);
    const int32_t buttonHeight = std::max(m_tab->StripHeight() - 2, units.Y(12));
    button->setGeometry(width() - units.ReferenceX(kLayoutButtonRightPx) - buttonWidth,
                        top,
                        buttonWidth,
                        buttonHeight);
    button->raise();
    LayoutPanels();
}

void CTurbexDlg::LayoutPanels() {
    // The page area below the strip, inset 1 px left, 3 px right, 2 px bottom.
    const QRect area(1,
                     m_tab->StripHeight(),
                     m_tab->width() - 1 - 3,
                     m_tab->height() - m_tab->StripHeight() - 2);
    for (QWidget* page : m_panels) {
        page->setGeometry(area);
    }
}
