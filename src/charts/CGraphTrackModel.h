#pragma once

#include "charts/ICanvas.h"
#include "records/CDeviceECUTItem.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CDeviceECUTracker;

// The history chart's arithmetic, without any drawing: the layout of the plot
// in the host control, the eighteen series with their colours and scales, the
// ten scales (fixed or autoscaled over the visible records), the axis labels,
// where a value lands, the view (scroll index, zoom step, series mask), the
// mouse (cursor, drag, the delta-readout corner) and the texts of the cursor
// box. CGraphTrack draws what this class computes.
//
// Coordinates are pixels of the host control unless a function says
// otherwise; mouse points are in the coordinates of the host's parent (the
// records page) and are made host-relative with the host rectangle.
// Arithmetic is integer and truncates toward zero, as the chart always drew;
// products are taken in 64 bits so that no value of a loaded file overflows.
//
// Thread safety: none; the chart's user-interface thread owns it. The static
// functions are pure (those taking records expect the caller to hold the
// tracker's lock).
class CGraphTrackModel {
public:
    static constexpr int32_t kSeriesCount = 18;
    // Series 0..11 have axis labels and a legend entry; 12..17 only a curve.
    static constexpr int32_t kLabelledSeries = 12;
    // Bit n shows series n; bit 31 autoscales.
    static constexpr uint32_t kAutoscaleBit = 0x80000000u;
    static constexpr uint32_t kAllSeries = (1u << kSeriesCount) - 1u;
    static constexpr uint32_t kInitialMask = 0x7FFFFFFFu;
    // Horizontal pixels per record.
    static constexpr int32_t kMinZoom = 1;
    static constexpr int32_t kMaxZoom = 8;
    static constexpr int32_t kInitialZoom = 4;
    // Pixels between grid lines, from the value bottom up.
    static constexpr int32_t kGridStep = 32;
    // The cursor box, and the corner of the plot that switches the delta
    // readout on.
    static constexpr int32_t kBoxWidth = 370;
    static constexpr int32_t kBoxHeight = 200;
    static constexpr uint8_t kBoxAlpha = 200;
    static constexpr int32_t kDeltaCorner = 30;
    // Full scale of the maximum-EGT series while the parameter block has not
    // been read (the parameter's range is 400..1100 degrees Celsius).
    static constexpr int32_t kUnknownMaxEgt = 1100;

    enum Scale : int32_t {
        kScaleRpm,
        kScalePumpVol,
        kScalePumpRpm,
        kScaleStarterVol,
        kScaleRadioVol,
        kScaleEngineVol,
        kScalePressure,
        kScaleCurrent,
        kScaleFuelPress,
        kScaleThrust,
        kScaleCount
    };

    // How a series' value becomes a height: one of the ten scales, the
    // maximum EGT parameter, a fixed full scale, or value + 60 over 250
    // (-60..190 degrees Celsius).
    enum class ScaleKind : uint8_t { kScale, kMaxEgt, kFixed, kOffset60 };

    struct Series {
        int32_t CDeviceECUTItem::*field;
        ScaleKind kind;
        int32_t scale; // kScale: a Scale; kFixed: the full scale
        int32_t penWidth;
        CanvasColor color;
        int32_t advance;    // x advance after its label and legend text
        int32_t legendText; // text number; 0 for none
    };
    [[nodiscard]] static const Series& SeriesAt(int32_t n);
    // The order the curves are drawn in (later ones on top).
    [[nodiscard]] static const std::array<int32_t, kSeriesCount>& DrawOrder();

    struct Scales {
        std::array<int32_t, kScaleCount> value{};
        int32_t maxEgt = kUnknownMaxEgt;
    };

    struct Layout {
        CanvasRect plot; // the curves' area
        int32_t curveLeft = 0;
        int32_t valueTop = 0; // plot top + 20: the legend row is above it
        int32_t curveRight = 0;
        int32_t valueBottom = 0;
        // Height of full scale, R.
        [[nodiscard]] int32_t Range() const { return valueBottom - valueTop; }
    };

    // The plot in a width x height host for zoom step: right = W - 10,
    // bottom = H - 20, top = (H - 40) mod 20 + 20, left = (W - 20) mod step +
    // 9, so that the value range is a multiple of 20 and the curve width one
    // more than a multiple of the step.
    [[nodiscard]] static Layout MakeLayout(int32_t width, int32_t height, int32_t zoomStep);
    // Records a curve visits: one at curve right and every step to the left
    // while x > curve left.
    [[nodiscard]] static int32_t CurvePoints(const Layout& layout, int32_t zoomStep);
    // count minus the records that fit, (curve right - curve left) / step;
    // 0 when they all fit.
    [[nodiscard]] static int32_t
    MaximumScroll(const Layout& layout, int32_t zoomStep, int32_t count);

    // The scales with autoscale off: the tracker's column maxima for RPM,
    // starter voltage, pump voltage, pump RPM, current and thrust, 3300 for
    // both voltages, 120000 for the pressure and 1000 for the fuel pressure.
    // maxEgt <= 0 (not read yet) is taken as kUnknownMaxEgt.
    [[nodiscard]] static Scales FixedScales(const CDeviceECUTracker& tracker, int32_t maxEgt);
    // The scales with autoscale on: RPM from 1000 and the others from 10,
    // raised to the largest value among points records from first toward the
    // older end, then given their headroom (RPM x 12 / 10, starter voltage
    // x 118 / 100, pump voltage 116, pump RPM 114, RC voltage 112, battery
    // 110, pressure 108, current 106, fuel pressure 104, thrust 102).
    [[nodiscard]] static Scales
    AutoScales(const CDeviceECUTItem* first, int32_t points, int32_t maxEgt);
    // The full scale of a series (never below 1).
    [[nodiscard]] static int32_t FullScale(const Series& series, const Scales& scales);

