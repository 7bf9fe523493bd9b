#include "charts/CGraphTrackModel.h"

#include "foundation/CTextTable.h"
#include "foundation/StringPrintf.h"
#include "records/CDeviceECUTracker.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

using Model = CGraphTrackModel;
using Kind = CGraphTrackModel::ScaleKind;
using Item = CDeviceECUTItem;

constexpr std::array<Model::Series, Model::kSeriesCount> kSeries{{
    {&Item::engine_rpm, Kind::kScale, Model::kScaleRpm, 3, Rgb(0, 200, 0), 60, 254},
    {&Item::temperature, Kind::kMaxEgt, 0, 3, Rgb(250, 0, 0), 50, 255},
    {&Item::ecu_temp, Kind::kOffset60, 0, 2, Rgb(0, 200, 200), 70, 256},
    {&Item::tcu_temp, Kind::kOffset60, 0, 2, Rgb(0, 255, 128), 70, 257},
    {&Item::pump_vol, Kind::kScale, Model::kScalePumpVol, 3, Rgb(0, 0, 255), 50, 259},
    {&Item::radio_vol, Kind::kScale, Model::kScaleRadioVol, 2, Rgb(128, 128, 0), 60, 260},
    {&Item::engine_vol, Kind::kScale, Model::kScaleEngineVol, 2, Rgb(255, 60, 255), 60, 261},
    {&Item::rc_input1, Kind::kFixed, 2400, 2, Rgb(128, 0, 64), 80, 262},
    {&Item::rc_input2, Kind::kFixed, 2400, 2, Rgb(64, 128, 0), 80, 263},
    {&Item::pressure, Kind::kScale, Model::kScalePressure, 2, Rgb(64, 128, 128), 60, 265},
    {&Item::current, Kind::kScale, Model::kScaleCurrent, 2, Rgb(0, 128, 128), 50, 266},
    {&Item::thrust, Kind::kScale, Model::kScaleThrust, 2, Rgb(128, 255, 64), 0, 267},
    {&Item::pump_rpm, Kind::kScale, Model::kScalePumpRpm, 3, Rgb(128, 0, 255), 0, 0},
    {&Item::fuel_temp, Kind::kOffset60, 0, 1, Rgb(128, 128, 64), 0, 0},
    {&Item::fuel_press, Kind::kScale, Model::kScaleFuelPress, 1, Rgb(128, 128, 0), 0, 0},
    {&Item::combustion_press, Kind::kFixed, 2000, 1, Rgb(64, 255, 128), 0, 0},
    {&Item::starter_vol, Kind::kScale, Model::kScaleStarterVol, 3, Rgb(24, 96, 180), 0, 0},
    {&Item::starter_rpm, Kind::kScale, Model::kScaleRpm, 3, Rgb(64, 180, 180), 0, 0},
}};

constexpr std::array<int32_t, Model::kSeriesCount> kDrawOrder{
    0, 1, 4, 12, 5, 6, 7, 8, 9, 10, 2, 3, 11, 13, 14, 15, 16, 17};

// Autoscale headroom of each scale, as numerator / denominator.
struct Headroom {
    int32_t numerator;
    int32_t denominator;
};
constexpr std::array<Headroom, Model::kScaleCount> kHeadroom{{
    {12, 10},   // RPM
    {116, 100}, // pump voltage
    {114, 100}, // pump RPM
    {118, 100}, // starter voltage
    {112, 100}, // RC voltage
    {110, 100}, // battery voltage
    {108, 100}, // pressure
    {106, 100}, // current
    {104, 100}, // fuel pressure
    {102, 100}, // thrust
}};

// Run-log engine state code -> text number.
constexpr std::array<int32_t, 16> kStateTexts{
    1, 2, 4, 5, 6, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};

constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kAlert = Rgb(200, 30, 30);

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(
        v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t FromMaximum(uint32_t v) {
    return Saturate(static_cast<int64_t>(v));
}

// a x b / c, truncated; 0 when c is 0.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
    return c == 0 ? 0 : a * b / c;
}

std::string Text(int32_t number, int32_t language) {
    return CTextTable::GetText(number, language);
}

bool Bit(int32_t word, int32_t bit) {
    return ((static_cast<uint32_t>(word) >> bit) & 1u) != 0;
}

} // namespace

const CGraphTrackModel::Series& CGraphTrackModel::SeriesAt(int32_t n) {
    return kSeries.at(static_cast<size_t>(n));
}

const std::array<int32_t, CGraphTrackModel::kSeriesCount>& CGraphTrackModel::DrawOrder() {
    return kDrawOrder;
}

CGraphTrackModel::Layout
CGraphTrackModel::MakeLayout(int32_t width, int32_t height, int32_t zoomStep) {
    const int32_t step = std::clamp(zoomStep, kMinZoom, kMaxZoom);
    Layout l;
    l.plot.right = width - 10;
    l.plot.bottom = height - 20;
    l.plot.top = (height - 40) % 20 + 20;
    l.plot.left = (width - 20) % step + 9;
    l.curveLeft = l.plot.left;
    l.valueTop = l.plot.top + 20;
    l.curveRight = l.plot.right;
    l.valueBottom = l.plot.bottom;
    return l;
}

int32_t CGraphTrackModel::CurvePoints(const Layout& layout, int32_t zoomStep) {
    const int32_t span = layout.curveRight - layout.curveLeft;
    return span > 0 && zoomStep > 0 ? (span - 1) / zoomStep + 1 : 0;
}

int32_t CGraphTrackModel::MaximumScroll(const Layout& layout, int32_t zoomStep, int32_t count) {
    const int32_t visible =
        zoomStep > 0 ? std::max(0, (layout.curveRight - layout.curveLeft) / zoomStep) : 0;
    return visible < count ? count - visible : 0;
}

CGraphTrackModel::Scales CGraphTrackModel::FixedScales(const CDeviceECUTracker& tracker,
                                                       int32_t maxEgt) {
    Scales s;
    s.value[kScaleRpm] = FromMaximum(tracker.getRpmMax());
    s.value[kScaleStarterVol] = FromMaximum(tracker.getStarterVolMax());
    s.value[kScalePumpVol] = FromMaximum(tracker.getPumpVolMax());
    s.value[kScalePumpRpm] = FromMaximum(tracker.getPumpRpmMax());
    s.value[kScaleRadioVol] = 3300;
    s.value[kScaleEngineVol] = 3300;
    s.value[kScalePressure] = 120000;
    s.value[kScaleCurrent] = tracker.getCurrentMax();
    s.value[kScaleFuelPress] = 1000;
    s.value[kScaleThrust] = tracker.getThrustMax();
    s.maxEgt = maxEgt > 0 ? maxEgt : kUnknownMaxEgt;
    return s;
}

CGraphTrackModel::Scales
CGraphTrackModel::AutoScales(const CDeviceECUTItem* first, int32_t points, int32_t maxEgt) {
    Scales s;
    s.value.fill(10);
    s.value[kScaleRpm] = 1000;
    s.maxEgt = maxEgt > 0 ? maxEgt : kUnknownMaxEgt;
    const auto raise = [&s](Scale scale, int32_t v) {
        s.value[scale] = std::max(s.value[scale], v);
    };
    const CDeviceECUTItem* r = first;
    for (int32_t i = 0; r != nullptr && i < points; ++i) {
        raise(kScaleRpm, r->engine_rpm);
        raise(kScaleRpm, r->starter_rpm);
        raise(kScaleStarterVol, r->starter_vol);
        raise(kScalePumpVol, r->pump_vol);
        raise(kScalePumpRpm, r->pump_rpm);
        raise(kScaleRadioVol, r->radio_vol);
        raise(kScaleEngineVol, r->engine_vol);
        raise(kScalePressure, r->pressure);
        raise(kScaleCurrent, r->current);
        raise(kScaleFuelPress, r->fuel_press);
        raise(kScaleThrust, r->thrust);
        r = static_cast<const CDeviceECUTItem*>(r->next);
    }
    for (size_t i = 0; i < s.value.size(); ++i) {
        s.value[i] = Saturate(MulDiv(s.value[i], kHeadroom[i].numerator, kHeadroom[i].denominator));
    }
    return s;
}

