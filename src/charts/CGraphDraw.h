#pragma once

#include "charts/ICanvas.h"
#include "charts/LiveSample.h"
#include "foundation/CMMutex.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CTextTable;

// The live monitor of the "Real State" page: two 21-segment bar gauges (EGT
// and RPM) at the left, four strip charts of the last live samples (RPM,
// EGT, pump voltage, thrust) and two status lines (engine state with the
// current at the right, fault text with the alternator voltage at the right).
//
// The chart draws the whole picture into an off-screen surface the size of
// its host and shows it with one block copy. Full draws are limited to one
// per 50 ms of the tick source; a refresh in between only copies.
//
// Samples go into a ring of 5000 slots (the oldest is dropped when it is
// full). The RPM and pump voltage chart scales rise to 12/10 of a sample
// above them and never fall by themselves; the EGT and RPM bar scales (and
// with them the EGT and RPM chart scales) come from the parameter block.
//
// Before Attach every call except construction and the read-only
// inspection does nothing.
//
// Thread safety: Attach, the setters, AddSample, SetHold, Refresh and
// Relayout run on the user-interface thread. The ring and its scales are
// guarded by the ring lock, so Count, GetSample, Newest and GetScales may be
// called from any thread.
class CGraphDraw {
public:
    static constexpr int32_t kCapacity = 5000;         // ring slots
    static constexpr int32_t kStep = 2;                // pixels per sample in a strip chart
    static constexpr uint32_t kDrawIntervalMs = 50;    // a full draw at most this often
    static constexpr int32_t kEmptyGaugeValue = -2000; // gauge value of an empty ring
    static constexpr int32_t kSegments = 21;

    enum Series : int32_t {
        kSeriesRpm = 0,         // top left
        kSeriesEgt = 1,         // top right: EGT + 40 over the EGT scale + 40
        kSeriesPumpVoltage = 2, // bottom left: hundredths of a volt
        kSeriesThrust = 3,      // bottom right: whole kilograms x 100
        kSeriesCount = 4,
    };

    // The strip charts' full scales.
    struct Scales {
        int32_t rpm = 100000;
        int32_t egt = 1000;         // °C; the chart spans EGT + 40 over egt + 40
        int32_t pumpVoltage = 3000; // hundredths of a volt
        int32_t thrust = 5000;      // kilograms x 100

        bool operator==(const Scales&) const = default;
    };

    // Where everything goes on a W x H host (pixels).
    struct Layout {
        CanvasSize size;
        int32_t barWidth = 0;    // B = W / 6, at least 210
        int32_t gaugeWidth = 0;  // G = (B - 30) / 2
        int32_t fontTenths = 0;  // status font, tenths of a point
        CanvasFont font;         // status font
        int32_t lineHeight = 0;  // L = 1.2 x the status font's cell height
        int32_t chartsLeft = 0;  // B
        int32_t chartsTop = 0;   // 2L
        int32_t rightLimit = 0;  // W - 20
        int32_t bottomLimit = 0; // H - 20
        int32_t chartWidth = 0;  // (W - 20 - B - 10) / 2
        int32_t chartHeight = 0; // (H - 20 - 2L - 10) / 2

        [[nodiscard]] CanvasRect EgtGauge() const;
        [[nodiscard]] CanvasRect RpmGauge() const;
        // The plot rectangle of a strip chart (its frame is one pixel outside).
        [[nodiscard]] CanvasRect Chart(int32_t series) const;
        // Samples a strip chart shows: chart width / kStep.
        [[nodiscard]] int32_t Visible() const { return chartWidth / kStep; }
    };

    // What the two status lines show.
    struct StatusLines {
        CanvasColor line1Color = 0;
        std::string line1Text; // the state text
        float current = 0;     // A
        CanvasColor line2Color = 0;
        std::string line2Text; // the fault text
        bool alternatorShown = false;
        float alternatorVolts = 0;
    };

    // Milliseconds of a monotonic clock that wraps like a 32-bit tick count.
    using TickSource = std::function<uint32_t()>;

    // Texts come from texts (in its language at draw time); ticks defaults
    // to the platform's tick count.
    explicit CGraphDraw(const CTextTable& texts, TickSource ticks = {});
    CGraphDraw();
    ~CGraphDraw();
    CGraphDraw(const CGraphDraw&) = delete;
    CGraphDraw& operator=(const CGraphDraw&) = delete;

    // Takes the host (not owned; it must outlive the chart's use of it), lays
    // out on its size and marks the picture to be drawn by the next refresh.
    void Attach(ICanvasHost* host);

    // Appends sample to the ring and refreshes (forced). Dropped while the
    // chart is in hold mode or not attached.
    void AddSample(const CLiveSample& sample);

