#include "charts/CGraphDraw.h"

#include "foundation/CTextTable.h"
#include "foundation/StringPrintf.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kUnlit = Rgb(240, 240, 240);
constexpr CanvasColor kGrid = Rgb(240, 240, 240);

constexpr int32_t kMinBarWidth = 210;
constexpr int32_t kEgtOffset = 40; // the EGT chart shows -40 °C at its bottom

constexpr int32_t kTextState = 0;        // "State"
constexpr int32_t kTextCurrent = 266;    // "Current"
constexpr int32_t kTextAlternator = 286; // "Alternater"

struct SeriesStyle {
    CanvasColor color;
    int32_t title; // text number
};
constexpr SeriesStyle kSeries[CGraphDraw::kSeriesCount] = {
    {Rgb(82, 178, 70), 283},  // "Rpm"
    {Rgb(53, 73, 146), 282},  // "EGT"
    {Rgb(137, 67, 67), 284},  // "Pump"
    {Rgb(233, 126, 54), 285}, // "Thrust"
};

// Thrust truncated to whole kilograms, x 100; a value that is no number or
// beyond any engine is held at the ends instead of overflowing the cast.
int64_t ThrustValue(float kg) {
    if (!std::isfinite(kg)) {
        return 0;
    }
    const double whole = std::trunc(std::clamp(static_cast<double>(kg), -1.0e7, 1.0e7));
    return static_cast<int64_t>(whole) * 100;
}

int32_t RaisedScale(int64_t value) {
    return static_cast<int32_t>(
        std::min<int64_t>(value * 12 / 10, std::numeric_limits<int32_t>::max()));
}

} // namespace

// --- layout ------------------------------------------------------------------

CanvasRect CGraphDraw::Layout::EgtGauge() const {
    return {10, 2 * lineHeight, gaugeWidth + 10, size.height - 20};
}

CanvasRect CGraphDraw::Layout::RpmGauge() const {
    return {gaugeWidth + 20, 2 * lineHeight, 2 * gaugeWidth + 20, size.height - 20};
}

CanvasRect CGraphDraw::Layout::Chart(int32_t series) const {
    const int32_t x0 = chartsLeft;
    const int32_t y0 = chartsTop;
    const int32_t cw = chartWidth;
    const int32_t ch = chartHeight;
    switch (series) {
    case kSeriesRpm:
        return {x0, y0, x0 + cw, y0 + ch};
    case kSeriesEgt:
        return {x0 + cw + 10, y0, x0 + 2 * cw + 10, y0 + ch};
    case kSeriesPumpVoltage:
        return {x0, y0 + ch + 10, x0 + cw, y0 + 2 * ch + 10};
    default:
        return {x0 + cw + 10, y0 + ch + 10, x0 + 2 * cw + 10, y0 + 2 * ch + 10};
    }
}

CGraphDraw::Layout CGraphDraw::ComputeLayout(CanvasSize size, ICanvas& canvas) {
    Layout l;
    const int32_t w = std::max(size.width, 1);
    const int32_t h8 = std::max(size.height, 1) / 8;
    l.size = {w, std::max(size.height, 1)};
    l.barWidth = std::max(w / 6, kMinBarWidth);
    l.gaugeWidth = (l.barWidth - 30) / 2;

    // A host narrower than the gauges leaves no room for text: the smallest
    // font then, rather than a negative size.
    l.fontTenths = std::max((w - l.barWidth - 20) / 2, 1);
    l.font = CanvasFont::FromPointSize(l.fontTenths, canvas.DpiY());
    const CanvasFont previous = canvas.SelectFont(l.font);
    int32_t textHeight = canvas.TextExtent("0").height;
    if (textHeight > 0 && h8 < textHeight) {
        l.fontTenths = std::max(l.fontTenths * h8 / textHeight, 1);
        l.font = CanvasFont::FromPointSize(l.fontTenths, canvas.DpiY());
        canvas.SelectFont(l.font);
        textHeight = canvas.TextExtent("0").height;
    }
    canvas.SelectFont(previous);

    l.lineHeight = static_cast<int32_t>(textHeight * 1.2);
    l.chartsTop = 2 * l.lineHeight;
    l.chartsLeft = l.barWidth;
    l.rightLimit = w - 20;
    l.bottomLimit = l.size.height - 20;
    l.chartWidth = (w - 20 - l.barWidth - 10) / 2;
    l.chartHeight = (l.size.height - 20 - 2 * l.lineHeight - 10) / 2;
    return l;
}