int32_t CGraphTrackModel::FullScale(const Series& series, const Scales& scales) {
    int32_t full = 0;
    switch (series.kind) {
    case ScaleKind::kScale:
        full = scales.value.at(static_cast<size_t>(series.scale));
        break;
    case ScaleKind::kMaxEgt:
        full = scales.maxEgt;
        break;
    case ScaleKind::kFixed:
        full = series.scale;
        break;
    case ScaleKind::kOffset60:
        full = 250;
        break;
    }
    // A zero scale would divide by zero; the maxima never fall below their
    // reset values, so this guards only against a scale nobody set.
    return std::max(full, 1);
}

int32_t CGraphTrackModel::CurveY(const Series& series,
                                 int32_t value,
                                 const Scales& scales,
                                 const Layout& layout) {
    const int64_t v = series.kind == ScaleKind::kOffset60 ? int64_t{value} + 60 : int64_t{value};
    const int64_t y = layout.valueBottom - MulDiv(layout.Range(), v, FullScale(series, scales));
    if (y < layout.valueTop) {
        return layout.valueTop;
    }
    const int64_t farBelow = 3 * (int64_t{layout.plot.bottom} + 20);
    return static_cast<int32_t>(std::min(y, std::max<int64_t>(farBelow, layout.valueBottom)));
}

std::string
CGraphTrackModel::LabelText(int32_t series, int32_t off, int32_t range, const Scales& scales) {
    if (series < 0 || series >= kLabelledSeries) {
        return {};
    }
    const Series& s = SeriesAt(series);
    const int64_t full = series == 2 || series == 3 ? 250 : FullScale(s, scales);
    const int64_t v = MulDiv(off, full, range);
    const auto part = [](int64_t x) { return static_cast<long long>(x); };
    switch (series) {
    case 2:
    case 3:
        return StringPrintf("%lld", part(v - 60));
    case 4:
        return StringPrintf("%lld.%03lld", part(v / 1000), part(v % 1000));
    case 5:
    case 6:
        return StringPrintf("%lld.%02lld", part(v / 100), part(v % 100));
    case 10:
        return StringPrintf("%lld.%01lld", part(v / 10), part(v % 10));
    case 11:
        return StringPrintf("%lld.%01lld", part(v / 100), part(v % 100 / 10));
    default:
        return StringPrintf("%lld", part(v));
    }
}

// --- the cursor box ----------------------------------------------------------

CanvasColor CGraphTrackModel::BoxFill(const CDeviceECUTItem& record) {
    return record.error_coe != 0 ? Rgb(225, 220, 180) : Rgb(225, 240, 196);
}

std::string CGraphTrackModel::TimeText(uint32_t counter, uint8_t recordsPerSecond) {
    const uint32_t rate = recordsPerSecond == 0 ? 1 : recordsPerSecond;
    const uint32_t t = counter / rate;
    return StringPrintf(
        "%02u:%02u:%02u.%02u", t / 3600, t / 60 % 60, t % 60, counter % rate * 100 / rate);
}

std::string CGraphTrackModel::StateName(int32_t code, int32_t language) {
    if (code >= 0 && code < static_cast<int32_t>(kStateTexts.size())) {
        return Text(kStateTexts[static_cast<size_t>(code)], language);
    }
    // Codes 16..31 have no row in the run-log state table.
    return Text(0, language) + " " + std::to_string(code);
}

