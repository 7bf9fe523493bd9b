#pragma once

// Test doubles of the main window's collaborators: the ECU view fed by the
// test, the user-facing services answered by the test, and pages and dialogs
// that record what the window tells them.

#include "ui/IUiServices.h"
#include "ui/dialogs/IFirmwareDialog.h"
#include "ui/dialogs/ISettingsDialog.h"
#include "ui/dialogs/ITestDialog.h"
#include "ui/model/IEcuView.h"
#include "ui/panels/ILiveChartPanel.h"
#include "ui/panels/IPumpPanel.h"
#include "ui/panels/IRecordsPanel.h"
#include "ui/panels/IRpmTempPanel.h"
#include "ui/panels/ISimulatorPanel.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QWidget>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class FakeEcuView : public IEcuView {
public:
    EcuLiveView live;
    std::map<int32_t, std::string> texts;
    int ready = 1;
    int learning = 0;
    int commandResult = 1;
    int attached = 0;
    int rereads = 0;
    std::vector<std::pair<int32_t, int32_t>> commands;
    std::vector<std::string> calibration; // "prepare", "calibrate <t>"

    void attach(CDeviceBase&) override { ++attached; }
    int isReady() const override { return ready; }
    EcuLiveView liveState() const override { return live; }
    std::string getText(int32_t id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    int isLearning() const override { return learning; }
    int sendCommand(int32_t code, int32_t argument) override {
        commands.emplace_back(code, argument);
        return commandResult;
    }
    void requestReread() override { ++rereads; }
    int prepareTemperatureCalibration() override {
        calibration.push_back("prepare");
        return 1;
    }
    int calibrateTemperature(int32_t ambient) override {
        calibration.push_back("calibrate " + std::to_string(ambient));
        return 1;
    }
};

// Answers every window that would wait for the user.
class ScriptedUiServices : public IUiServices {
public:
    struct Box {
        QString text, caption;
        uint32_t type;
    };
    struct MenuItem {
        QString text;
        bool enabled;
        bool separator;
    };
    std::vector<Box> boxes;
    int32_t boxAnswer = kIdOk;
    // The menu as last shown, and the item to choose (-1: dismiss).
    std::vector<MenuItem> lastMenu;
    int menuChoice = -1;
    int menus = 0;
    // Answers a modal dialog; without one the dialog is rejected.
    std::function<int32_t(QDialog&)> modal;
    int modals = 0;
    QString openPath, savePath;
    std::vector<std::pair<uint32_t, uint32_t>> beeps;

    ScriptedUiServices() { SetUiServices(this); }
    ~ScriptedUiServices() override { SetUiServices(nullptr); }

    int32_t
    MessageBox(QWidget*, const QString& text, const QString& caption, uint32_t type) override {
        boxes.push_back({text, caption, type});
        return boxAnswer;
    }
    QString GetOpenFileName(QWidget*, const FileDialogSpec&) override { return openPath; }
    QString GetSaveFileName(QWidget*, const FileDialogSpec&) override { return savePath; }
    int32_t RunModal(QDialog& dialog) override {
        ++modals;
        return modal ? modal(dialog) : QDialog::Rejected;
    }
    QAction* TrackPopupMenu(QMenu& menu, const QPoint&) override {
        ++menus;
        lastMenu.clear();
        const auto actions = menu.actions();
        for (QAction* a : actions) {
            lastMenu.push_back({a->text(), a->isEnabled(), a->isSeparator()});
        }
        if (menuChoice < 0 || menuChoice >= actions.size()) {
            return nullptr;
        }
        QAction* chosen = actions[menuChoice];
        // A real menu does not let a disabled item or a separator be chosen.
        return chosen->isEnabled() && !chosen->isSeparator() ? chosen : nullptr;
    }
    void Beep(uint32_t frequency, uint32_t duration) override {
        beeps.emplace_back(frequency, duration);
    }
};

// One page that implements every feeding interface and logs the calls.
class RecordingPanel : public QWidget,
                       public ILiveChartPanel,
                       public IRecordsPanel,
                       public IRpmTempPanel,
                       public IPumpPanel,
                       public ISimulatorPanel {
public:
    explicit RecordingPanel(QWidget* parent)
        : QWidget(parent) {}

    std::vector<std::string> log;
    std::vector<CLiveSample> samples;
    std::string stateLine, faultLine;
    uint32_t stateColor = 1, faultColor = 1;
    float current = -1;

    void AddLiveSample(const CLiveSample& s) override {
        samples.push_back(s);
        log.push_back("sample");
    }
    void SetStateLine(const std::string& text, uint32_t color, float amperes) override {
        stateLine = text;
        stateColor = color;
        current = amperes;
        log.push_back("state");
    }
    void SetFaultLine(const std::string& text, uint32_t color) override {
        faultLine = text;
        faultColor = color;
        log.push_back("fault");
    }
    void SetAlternator(bool shown, float volts) override {
        log.push_back(Fmt("alternator %d %.1f", shown, volts));
    }
    void SetEgtBarScale(int32_t v) override { log.push_back(Fmt("egt scale %d", v)); }
    void SetRpmBarScale(int32_t v) override { log.push_back(Fmt("rpm scale %d", v)); }
    void SetPumpVoltageScale(int32_t v) override { log.push_back(Fmt("pump scale %d", v)); }
    void Reset() override {
        log.push_back("reset");
        if (onReset) {
            onReset();
        }
    }
    std::function<void()> onReset;
    void RecordsChanged() override { log.push_back("records"); }
    void SetLoading(bool on) override { log.push_back(on ? "loading on" : "loading off"); }
    void Recaption() override { log.push_back("recaption"); }
    void SetRange(int32_t lo, int32_t hi) override { log.push_back(Fmt("range %d %d", lo, hi)); }
    void AddSample(int32_t rpm, int32_t egt, uint16_t pump, float thrust) override {
        log.push_back(Fmt("rpmtemp %d %d %d %.2f", rpm, egt, pump, thrust));
    }
    void AddSample(int32_t state, int32_t rpm, uint16_t pump) override {
        log.push_back(Fmt("pump %d %d %d", state, rpm, pump));
    }
    void Refresh() override { log.push_back("refresh"); }
    void RefreshGroundSupport() override { log.push_back("ground support"); }

    bool Has(const std::string& entry) const {
        for (const auto& e : log) {
            if (e == entry) {
                return true;
            }
        }
        return false;
    }

private:
    static std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

inline std::string RecordingPanel::Fmt(const char* format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Records what the window asks of a dialog into a shared log.
class RecordingDialog : public ISettingsDialog, public ITestDialog, public IFirmwareDialog {
public:
    RecordingDialog(std::vector<std::string>* log, std::string name)
        : m_log(log)
        , m_name(std::move(name)) {}
    void Open() override { Add("open"); }
    void ShowValues() override { Add("show values"); }
    void Close() override { Add("close"); }
    void Show() override { Add("show"); }
    void Refresh() override { Add("refresh"); }
    void Reset() override { Add("reset"); }
    void Recaption() override { Add("recaption"); }
    void ShowProgress(int32_t percent) override { Add("progress " + std::to_string(percent)); }
    void Finished(bool success) override { Add(success ? "finished ok" : "finished failed"); }

private:
    void Add(const std::string& what) { m_log->push_back(m_name + " " + what); }
    std::vector<std::string>* m_log;
    std::string m_name;
};