// --- life --------------------------------------------------------------------

CGraphDraw::CGraphDraw(const CTextTable& texts, TickSource ticks)
    : m_texts(texts)
    , m_ticks(ticks ? std::move(ticks) : TickSource(&platform::TickCount))
    , m_ring(std::make_unique<Ring>()) {}

CGraphDraw::CGraphDraw()
    : CGraphDraw(CTextTable::Process()) {}

CGraphDraw::~CGraphDraw() = default;

void CGraphDraw::Attach(ICanvasHost* host) {
    if (host == nullptr) {
        return;
    }
    m_host = host;
    DoLayout();
    m_initialized = true;
    m_dirty = true;
}

void CGraphDraw::DoLayout() {
    const CanvasSize size = m_host->HostSize();
    m_surface = m_host->CreateSurface(std::max(size.width, 1), std::max(size.height, 1));
    m_layout = ComputeLayout(size, *m_surface);
}

// --- ring --------------------------------------------------------------------

void CGraphDraw::AddSample(const CLiveSample& sample) {
    if (!m_initialized || m_hold) {
        return;
    }
    {
        CMLockGuard lock(m_ringLock);
        Ring& r = *m_ring;
        if (r.count == kCapacity) {
            std::memmove(&r.samples[0], &r.samples[1], sizeof(CLiveSample) * (kCapacity - 1));
            r.count = kCapacity - 1;
        }
        r.samples[static_cast<size_t>(r.count)] = sample;
        ++r.count;
        if (sample.pump_voltage > r.scales.pumpVoltage) {
            r.scales.pumpVoltage = RaisedScale(sample.pump_voltage);
        }
        if (sample.rpm > static_cast<uint32_t>(r.scales.rpm)) {
            r.scales.rpm = RaisedScale(sample.rpm);
        }
    }
    Refresh(true);
}

int32_t CGraphDraw::Count() const {
    CMLockGuard lock(m_ringLock);
    return m_ring->count;
}

CLiveSample CGraphDraw::GetSample(int32_t index) const {
    CMLockGuard lock(m_ringLock);
    if (index < 0 || index >= m_ring->count) {
        return {};
    }
    return m_ring->samples[static_cast<size_t>(index)];
}

bool CGraphDraw::Newest(CLiveSample* sample) const {
    CMLockGuard lock(m_ringLock);
    if (m_ring->count == 0) {
        return false;
    }
    if (sample != nullptr) {
        *sample = m_ring->samples[static_cast<size_t>(m_ring->count - 1)];
    }
    return true;
}

CGraphDraw::Scales CGraphDraw::GetScales() const {
    CMLockGuard lock(m_ringLock);
    return m_ring->scales;
}

int32_t CGraphDraw::ViewStartLocked(int32_t visible) const {
    const int32_t count = m_ring->count;
    if (visible >= count) {
        return 0;
    }
    const int32_t newest = count - visible;
    return m_hold ? std::clamp(m_frozenStart, 0, newest) : newest;
}

int32_t CGraphDraw::ViewStart() const {
    CMLockGuard lock(m_ringLock);
    return ViewStartLocked(std::max(m_layout.Visible(), 0));
}

// --- setters -----------------------------------------------------------------

