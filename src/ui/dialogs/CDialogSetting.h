#pragma once

#include "engine/CEcuParameters.h"
#include "engine/CEngineParameterFile.h"
#include "foundation/CTextTable.h"
#include "ui/CDialogBase.h"
#include "ui/dialogs/CDialogAltpress.h"
#include "ui/dialogs/ISettingsDialog.h"
#include "ui/model/SettingLists.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CComboBoxInt;
class CDeviceECU;
class QGridLayout;
class QLabel;

// "Setting": the engine parameter block of the connected ECU, read, edited
// and written back, and loaded from or saved to the parameter file
// engine_cfg.txt.
//
// The dialog holds no parameter values of its own: every value lives in
// CDeviceECU, read with getText and written with setFromText and commit.
// The 68 rows of the parameter-control table (CEngineParameterFile::Rows(),
// the table the parameter file uses too) bind each data control to a text
// id; the control of text id n has the control id RowControlId(n), its label
// kRowLabelBase + n and its hint kRowHintBase + n. Besides the rows: the
// engine name, the pump type, the telemetry protocol and the temperature
// unit.
//
// Two modes: view mode (data controls disabled, file buttons enabled) and
// edit mode (supported data controls enabled, file buttons disabled).
// Buttons: 3 "Change Param" / "Save Setting", 2 "Exit" / "Cancel Setting",
// 5 "Load Param From File", 6 "Save Param To File", 4 "Altitude VS
// Pressure". Escape and the window's close box act as button 2.
//
// What the dialog guarantees beyond copying texts, so that it sends exactly
// what the user entered: a list that cannot show the ECU's value (a value
// beyond the list, an unsupported row, a pump mode or protocol the ECU does
// not offer or has no mask to offer by) sends nothing for it unless the user
// picks an entry; the engine name goes only when changed, cut to 28 bytes on
// a character boundary, and only a block-generation ECU takes one (the edit
// stays disabled otherwise); a failed commit or file operation is reported
// and nothing is taken as saved (Save Setting stays in edit mode with the
// edits on screen); a file that does not exist is never loaded, so no
// defaults are sent by mistake.
//
// Save Setting and Load Param From File commit on the user-interface thread,
// as the main window's commands write: a few register writes with 50 ms
// pauses; a link that stops answering ends the commit at its first failed
// write.
//
// Thread safety: user-interface thread only. CDeviceECU does its own locking.
class CDialogSetting : public CDialogBase, public ISettingsDialog {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kIdCancel = 2,   // "Exit" / "Cancel Setting"
        kIdChange = 3,   // "Change Param" / "Save Setting"
        kIdAltitude = 4, // "Altitude VS Pressure"
        kIdLoadFile = 5, // "Load Param From File"
        kIdSaveFile = 6, // "Save Param To File"
        kEngineName = 1001,
        kPumpType = 1002,
        kTelemetryProtocol = 1003,
        kTemperatureUnit = 1004,
        kGasStartUp = 1005, // "Gas Start Up", always hidden
        kEngineNameLabel = 1011,
        kPumpTypeLabel = 1012,
        kTelemetryProtocolLabel = 1013,
        kTemperatureUnitLabel = 1014,
        kValveVoltage1Label = 1015, // "(1)"
        kValveVoltage2Label = 1016, // "(2)"
        kRowControlBase = 1100,     // + text id
        kRowLabelBase = 1200,       // + text id
        kRowHintBase = 1300,        // + text id
        kGroupBase = 1400,          // + group number
    };
    // Text number of the window title.
    static constexpr int32_t kTitleText = 114;
    // The confirmation asked when "Rotation Speed Control" is clicked.
    static constexpr const char* kConfirmChange = "确认要修改吗???";
    // The engine name the ECU keeps, in bytes of the Chinese code page.
    static constexpr size_t kEngineNameBytes = 28;

    // What the baud-rate list holds.
    enum BaudList : uint8_t { kBaudSerial = 0, kBaudCan = 1, kBaudUnfilled = 255 };

    // ecu may be null (set it with SetEcu before Open); not owned.
    explicit CDialogSetting(CDeviceECU* ecu, QWidget* parent = nullptr);
    ~CDialogSetting() override;

    void SetEcu(CDeviceECU* ecu) { m_ecu = ecu; }
    [[nodiscard]] static int32_t RowControlId(int textId) { return kRowControlBase + textId; }
    [[nodiscard]] static int32_t RowLabelId(int textId) { return kRowLabelBase + textId; }
    [[nodiscard]] static int32_t RowHintId(int textId) { return kRowHintBase + textId; }

    // --- ISettingsDialog ----------------------------------------------------
    // Initialises the dialog and runs it modally (IUiServices::RunModal).
    void Open() override;
    // Copies the values of CDeviceECU into the controls; nothing while the
    // dialog is not open.
    void ShowValues() override;
    // Ends the modal run (and the altitude table's, if open).
    void Close() override;

    // --- operations ---------------------------------------------------------
    // Initialisation: lists, captions in the current language, view mode,
    // the values, the baud list. Open calls it.
    void OnInitDialog();
    void SetEditMode(int on);
    [[nodiscard]] int EditMode() const { return m_editMode; }
    // Every control into CDeviceECU (setFromText for every row, enabled or
    // not), the engine name, pump type, protocol and unit, then commit.
    // Returns commit's result; a failure has been reported to the user.
    int ApplyEdits();

    // Buttons and control events.
    void OnChangeParam(); // 3: edit mode on; in edit mode apply, then view mode
    void OnExit();        // 2: in edit mode re-read and view mode; else close
    void OnAltitude();    // 4
    void OnLoadFile();    // 5
    void OnSaveFile();    // 6
    void OnRpmControlClicked();
    void OnProtocolChanged();

    [[nodiscard]] uint8_t BaudListState() const { return m_baudList; }
    [[nodiscard]] bool IsOpen() const { return m_open; }
    // How many times values were shown since construction.
    [[nodiscard]] uint32_t ValuesShown() const { return m_valuesShown; }
    [[nodiscard]] CDialogAltpress& Altpress() { return m_altpress; }
    // The form holding every control (inside a scroll area that scrolls only
    // on a screen smaller than the form).
    [[nodiscard]] QWidget* Form() const { return m_form; }
    // The (control id, text number) pairs of the captions.
    [[nodiscard]] const std::vector<CTextTable::ControlText>& CaptionList() const {
        return m_captions;
    }