    // Line 1: "State: <text>" in color, and the supply current (A) at the right.
    void SetStateLine(const std::string& text, CanvasColor color, float current);
    // Line 2: the fault text in color.
    void SetFaultLine(const std::string& text, CanvasColor color);
    // The alternator voltage (V) at the right of line 2, when shown.
    void SetAlternator(bool shown, float volts);

    // The EGT bar's full scale (°C), clamped to 200..1000; also the EGT
    // chart's scale. Refreshes (forced) when either changes.
    void SetEgtBarScale(int32_t value);
    // The RPM bar's full scale, clamped to 20000..250000; also the RPM
    // chart's scale. Refreshes (forced) when either changes.
    void SetRpmBarScale(int32_t value);
    // The pump voltage chart's scale (hundredths of a volt), clamped to
    // 100..16300. Refreshes (forced) when it changes.
    void SetPumpVoltageScale(int32_t value);

    // On: the view is frozen where it is and new samples are dropped. Off:
    // samples come in again and the view follows the newest.
    void SetHold(bool on);
    [[nodiscard]] bool IsHold() const { return m_hold; }

    // When attached and the host is visible: draws everything if the picture
    // is out of date or forced, and at least 50 ms passed since the last
    // full draw; then, in every case, copies the surface to the host. A draw
    // that had to wait (too soon, or the host hidden) leaves the picture
    // out of date, so the next refresh draws it.
    void Refresh(bool forced);
    // Lays out again on the host's size and draws everything (no copy).
    void Relayout();
    // Marks the picture out of date (texts of another language, ...).
    void Invalidate();

    // --- inspection ---------------------------------------------------------
    [[nodiscard]] bool IsAttached() const { return m_initialized; }
    // The picture differs from what the chart holds: a refresh would draw.
    [[nodiscard]] bool IsDirty() const { return m_dirty; }
    // Milliseconds until a full draw is allowed again (0: now).
    [[nodiscard]] uint32_t MsUntilDrawAllowed() const;
    // Full draws so far (benchmarks and tests).
    [[nodiscard]] uint32_t DrawCount() const { return m_draws; }
    [[nodiscard]] const Layout& GetLayout() const { return m_layout; }
    // The drawing surface; null before Attach.
    [[nodiscard]] const ICanvas* Surface() const { return m_surface.get(); }

    [[nodiscard]] const StatusLines& GetStatusLines() const { return m_status; }
    [[nodiscard]] int32_t Count() const;
    // Sample index (0 the oldest); an all-zero sample outside 0..Count() - 1.
    [[nodiscard]] CLiveSample GetSample(int32_t index) const;
    // False when the ring is empty.
    [[nodiscard]] bool Newest(CLiveSample* sample) const;
    [[nodiscard]] Scales GetScales() const;
    [[nodiscard]] int32_t EgtBarScale() const { return m_egtBarScale; }
    [[nodiscard]] int32_t RpmBarScale() const { return m_rpmBarScale; }
    // Index of the oldest sample the strip charts show.
    [[nodiscard]] int32_t ViewStart() const;

    // The layout of a size x size host, measuring the status font on canvas
    // (whose pen and font are left as they were).
    [[nodiscard]] static Layout ComputeLayout(CanvasSize size, ICanvas& canvas);

private:
    struct Ring {
        int32_t count = 0;
        Scales scales;
        std::array<CLiveSample, kCapacity> samples{};
    };

    void DoLayout();
    // value clamped to low..high as the chart scale and, unless bar is null,
    // as that bar's full scale; refreshes (forced) when either changes.
    void SetScale(int32_t value, int32_t low, int32_t high, int32_t* bar, int32_t Scales::*chart);
    void DrawAll();
    void DrawGauge(const CanvasRect& rect, int64_t value, int32_t fullScale, bool celsius);
    void DrawFrame(const CanvasRect& rect);
    // Under the ring lock.
    void DrawSeries(int32_t series, const CanvasRect& rect);
    void DrawStatusLines();
    [[nodiscard]] bool DrawAllowed() const;
    [[nodiscard]] int32_t ViewStartLocked(int32_t visible) const;
    [[nodiscard]] std::string ValueText(int32_t series, const CLiveSample& sample) const;

    const CTextTable& m_texts;
    TickSource m_ticks;

    // The ring lock guards m_ring (count, scales, samples).
    mutable CMMutex m_ringLock;
    std::unique_ptr<Ring> m_ring;

    ICanvasHost* m_host = nullptr;
    std::unique_ptr<ICanvas> m_surface;
    Layout m_layout;

    StatusLines m_status;

    bool m_initialized = false;
    bool m_dirty = false;
    bool m_hold = false;
    int32_t m_frozenStart = 0;
    int32_t m_egtBarScale = 800;
    int32_t m_rpmBarScale = 180000;

    bool m_drawn = false; // a full draw happened (m_lastDraw is valid)
    uint32_t m_lastDraw = 0;
    uint32_t m_draws = 0;
};
