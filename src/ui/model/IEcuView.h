#pragma once

#include "ui/model/EcuLiveView.h"

#include <cstdint>
#include <string>

class CDeviceBase;

// The ECU protocol object as the main window uses it: attach it to the
// device, read its live state and parameter texts, send learning commands and
// run the temperature calibration. The tool implements it over the ECU
// protocol object; tests implement it with a fake they feed.
//
// Thread safety: every operation is called on the user-interface thread.
// liveState() returns a copy so that one refresh formats one consistent set of
// values while the poll thread keeps decoding.
class IEcuView {
public:
    virtual ~IEcuView() = default;

    // Binds the object to the device and registers its handler for unit
    // type 2. Called once, before the device is started.
    virtual void attach(CDeviceBase& device) = 0;

    // 1 while an ECU is connected and usable (bound, link up, online, unit
    // type 2, not in boot-loader mode), else 0.
    [[nodiscard]] virtual int isReady() const = 0;

    // The live state as last decoded, with its derived values.
    [[nodiscard]] virtual EcuLiveView liveState() const = 0;

    // A parameter as text, by text id 1..79, formatted as the settings dialog
    // shows it; "" while no parameter block has been read.
    [[nodiscard]] virtual std::string getText(int32_t textId) const = 0;

    // 1 while radio-throttle learning is in progress.
    [[nodiscard]] virtual int isLearning() const = 0;

    // Register-1 command, short form (code, 16-bit argument). 1 on success.
    virtual int sendCommand(int32_t code, int32_t argument) = 0;

    // Marks the parameter block for reading on the next poll cycle.
    virtual void requestReread() = 0;

    // The prepare command that precedes the main window's calibration (only
    // the block generation has one; 1 where none is needed) and the
    // calibration itself with the ambient temperature in °C. 1 on success.
    virtual int prepareTemperatureCalibration() = 0;
    virtual int calibrateTemperature(int32_t ambientCelsius) = 0;
};