protected:
    // Escape and the close box: button 2.
    void reject() override;

private:
    // What the dialog reads of CDeviceECU, taken under one lock.
    struct Snapshot {
        bool read = false; // a parameter block has been read
        bool itemProtocol = false;
        std::array<bool, CEngineParameterFile::kRowCount> known{};
        std::array<CEcuParameters::Text, CEngineParameterFile::kRowCount> rows{};
        uint8_t pumpTypeMask = 0;
        uint8_t protocolMask = 0;
        int pumpMode = 0;
        int protocol = 0;
        int temperatureUnit = 0;
        int highestCurrentIndex = 0;
        std::string engineName; // UTF-8
        [[nodiscard]] const CEcuParameters::Text* Row(int textId) const;
    };

    void BuildControls();
    void FitToScreen();
    QWidget* AddRow(
        QGridLayout* grid, int textId, int32_t labelText, const char* fixedLabel, const char* hint);
    QLabel* AddLabel(int32_t id, int32_t textNumber, const char* fixed);
    [[nodiscard]] Snapshot TakeSnapshot() const;
    void ShowValuesNow();
    void FillConditionalLists(const Snapshot& s);
    void ShowPumpTypes(const Snapshot& s);
    void ShowProtocols(const Snapshot& s);
    void FillBaudList();
    void ApplyEnables(const Snapshot& s);
    void SelectRowValue(int textId, CComboBoxInt* combo, const CEcuParameters::Text& t);
    void Report(const char* chinese, const char* english, const std::string& detail = {});
    [[nodiscard]] QString Text(int32_t number) const;
    [[nodiscard]] CComboBoxInt* Combo(int32_t id) const;

    CDeviceECU* m_ecu;
    QWidget* m_form = nullptr;
    int m_editMode = 0;
    uint8_t m_baudList = kBaudUnfilled;
    bool m_open = false;
    uint32_t m_valuesShown = 0;
    // Whether the pump-type and protocol lists show the ECU's value, and
    // whether the user picked an entry since they were shown: a list that
    // could not show the value sends nothing until the user picks.
    bool m_pumpShown = false;
    bool m_pumpPicked = false;
    bool m_protocolShown = false;
    bool m_protocolPicked = false;
    QString m_shownName; // the engine name as last shown

    std::vector<CTextTable::ControlText> m_captions;
    CDialogAltpress m_altpress;
};