void CGraphDraw::SetStateLine(const std::string& text, CanvasColor color, float current) {
    if (!m_initialized) {
        return;
    }
    if (text != m_status.line1Text || color != m_status.line1Color || current != m_status.current) {
        m_status.line1Text = text;
        m_status.line1Color = color;
        m_status.current = current;
        m_dirty = true;
    }
}

void CGraphDraw::SetFaultLine(const std::string& text, CanvasColor color) {
    if (!m_initialized) {
        return;
    }
    if (text != m_status.line2Text || color != m_status.line2Color) {
        m_status.line2Text = text;
        m_status.line2Color = color;
        m_dirty = true;
    }
}

void CGraphDraw::SetAlternator(bool shown, float volts) {
    if (!m_initialized) {
        return;
    }
    if (shown != m_status.alternatorShown || volts != m_status.alternatorVolts) {
        m_status.alternatorShown = shown;
        m_status.alternatorVolts = volts;
        m_dirty = true;
    }
}

void CGraphDraw::SetEgtBarScale(int32_t value) {
    SetScale(value, 200, 1000, &m_egtBarScale, &Scales::egt);
}

void CGraphDraw::SetRpmBarScale(int32_t value) {
    SetScale(value, 20000, 250000, &m_rpmBarScale, &Scales::rpm);
}

void CGraphDraw::SetPumpVoltageScale(int32_t value) {
    SetScale(value, 100, 16300, nullptr, &Scales::pumpVoltage);
}

// Reading: "if changed" compares with both the bar's and the chart's scale,
// so that the chart follows the parameter block even when the bar already
// had its value (the charts start at other scales than the bars).
void CGraphDraw::SetScale(
    int32_t value, int32_t low, int32_t high, int32_t* bar, int32_t Scales::*chart) {
    if (!m_initialized) {
        return;
    }
    value = std::clamp(value, low, high);
    bool changed = bar != nullptr && value != *bar;
    {
        CMLockGuard lock(m_ringLock);
        changed = changed || value != m_ring->scales.*chart;
        m_ring->scales.*chart = value;
    }
    if (bar != nullptr) {
        *bar = value;
    }
    if (changed) {
        Refresh(true);
    }
}

void CGraphDraw::SetHold(bool on) {
    if (!m_initialized) {
        return;
    }
    if (on && !m_hold) {
        CMLockGuard lock(m_ringLock);
        m_frozenStart = ViewStartLocked(std::max(m_layout.Visible(), 0));
    }
    m_hold = on;
}

// --- refresh -----------------------------------------------------------------

bool CGraphDraw::DrawAllowed() const {
    return !m_drawn || m_ticks() - m_lastDraw > kDrawIntervalMs;
}

uint32_t CGraphDraw::MsUntilDrawAllowed() const {
    if (!m_drawn) {
        return 0;
    }
    const uint32_t since = m_ticks() - m_lastDraw;
    return since > kDrawIntervalMs ? 0 : kDrawIntervalMs + 1 - since;
}

void CGraphDraw::Refresh(bool forced) {
    if (!m_initialized) {
        return;
    }
    if (!m_host->HostVisible()) {
        // Nothing is shown; whatever changed is drawn once it is.
        m_dirty = m_dirty || forced;
        return;
    }
    if (m_dirty || forced) {
        if (DrawAllowed()) {
            DrawAll();
            m_dirty = false;
        } else {
            m_dirty = true; // drawn by the first refresh after the interval
        }
    }
    m_host->BlockCopy(*m_surface);
}

void CGraphDraw::Relayout() {
    if (!m_initialized) {
        return;
    }
    DoLayout();
    DrawAll();
    m_dirty = false;
}

void CGraphDraw::Invalidate() {
    if (m_initialized) {
        m_dirty = true;
    }
}

// --- drawing -----------------------------------------------------------------