    // The y of a value: value bottom - R x value / full scale (value + 60 over
    // 250 for the temperature series), raised to the value top when above it.
    // There is no clamp at the bottom; a value far below the surface (a
    // corrupt file) is drawn three surface heights down, so that a line to it
    // stays short.
    [[nodiscard]] static int32_t
    CurveY(const Series& series, int32_t value, const Scales& scales, const Layout& layout);

    // The axis label of series 0..11 at height off above the value bottom,
    // for a value range of range pixels ("" for a series without labels).
    [[nodiscard]] static std::string
    LabelText(int32_t series, int32_t off, int32_t range, const Scales& scales);

    // --- the cursor box ------------------------------------------------------
    struct BoxText {
        int32_t x = 0;
        int32_t y = 0;
        std::string text;
        CanvasColor color = 0;
        bool bold = false;
    };
    // Background of the box: RGB(225,220,180) for a record with a status
    // word, RGB(225,240,196) otherwise.
    [[nodiscard]] static CanvasColor BoxFill(const CDeviceECUTItem& record);
    // The box's texts, in drawing order, at their box coordinates: the title,
    // twenty readouts, five status flags, and when older is given (the record
    // one second before) the RPM and EGT change.
    [[nodiscard]] static std::vector<BoxText> BoxTexts(const CDeviceECUTItem& record,
                                                       uint8_t recordsPerSecond,
                                                       const CDeviceECUTItem* older,
                                                       int32_t language);
    // "hh:mm:ss.cc" of a counter at recordsPerSecond (0 taken as 1).
    [[nodiscard]] static std::string TimeText(uint32_t counter, uint8_t recordsPerSecond);
    // State codes 0..15 through the run-log state table; others "State <n>".
    [[nodiscard]] static std::string StateName(int32_t code, int32_t language);
    // Error codes 0..19 are texts 24..43; others "Error: <n>".
    [[nodiscard]] static std::string ErrorName(int32_t code, int32_t language);

    // --- the view ------------------------------------------------------------
    CGraphTrackModel() = default;

    // The host's rectangle in its parent's coordinates and its size; runs the
    // layout for the current zoom step.
    void SetHost(const CanvasRect& hostRect, int32_t width, int32_t height);
    [[nodiscard]] const Layout& GetLayout() const { return m_layout; }
    [[nodiscard]] const CanvasRect& HostRect() const { return m_hostRect; }

    [[nodiscard]] uint32_t SeriesMask() const { return m_mask; }
    void SetSeriesMask(uint32_t mask) { m_mask = mask; }
    [[nodiscard]] bool Shown(int32_t series) const { return (m_mask >> series & 1u) != 0; }
    [[nodiscard]] bool Autoscale() const { return (m_mask & kAutoscaleBit) != 0; }

    // Index (0 = newest) of the record at curve right.
    [[nodiscard]] int32_t ScrollIndex() const { return m_scroll; }
    [[nodiscard]] int32_t MaximumScroll(int32_t count) const;
    // value clamped to 0..maximum; true when the index changed.
    bool SetScroll(int32_t value, int32_t count);
    // Lowers the index to the maximum when above it.
    void ClampScroll(int32_t count);

    [[nodiscard]] int32_t ZoomStep() const { return m_zoom; }
    // A positive delta raises the step by one below 8, a negative one lowers
    // it above 1; true when it changed. The plot's left edge stays where the
    // last layout put it.
    bool Zoom(int32_t delta);

    // Mouse, in the host parent's coordinates. A press inside the plot starts
    // a drag; a release ends it and, in the plot's top-right 30 x 30 corner,
    // switches the delta readout on for good.
    void ButtonDown(int32_t x, int32_t y);
    void ButtonUp(int32_t x, int32_t y);
    struct Move {
        bool inside = false;  // the point is in the plot
        bool present = false; // the chart must be drawn again
    };
    // Inside: a drag moves the scroll index by whole zoom steps (to the right
    // brings older records), then the cursor follows the point. Outside: the
    // cursor is hidden and the drag ends.
    Move MouseMove(int32_t x, int32_t y, int32_t count);

    [[nodiscard]] bool CursorShown() const { return m_cursorShown; }
    [[nodiscard]] int32_t CursorX() const { return m_cursorX; }
    [[nodiscard]] int32_t CursorY() const { return m_cursorY; }
    [[nodiscard]] bool Dragging() const { return m_dragging; }
    [[nodiscard]] bool DeltaReadout() const { return m_delta; }
    // Index of the record under the cursor (it may not exist).
    [[nodiscard]] int32_t CursorRecordIndex() const;
    // Left of the box on the surface: at the plot's left when the cursor is
    // in its right half, at its right otherwise.
    [[nodiscard]] int32_t CursorBoxLeft() const;

private:
    [[nodiscard]] bool Inside(int32_t x, int32_t y) const;

    CanvasRect m_hostRect;
    Layout m_layout;
    uint32_t m_mask = kInitialMask;
    int32_t m_scroll = 0;
    int32_t m_zoom = kInitialZoom;
    int32_t m_cursorX = -1;
    int32_t m_cursorY = -1;
    int32_t m_anchorX = 0;
    int32_t m_anchorY = 0;
    bool m_dragging = false;
    bool m_cursorShown = false;
    bool m_delta = false;
};