std::string CGraphTrackModel::ErrorName(int32_t code, int32_t language) {
    if (code >= 0 && code < 20) {
        return Text(24 + code, language);
    }
    // Codes 20..31 have no text: the "Error: " of text 24 and the number.
    const std::string none = Text(24, language);
    const size_t colon = none.find(':');
    const std::string prefix = colon == std::string::npos ? none + " " : none.substr(0, colon + 2);
    return prefix + std::to_string(code);
}

std::vector<CGraphTrackModel::BoxText> CGraphTrackModel::BoxTexts(const CDeviceECUTItem& r,
                                                                  uint8_t recordsPerSecond,
                                                                  const CDeviceECUTItem* older,
                                                                  int32_t language) {
    std::vector<BoxText> out;
    const auto label = [language](int32_t number) { return Text(number, language); };
    const auto add = [&out](int32_t x, int32_t y, std::string text) {
        out.push_back({x, y, std::move(text), kBlack, false});
    };

    const int32_t error = r.error_coe & 0x1F;
    if (error != 0) {
        out.push_back(
            {120,
             5,
             StateName(r.engine_state, language) + " [ " + ErrorName(error, language) + " ]",
             kAlert,
             true});
    } else {
        out.push_back({120, 5, StateName(r.engine_state, language), kBlack, true});
    }

    add(5, 5, label(270) + ":  " + TimeText(r.counter, recordsPerSecond));
    add(5, 21, StringPrintf("%s: %d", label(254).c_str(), r.engine_rpm));
    add(120, 21, StringPrintf("%s: %d", label(255).c_str(), r.temperature));
    add(5, 37, StringPrintf("%s: %d", label(256).c_str(), r.ecu_temp));
    add(120, 37, StringPrintf("%s: %d", label(257).c_str(), r.tcu_temp));
    add(220, 37, StringPrintf("%s: %d", label(258).c_str(), r.pump_temp));
    add(5, 53, StringPrintf("%s: %d.%01d", label(266).c_str(), r.current / 10, r.current % 10));
    add(120,
        53,
        StringPrintf("%s: %d.%02d", label(264).c_str(), r.engine_vol / 100, r.engine_vol % 100));
    add(220,
        53,
        StringPrintf("%s: %d (%0.2f%%)", label(265).c_str(), r.pressure, r.pressure / 101300.0));
    add(5, 69, StringPrintf("%s: %d", label(262).c_str(), r.rc_input1));
    add(120, 69, StringPrintf("%s: %d", label(263).c_str(), r.rc_input2));
    add(220, 69, StringPrintf("%s: %d.%02dKg", label(267).c_str(), r.thrust / 100, r.thrust % 100));
    if (r.pump_st >= 0 && r.pump_st <= 3) {
        add(5, 85, label(271 + r.pump_st));
    }
    add(120, 85, StringPrintf("%s: %d", label(275).c_str(), r.pump_vol));
    add(220, 85, StringPrintf("%s, %d", label(276).c_str(), r.pump_rpm));
    add(5, 101, StringPrintf("%s: %d", label(245).c_str(), r.fuel_temp));
    add(5, 117, StringPrintf("%s: %0.03fMpa", label(246).c_str(), r.fuel_press / 1000.0));
    add(5, 133, StringPrintf("%s: %0.03fMpa", label(247).c_str(), r.combustion_press / 1000.0));
    add(220, 101, StringPrintf("%s: %0.1f", label(268).c_str(), r.starter_vol / 10.0));
    add(220, 117, StringPrintf("%s: %d", label(269).c_str(), r.starter_rpm));

    struct Flag {
        int32_t x, y, text, bit;
    };
    static constexpr Flag kFlags[] = {{5, 151, 277, 9},
                                      {160, 151, 280, 7},
                                      {5, 167, 278, 5},
                                      {160, 167, 281, 8},
                                      {5, 183, 279, 6}};
    for (const Flag& f : kFlags) {
        const bool on = Bit(r.error_coe, f.bit);
        out.push_back({f.x,
                       f.y,
                       StringPrintf("%s: %d", label(f.text).c_str(), on ? 1 : 0),
                       on ? kAlert : kBlack,
                       false});
    }

    if (older != nullptr) {
        add(260, 165, std::to_string(int64_t{r.engine_rpm} - older->engine_rpm));
        add(260, 181, std::to_string(int64_t{r.temperature} - older->temperature));
    }
    return out;
}

