#pragma once

#include "foundation/CTextTable.h"
#include "ui/CDialogBase.h"
#include "ui/dialogs/ITestDialog.h"

#include <array>
#include <cstdint>

class CDeviceECU;
class QCheckBox;

// "测试引擎" / "Test Engine": one button per actuator, each press sending one
// actuator test to the ECU (register-1 command, short form with argument 0;
// the two extension valves in the long form). While "学习霍尔" (learn Hall)
// is checked the main pump button sends the Hall-sensor learning (20)
// instead of the pump test (11).
//
// The Enter key walks a tester through starter, main valve, ignition valve
// and glow plug: Enter on one of those four buttons presses it, and its
// release moves the focus on to the next of them. Closing the dialog only
// hides it; the main window creates it once and shows it again.
//
// A command that cannot be sent is not reported (the unit shows no test).
// Thread safety: user-interface thread only.
class CDialogTest : public CDialogBase, public ITestDialog {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kMainPump = 1001,
        kStarter = 1002,
        kValveFuel = 1003,
        kValveIgnition = 1004,
        kGlowPlug = 1005,
        kOxygenValve = 1006,
        kIgnitionPump = 1007,
        kValveEx1 = 1008,
        kValveEx2 = 1009,
        kLearnHall = 1010,
    };
    static constexpr int32_t kTitleText = 211;
    static constexpr int32_t kCaptionCount = 9;

    // The nine (button, text number) pairs, applied at creation and by
    // Recaption.
    [[nodiscard]] static const std::array<CTextTable::ControlText, kCaptionCount>& CaptionList();

    // ecu must outlive the dialog.
    CDialogTest(CDeviceECU& ecu, QWidget* parent = nullptr);

    // --- ITestDialog ---------------------------------------------------------
    void Show() override;
    void Refresh() override {}
    void Reset() override {}
    // Title and the nine button captions in the current language.
    void Recaption() override;

    // The action of a button (what a click does): sends its command.
    void OnButton(int32_t id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CDeviceECU& m_ecu;
    QCheckBox* m_learnHall = nullptr;
};