void CGraphDraw::DrawAll() {
    ICanvas& c = *m_surface;
    const Layout& l = m_layout;
    const CanvasPen previousPen = c.SelectPen({CanvasPen::kSolid, 1, kBlack});
    c.Rectangle(0, 0, l.size.width, l.size.height);

    CLiveSample newest;
    const bool any = Newest(&newest);
    DrawGauge(l.EgtGauge(), any ? newest.egt : kEmptyGaugeValue, m_egtBarScale, true);
    DrawGauge(l.RpmGauge(),
              any ? static_cast<int64_t>(newest.rpm) : kEmptyGaugeValue,
              m_rpmBarScale,
              false);

    for (int32_t n = 0; n < kSeriesCount; ++n) {
        const CanvasRect rect = l.Chart(n);
        DrawFrame(rect);
        CMLockGuard lock(m_ringLock);
        DrawSeries(n, rect);
    }
    DrawStatusLines();
    c.SelectPen(previousPen);

    m_lastDraw = m_ticks();
    m_drawn = true;
    ++m_draws;
}

void CGraphDraw::DrawGauge(const CanvasRect& r, int64_t value, int32_t fullScale, bool celsius) {
    ICanvas& c = *m_surface;
    const double segment = (r.bottom - r.top) / static_cast<double>(kSegments);
    const int32_t labelStep = fullScale / 20;
    const CanvasFont previousFont =
        c.SelectFont(CanvasFont::FromPointSize((r.right - r.left) * 9 / 10, c.DpiY()));
    const bool previousTransparent = c.SetTransparentText(true);
    for (int32_t k = 0; k < kSegments; ++k) {
        const auto bottom = static_cast<int32_t>(r.bottom - segment * k);
        const auto top = static_cast<int32_t>(r.bottom - segment * (k + 1));
        const int64_t threshold = static_cast<int64_t>(k) * labelStep;
        const bool lit = value >= threshold && value > -1000;
        // White at the bottom, RGB(255,128,128) at the top.
        const auto x = static_cast<uint8_t>(255 - ((255 * k / 40) % 256));
        c.FillRect(r.left, top, r.right, bottom, lit ? Rgb(255, x, x) : kUnlit);
        c.MoveTo(r.left, top);
        c.LineTo(r.right, top);
        c.LineTo(r.right, bottom);
        c.LineTo(r.left, bottom);
        c.LineTo(r.left, top);
        const std::string label = celsius ? StringPrintf("%lld℃", static_cast<long long>(threshold))
                                          : StringPrintf("%lld", static_cast<long long>(threshold));
        const CanvasSize extent = c.TextExtent(label);
        c.TextOut(r.right - extent.width - 20, top + (bottom - extent.height - top) / 2, label);
    }
    c.SelectFont(previousFont);
    c.SetTransparentText(previousTransparent);
}

void CGraphDraw::DrawFrame(const CanvasRect& r) {
    ICanvas& c = *m_surface;
    c.SelectPen({CanvasPen::kSolid, 1, kBlack});
    c.Rectangle(r.left - 1, r.top - 1, r.right + 1, r.bottom + 1);
    const CanvasPen previous = c.SelectPen({CanvasPen::kSolid, 1, kGrid});
    for (int32_t off = 20; off < r.bottom - r.top; off += 15) {
        c.MoveTo(r.left + 1, r.bottom - off);
        c.LineTo(r.right - 1, r.bottom - off);
    }
    c.SelectPen(previous);
}

