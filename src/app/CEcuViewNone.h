#pragma once

#include "ui/model/IEcuView.h"

// The ECU view of a tool without an ECU protocol object: never ready, empty
// live state and texts, every command refused. The main window then shows the
// link and device state and nothing else.
class CEcuViewNone : public IEcuView {
public:
    void attach(CDeviceBase&) override {}
    [[nodiscard]] int isReady() const override { return 0; }
    [[nodiscard]] EcuLiveView liveState() const override { return {}; }
    [[nodiscard]] std::string getText(int32_t) const override { return {}; }
    [[nodiscard]] int isLearning() const override { return 0; }
    int sendCommand(int32_t, int32_t) override { return 0; }
    void requestReread() override {}
    int prepareTemperatureCalibration() override { return 0; }
    int calibrateTemperature(int32_t) override { return 0; }
};
