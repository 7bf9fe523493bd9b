#pragma once

#include "charts/LiveSample.h"

#include <cstdint>
#include <string>

// The "Real State" page as the main window feeds it: one live sample per
// telemetry notification, the state and fault lines, the alternator readout
// and the chart scales from the parameter block.
//
// Colours are 0x00BBGGRR values. Texts are UTF-8.
// Thread safety: called on the user-interface thread only.
class ILiveChartPanel {
public:
    virtual ~ILiveChartPanel() = default;

    virtual void AddLiveSample(const CLiveSample& sample) = 0;
    // Line 1: the engine state text, its colour and the supply current (A).
    virtual void SetStateLine(const std::string& text, uint32_t color, float current) = 0;
    // Line 2: the displayed error text and its colour.
    virtual void SetFaultLine(const std::string& text, uint32_t color) = 0;
    virtual void SetAlternator(bool shown, float volts) = 0;
    // Scales from the parameter block (302): the maximum EGT (°C), the run
    // maximum RPM, and 1000 x the pump voltage in volts.
    virtual void SetEgtBarScale(int32_t value) = 0;
    virtual void SetRpmBarScale(int32_t value) = 0;
    virtual void SetPumpVoltageScale(int32_t value) = 0;
    // The device went offline (or into boot-loader mode).
    virtual void Reset() = 0;
};