// --- the view ----------------------------------------------------------------

void CGraphTrackModel::SetHost(const CanvasRect& hostRect, int32_t width, int32_t height) {
    m_hostRect = hostRect;
    m_layout = MakeLayout(width, height, m_zoom);
}

int32_t CGraphTrackModel::MaximumScroll(int32_t count) const {
    return MaximumScroll(m_layout, m_zoom, count);
}

bool CGraphTrackModel::SetScroll(int32_t value, int32_t count) {
    const int32_t v = std::clamp(value, 0, MaximumScroll(count));
    if (v == m_scroll) {
        return false;
    }
    m_scroll = v;
    return true;
}

void CGraphTrackModel::ClampScroll(int32_t count) {
    m_scroll = std::min(m_scroll, MaximumScroll(count));
}

bool CGraphTrackModel::Zoom(int32_t delta) {
    if (delta > 0 && m_zoom < kMaxZoom) {
        ++m_zoom;
        return true;
    }
    if (delta < 0 && m_zoom > kMinZoom) {
        --m_zoom;
        return true;
    }
    return false;
}

bool CGraphTrackModel::Inside(int32_t x, int32_t y) const {
    const CanvasRect& p = m_layout.plot;
    return p.left <= x && x < p.right && p.top <= y && y < p.bottom;
}

void CGraphTrackModel::ButtonDown(int32_t x, int32_t y) {
    x -= m_hostRect.left;
    y -= m_hostRect.top;
    if (Inside(x, y)) {
        m_anchorX = x;
        m_anchorY = y;
        m_dragging = true;
    }
}

void CGraphTrackModel::ButtonUp(int32_t x, int32_t y) {
    x -= m_hostRect.left;
    y -= m_hostRect.top;
    if (!m_dragging) {
        return;
    }
    m_dragging = false;
    const CanvasRect& p = m_layout.plot;
    if (p.right - kDeltaCorner < x && x < p.right && p.top < y && y < p.top + kDeltaCorner) {
        m_delta = true;
    }
}

CGraphTrackModel::Move CGraphTrackModel::MouseMove(int32_t x, int32_t y, int32_t count) {
    x -= m_hostRect.left;
    y -= m_hostRect.top;
    Move move;
    if (!Inside(x, y)) {
        if (m_cursorShown) {
            m_cursorX = -1;
            m_cursorY = -1;
            m_cursorShown = false;
            m_dragging = false;
            move.present = true;
        }
        return move;
    }
    if (m_dragging) {
        const int32_t d = m_anchorX - x;
        if (std::abs(d) >= m_zoom) {
            const int32_t records = d / m_zoom;
            m_scroll = std::clamp(m_scroll - records, 0, MaximumScroll(count));
            m_anchorX -= m_zoom * records;
        }
    }
    m_cursorX = x;
    m_cursorY = y;
    m_cursorShown = true;
    move.inside = true;
    move.present = true;
    return move;
}

int32_t CGraphTrackModel::CursorRecordIndex() const {
    return (m_layout.plot.right - m_cursorX) / m_zoom + m_scroll;
}

int32_t CGraphTrackModel::CursorBoxLeft() const {
    return m_cursorX > m_layout.plot.right / 2 ? m_layout.plot.left + 1
                                               : m_layout.plot.right - (kBoxWidth + 1);
}
