#pragma once

#include "ui/CDialogBase.h"
#include "ui/dialogs/ITestDialog.h"

#include <array>
#include <cstdint>

class CDeviceECU;
class QCheckBox;

// "测试 TCU": a batch that runs, on a 50 ms timer, the starter, the ignition
// valve, the main fuel valve and the glow plug in turn, each until the ECU
// has shown the test and is idle again, with one indicator per step that
// only the program sets. Chinese only: the template's captions in both
// languages.
//
// Batch states: -2 waiting for an ECU whose TCU is fitted and answers,
// -1 settling (5 ticks), 0 waiting for an idle ECU, then for each step an
// even state that starts it once the ECU is idle and an odd state that
// resends its command until the ECU is no longer idle; 8 finished. Losing
// the ECU or its TCU returns the batch to -2 with every indicator clear; the
// running flag survives, so the batch starts over with the starter.
//
// Thread safety: user-interface thread only.
class CDialogTestTCU : public CDialogBase, public ITestDialog {
    Q_OBJECT
public:
    enum ControlId : int32_t {
        kStartStop = 1200,
        kStarter = 1201,
        kIgnitionValve = 1202,
        kMainValve = 1203,
        kGlowPlug = 1204,
    };
    enum Timer : uint32_t { kSequenceTimer = 1 };
    static constexpr uint32_t kTickMs = 50;

    // ecu must outlive the dialog. State -2, not running, timer started.
    CDialogTestTCU(CDeviceECU& ecu, QWidget* parent = nullptr);

    // --- ITestDialog ---------------------------------------------------------
    void Show() override;
    void Refresh() override {}
    // The ECU went away: back to state -2 with the indicators clear.
    void Reset() override;
    void Recaption() override {}

    void OnStartStop();
    // One tick of the batch; public so that tests step it themselves.
    void OnTimer(uint32_t id) override;

    [[nodiscard]] int32_t State() const { return m_state; }
    [[nodiscard]] bool IsRunning() const { return m_running != 0; }
    // The four indicators, starter first: set while their step runs.
    [[nodiscard]] std::array<bool, 4> Indicators() const;

private:
    void Step();
    void BackToStart();
    void SetIndicator(int32_t id, bool on);
    // The step of an even state: once the ECU is idle, the previous
    // indicator off, this one on, and the command sent.
    void StartStep(int32_t previousIndicator, int32_t indicator, uint8_t code);
    void StartStarter();

    CDeviceECU& m_ecu;
    int32_t m_state = -2;
    int32_t m_counter = 0;
    int32_t m_running = 0;
};
