#pragma once

#include "charts/CRpmTempBins.h"
#include "charts/ICanvas.h"

#include <cstdint>

// The plot area of the "RPM vs EGT&Thrust&Pump" chart on a W x H surface.
struct RpmTempLayout {
    int32_t width = 0;
    int32_t height = 0;
    int32_t plotLeft = 0;   // 176: room for the three label columns
    int32_t plotTop = 0;    // W / 12: room for the readouts and RPM labels
    int32_t plotRight = 0;  // W x 15 / 16
    int32_t plotBottom = 0; // H x 15 / 16

    [[nodiscard]] static RpmTempLayout For(CanvasSize size);
    // x of bin j of count bins (count >= 2): the first at the plot's left
    // edge, the last at its right edge.
    [[nodiscard]] int32_t BinX(int32_t j, int32_t count) const;
    // y of each curve's value; values outside the axis are handled as the
    // chart draws them (see the .cpp).
    [[nodiscard]] int32_t EgtY(int32_t egt) const;
    [[nodiscard]] int32_t ThrustY(float thrust, float fullScale) const;
    [[nodiscard]] int32_t PumpY(int32_t pumpMillivolts) const;
};

// Draws the "RPM vs EGT&Thrust&Pump" chart: the live readouts, the RPM grid
// of the bins, the value grid with its EGT, pump-voltage and thrust labels,
// the titles and the three curves (a CCanvasPresenter shows the surface).
//
// Colours: EGT red RGB(255,0,0), pump voltage green RGB(0,255,0), thrust blue
// RGB(0,0,255); the EGT axis runs from 300 to 1200 °C, the pump axis from 0 to
// 12 V, the thrust axis from 0 to the full scale.
//
// Thread safety: none; one thread draws a surface at a time.
class CGraphRpmTemp {
public:
    static constexpr int32_t kPlotLeft = 176;
    static constexpr int32_t kValueRows = 18;                  // grid lines 0..17 of 18 steps
    static constexpr int32_t kEgtAxisLow = 300;                // °C at the plot bottom
    static constexpr int32_t kEgtAxisSpan = 900;               // °C from bottom to top
    static constexpr int32_t kPumpAxisMv = 12000;              // mV at the plot top
    static constexpr int32_t kCurvePenWidth = 3;               // pixels
    static constexpr int32_t kTitleTexts[3] = {221, 222, 223}; // EGT, Pump, Thrust

    // The whole chart onto canvas (which is W x H), in the process language.
    static void Draw(ICanvas& canvas, const CRpmTempBins& bins);
};