void CGraphDraw::DrawSeries(int32_t series, const CanvasRect& r) {
    ICanvas& c = *m_surface;
    const Ring& ring = *m_ring;
    const SeriesStyle& style = kSeries[series];
    const int32_t height = r.bottom - r.top;
    if (ring.count > 0) {
        const int32_t visible = m_layout.Visible();
        const int32_t start = ViewStartLocked(visible);
        int64_t max = 1;
        switch (series) {
        case kSeriesRpm:
            max = ring.scales.rpm;
            break;
        case kSeriesEgt:
            max = static_cast<int64_t>(ring.scales.egt) + kEgtOffset;
            break;
        case kSeriesPumpVoltage:
            max = ring.scales.pumpVoltage;
            break;
        default:
            max = ring.scales.thrust;
            break;
        }
        max = std::max<int64_t>(max, 1);
        const CanvasPen previous = c.SelectPen({CanvasPen::kSolid, 2, style.color});
        for (int32_t i = 0; i < visible && start + i < ring.count; ++i) {
            const CLiveSample& s = ring.samples[static_cast<size_t>(start + i)];
            int64_t value = 0;
            switch (series) {
            case kSeriesRpm:
                value = s.rpm;
                break;
            case kSeriesEgt:
                value = static_cast<int64_t>(s.egt) + kEgtOffset;
                break;
            case kSeriesPumpVoltage:
                value = s.pump_voltage;
                break;
            default:
                value = ThrustValue(s.thrust);
                break;
            }
            // Above the scale at the top, below zero at the bottom.
            const auto y = static_cast<int32_t>(
                std::clamp<int64_t>(r.bottom - value * height / max, r.top, r.bottom));
            if (i == 0) {
                c.MoveTo(r.left, y);
            } else {
                c.LineTo(r.left + i * kStep, y);
            }
        }
        c.SelectPen(previous);
    }

    const CanvasFont previousFont =
        c.SelectFont(CanvasFont::FromPointSize(r.right - r.left, c.DpiY()));
    const std::string value =
        ring.count > 0 ? ValueText(series, ring.samples[static_cast<size_t>(ring.count - 1)]) : "0";
    c.SetTextColor(style.color);
    c.TextOut(
        r.left + 5, r.top + 10, StringPrintf("%s:%s", m_texts.GetText(style.title), value.c_str()));
    c.SetTextColor(kBlack);
    c.SelectFont(previousFont);
}

std::string CGraphDraw::ValueText(int32_t series, const CLiveSample& s) const {
    switch (series) {
    case kSeriesRpm:
        return StringPrintf("%u", s.rpm);
    case kSeriesEgt:
        return StringPrintf("%d℃", s.egt);
    case kSeriesPumpVoltage:
        return StringPrintf("%d.%02dV", s.pump_voltage / 100, s.pump_voltage % 100);
    default:
        return StringPrintf("%.2fKg", static_cast<double>(s.thrust));
    }
}

void CGraphDraw::DrawStatusLines() {
    ICanvas& c = *m_surface;
    const Layout& l = m_layout;
    const CanvasFont previousFont = c.SelectFont(l.font);
    c.SetTextColor(m_status.line1Color);
    c.TextOut(
        5, 5, StringPrintf("%s: %s", m_texts.GetText(kTextState), m_status.line1Text.c_str()));
    c.SetTextColor(m_status.line2Color);
    c.TextOut(5, l.lineHeight, m_status.line2Text);
    c.SetTextColor(kBlack);

    // Right-aligned by the width of the widest usual reading ("9.6"); the
    // blank after the colon keeps readings below 10 as wide as those above.
    const char* current = m_texts.GetText(kTextCurrent);
    CanvasSize probe = c.TextExtent(StringPrintf("%s:%0.1fA", current, 9.6));
    const double amperes = m_status.current;
    c.TextOut(l.size.width - probe.height / 2 - probe.width,
              5,
              amperes < 10 ? StringPrintf("%s: %0.1fA", current, amperes)
                           : StringPrintf("%s:%0.1fA", current, amperes));
    if (m_status.alternatorShown) {
        const char* alternator = m_texts.GetText(kTextAlternator);
        probe = c.TextExtent(StringPrintf("%s:%0.1fV", alternator, 9.6));
        const double volts = m_status.alternatorVolts;
        c.TextOut(l.size.width - probe.height / 2 - probe.width,
                  l.lineHeight,
                  volts < 10 ? StringPrintf("%s: %0.1fV", alternator, volts)
                             : StringPrintf("%s:%0.1fV", alternator, volts));
    }
    c.SelectFont(previousFont);
}
