#pragma once

#include "charts/CPumpSamples.h"
#include "charts/ICanvas.h"

#include <cstdint>

// The plot area of the "RPM for BLDC Pump" chart on a W x H surface.
struct PumpLayout {
    int32_t width = 0;
    int32_t height = 0;
    int32_t plotLeft = 0;   // 150: room for the two label columns
    int32_t plotTop = 0;    // H / 16
    int32_t plotRight = 0;  // W x 15 / 16, down to a multiple of 16
    int32_t plotBottom = 0; // H x 15 / 16

    [[nodiscard]] static PumpLayout For(CanvasSize size);
    [[nodiscard]] int32_t RpmY(int32_t rpm, int32_t rpmMaximum) const;
    [[nodiscard]] int32_t VoltageY(int32_t centivolts, int32_t voltageMaximum) const;
    // How many samples a curve shows: one every 4 pixels from the right edge.
    [[nodiscard]] int32_t VisibleSamples() const { return (plotRight - plotLeft) / 4; }
};

// Draws the "RPM for BLDC Pump" strip chart: the horizontal grid with an RPM
// and a voltage label column, the vertical grid every 16 pixels, the axis
// titles, and the voltage and RPM curves with the newest sample at the right
// edge and 4 pixels a sample, the newest RPM written beside it.
//
// Colours: RPM RGB(118,36,255), voltage RGB(255,161,198). The axis labels
// and the newest RPM are in the surface's current text colour (only the
// titles set one, and restore it).
//
// Thread safety: none; one thread draws a surface at a time.
class CGraphPump {
public:
    static constexpr int32_t kPlotLeft = 150;
    static constexpr int32_t kRowPixels = 20;    // at least, between grid lines
    static constexpr int32_t kColumnPixels = 16; // between vertical grid lines
    static constexpr int32_t kSamplePixels = 4;
    static constexpr int32_t kCurvePenWidth = 2;
    static constexpr CanvasColor kRpmColor = Rgb(118, 36, 255);
    static constexpr CanvasColor kVoltageColor = Rgb(255, 161, 198);

    // The whole chart onto canvas (which is W x H).
    static void Draw(ICanvas& canvas, const CPumpSamples& samples);
};
