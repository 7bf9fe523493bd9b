#pragma once

#include "ecu/CDeviceECU.h"
#include "ui/model/IEcuView.h"

#include <atomic>

// The main window's view of the ECU protocol object: copies of its live state
// with the derived display values, parameter texts, learning commands and the
// temperature calibration.
//
// Thread safety: called on the user-interface thread; the protocol object
// does its own locking.
class CEcuViewECU : public IEcuView {
public:
    void attach(CDeviceBase& device) override;
    [[nodiscard]] int isReady() const override;
    [[nodiscard]] EcuLiveView liveState() const override;
    [[nodiscard]] std::string getText(int32_t textId) const override;
    [[nodiscard]] int isLearning() const override;
    int sendCommand(int32_t code, int32_t argument) override;
    void requestReread() override;
    // The protocol object sends the prepare command itself, right before the
    // calibration, so there is nothing to do here.
    int prepareTemperatureCalibration() override { return 1; }
    int calibrateTemperature(int32_t ambientCelsius) override;

    [[nodiscard]] CDeviceECU& Ecu() { return m_ecu; }

private:
    CDeviceECU m_ecu;
    // Learning started from this window (command 2) and not yet stopped (3):
    // the item generation reports no learning flag of its own.
    std::atomic<bool> m_learning{false};
};
