#pragma once

#include "device/CDeviceBase.h"
#include "foundation/CTextTable.h"
#include "ui/CDialogBase.h"
#include "ui/model/IEcuView.h"

#include <array>
#include <functional>
#include <memory>

class CColorFlag;
class CComboBoxInt;
class CTabCtrl;
class IFirmwareDialog;
class ILiveChartPanel;
class IPumpPanel;
class IRecordsPanel;
class IRpmTempPanel;
class ISettingsDialog;
class ISimulatorPanel;
class ITestDialog;

// The tool's main window "Turbex V1.1.73": link and device lamps, the unit's
// version, the status panel of live values, the command buttons, the learning
// menu, the language switch, the engineering-mode unlock and the tab strip of
// work pages. It owns the device and the ECU protocol object for its whole
// life, starts the device when it is created, and refreshes only when a
// device event or ECU notification arrives (message 0x0401): it has no timer.
//
// Pages and dialogs are made by the page and dialog factories; a page that has no
// factory yet is an empty page. The window feeds them through the small
// interfaces they implement (ILiveChartPanel, IRecordsPanel, ...), found on
// the page widget.
//
// Thread safety: user-interface thread only. The device's threads reach the
// window only through the posted message.
class CTurbexDlg : public CDialogBase {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kDeviceLamp = 1000,
        kUsbLamp = 1001,
        kVersion = 1004,
        kSetParam = 1021,
        kUpdate = 1027,
        kTestEngine = 1028,
        kCalibrate = 1034,
        kLearn = 1042,
        kEcuTest = 1062,
        kLanguage = 1063,
        kKvrw = 1064,
        kCalibrationCombo = 1065,
        kTab = 1066,
        kLayout = 1067,
        kTcuTest = 1068,
        kLinkRate = 1070,
    };
    // The six page slots; the tab index selects the slot of the same number.
    enum PanelSlot : int32_t {
        kPanelCurrentState = 0, // "Real State"
        kPanelTrack = 1,        // "Historic records "
        kPanelRpmTemp = 2,      // "RPM vs EGT&Thrust&Pump"
        kPanelPump = 3,         // "RPM for BLDC Pump"
        kPanelKvrw = 4,         // engineering mode, after the unlock
        kPanelSimulate = 5,     // radio simulator
        kPanelCount = 6,
    };
    // Templates of the test dialogs.
    enum TestDialog : int32_t { kHardwareTest = 139, kEcuTestDialog = 145, kTcuTestDialog = 146 };
    // Register-1 learning commands.
    enum LearnCommand : int32_t {
        kLearnStart = 2,
        kLearnStop = 3,
        kLearnMin = 4,
        kLearnIdle = 5,
        kLearnMax = 6
    };

    static constexpr const char* kTitle = "Turbex V1.1.73";
    static constexpr const char* kUnlockWord = "kvrw";
    static constexpr int32_t kCaptionCount = 49;

    // How the pages and dialogs are made; any of them may be empty.
    struct PageDialogFactories {
        // The page of a slot, a child of parent (the tab control); null gives
        // an empty page.
        std::function<QWidget*(int32_t slot, QWidget* parent)> panel;
        std::function<std::unique_ptr<ISettingsDialog>(QWidget* parent)> settings;
        // templateId: kHardwareTest, kEcuTestDialog or kTcuTestDialog.
        std::function<std::unique_ptr<ITestDialog>(int32_t templateId, QWidget* parent)> testDialog;
        std::function<std::unique_ptr<IFirmwareDialog>(QWidget* parent, CDeviceBase& device)>
            firmware;
    };

    struct Setup {
        std::unique_ptr<CDeviceBase> device; // required; started by the window
        std::unique_ptr<IEcuView> ecu;       // required; attached to the device
        // The system language identifier: 0x0804 and 0x0C04 open in Chinese.
        uint16_t systemLangId = 0x0409;
        PageDialogFactories factories;
    };

    // Runs the whole initialisation: language, captions, device start, pages,
    // tabs, and one refresh of the (empty) status panel.
    explicit CTurbexDlg(Setup setup, QWidget* parent = nullptr);
    ~CTurbexDlg() override;

    // The 49 (control, text number) pairs of the window's captions.
    [[nodiscard]] static const std::array<CTextTable::ControlText, kCaptionCount>& CaptionList();

    [[nodiscard]] CDeviceBase& Device() { return *m_device; }
    [[nodiscard]] IEcuView& Ecu() { return *m_ecu; }
    [[nodiscard]] CTabCtrl* Tab() const { return m_tab; }
    [[nodiscard]] QWidget* Panel(int32_t slot) const;
    [[nodiscard]] bool IsEnlarged() const { return m_enlarged; }
    [[nodiscard]] QSize InitialSize() const { return m_initialSize; }

    // --- button actions (the buttons call them) ----------------------------
    void OnSetParam();
    void OnLearn();
    void OnTestEngine();
    void OnLanguage();
    void OnKvrw();
    void OnLayout();
    void OnUpdate();
    void OnEcuTest();
    void OnTcuTest();
    void OnCalibrate();
    void OnTabChange(int32_t index);

protected:
    void OnDeviceEvent(int32_t event, int32_t value) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    void CreatePanels();
    void ApplyCaptions();
    void SetLanguageButton();

    void RefreshUsb();
    void RefreshOnline();     // event 1: indicators, and the offline clean-up
    void RefreshIndicators(); // lamp, buttons, version and link rate
    void RefreshStatus();
    void ClearOffline();
    void OnTelemetry();
    void OnParameters();
    [[nodiscard]] bool Connected() const; // online in application mode

    void Layout();
    void LayoutPanels();
    void ShowServiceControls(std::initializer_list<int32_t> ids);
    ITestDialog* TestDialogFor(int32_t templateId);

    std::unique_ptr<CDeviceBase> m_device;
    std::unique_ptr<IEcuView> m_ecu;
    PageDialogFactories m_factories;

    CColorFlag* m_usbLamp = nullptr;
    CColorFlag* m_deviceLamp = nullptr;
    CComboBoxInt* m_calibration = nullptr;
    CTabCtrl* m_tab = nullptr;
    std::array<QWidget*, kPanelCount> m_panels{};

    // The interfaces of the pages that implement them (null otherwise).
    ILiveChartPanel* m_liveChart = nullptr;
    IRecordsPanel* m_records = nullptr;
    IRpmTempPanel* m_rpmTemp = nullptr;
    IPumpPanel* m_pump = nullptr;
    ISimulatorPanel* m_simulator = nullptr;

    std::unique_ptr<ISettingsDialog> m_settings;
    std::unique_ptr<IFirmwareDialog> m_firmware;
    std::unique_ptr<ITestDialog> m_hardwareTest;
    std::unique_ptr<ITestDialog> m_ecuTest;
    std::unique_ptr<ITestDialog> m_tcuTest;

    bool m_initialised = false;
    bool m_enlarged = false;
    QSize m_initialSize;
    int32_t m_tabLeft = 0;                 // px
    int32_t m_tabRightGap = 0;             // px from the client's right edge
    int32_t m_tabBottomGap = 0;            // px from the client's bottom edge
    std::vector<int32_t> m_hiddenByLayout; // controls the enlarged layout hid
};
