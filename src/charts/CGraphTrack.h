#pragma once

#include "charts/CGraphTrackModel.h"
#include "charts/ICanvas.h"

#include <cstdint>
#include <functional>
#include <memory>

class CDeviceECU;
class CDeviceECUTracker;

// The history chart: the run log of CDeviceECUTracker drawn as up to
// eighteen curves over record index, newest at the right, with a frame, a
// grid with per-series value labels, a legend, the record count, a crosshair
// with a translucent readout box (the cursor box), a loading text while a
// download runs, scrolling by drag or scrollbar and zoom by the wheel.
//
// Every redraw paints the whole off-screen surface (the size of the host
// control) and then shows it with the host's one block copy, so the screen
// never shows a half-drawn chart. A redraw walks only the records that fit
// between curve left and curve right, with the tracker's lock held for the
// whole draw. The maximum EGT (the EGT series' full scale) is read from the
// parameter block before the lock is taken.
//
// Mouse points are in the coordinates of the host's parent (the records
// page); see CGraphTrackModel for the arithmetic.
//
// Thread safety: user-interface thread only. The record thread of
// CDeviceECU inserts records concurrently; it waits on the tracker's lock
// while a redraw runs. Never call a drawing operation while holding that lock
// (it is not re-entrant).
class CGraphTrack {
public:
    CGraphTrack() = default;
    CGraphTrack(const CGraphTrack&) = delete;
    CGraphTrack& operator=(const CGraphTrack&) = delete;

    // Binds the chart to its host control and the ECU object whose run log
    // and maximum EGT it shows, runs the layout and creates the surface.
    // Once, when the page initialises; both must outlive the chart.
    void attach(ICanvasHost* host, CDeviceECU* ecu);
    // The same on a bare tracker; maxEgt gives the EGT full scale in degrees
    // Celsius (<= 0: not known, 1100 is used). For tests and benchmarks.
    void attach(ICanvasHost* host, CDeviceECUTracker* tracker, std::function<int32_t()> maxEgt);
    [[nodiscard]] bool initialized() const { return m_host != nullptr; }

    // After a size change of the host: layout and a full draw, not shown.
    void relayout();
    // When the host is visible: lowers the scroll index to the maximum, draws
    // and shows the whole surface.
    void present();

    // The log changed (records added, or cleared): a view at the newest
    // records (scroll index 0) stays there; a view scrolled back keeps the
    // record at its right edge, its scroll index growing by the records added
    // newer than it. A scroll index past a shorter log is lowered to its
    // maximum. Does not present. (Every redraw keeps the view the same
    // way, so records stored between two notifications never make it slide.)
    void recordsChanged();

    // Records that do not fit: count - (curve right - curve left) / step, or 0.
    [[nodiscard]] int32_t maximumScroll() const;
    // value clamped to 0..maximum; presents when the index changed.
    void setScroll(int32_t value);
    [[nodiscard]] int32_t scrollIndex() const { return m_model.ScrollIndex(); }
    // Wheel: one zoom step up (delta > 0, up to 8 pixels a record) or down
    // (down to 1); true when it changed. Does not present.
    bool zoom(int32_t wheelDelta);
    [[nodiscard]] int32_t zoomStep() const { return m_model.ZoomStep(); }

    void buttonDown(int32_t x, int32_t y);
    void buttonUp(int32_t x, int32_t y);
    // True when the point is in the plot (the cursor is then shown there).
    bool mouseMove(int32_t x, int32_t y);

    // Non-zero while a download runs; presents when it changed.
    void setLoading(int32_t loading);
    [[nodiscard]] int32_t loading() const { return m_loading; }

    // Bit n shows series n (0..17), bit 31 autoscales. The caller presents.
    [[nodiscard]] uint32_t seriesMask() const { return m_model.SeriesMask(); }
    void setSeriesMask(uint32_t mask) { m_model.SetSeriesMask(mask); }

    [[nodiscard]] const CGraphTrackModel& model() const { return m_model; }
    // The surface as last drawn (null before attach).
    [[nodiscard]] const ICanvas* surface() const { return m_surface.get(); }

private:
    void Layout();
    void FullDraw(bool clampScroll);
    void DrawFrame(ICanvas& c, const CGraphTrackModel::Scales& scales, int32_t count, int32_t lang);
    void DrawCurve(ICanvas& c,
                   int32_t series,
                   const CDeviceECUTItem* first,
                   const CGraphTrackModel::Scales& scales);
    void DrawLoading(ICanvas& c, int32_t count, int32_t language);
    void DrawCursor(ICanvas& c, const CDeviceECUTItem* first, int32_t language);
    [[nodiscard]] int32_t Count() const;
    // With the tracker's lock held: moves the scroll index to the record the
    // view was anchored on (see recordsChanged) and returns the record at the
    // right edge, anchoring the view on it.
    const CDeviceECUTItem* AnchoredFirst();
    // The record at index (0 = newest) or null, lock held.
    [[nodiscard]] const CDeviceECUTItem* RecordAt(int32_t index) const;
    void ForgetAnchor() { m_anchored = false; }

    ICanvasHost* m_host = nullptr;
    CDeviceECUTracker* m_tracker = nullptr;
    std::function<int32_t()> m_maxEgt;
    std::unique_ptr<ICanvas> m_surface;
    std::unique_ptr<ICanvas> m_box; // the cursor box, blended onto the surface
    CGraphTrackModel m_model;
    int32_t m_loading = 0;
    // The counter of the record last drawn at the right edge of a view
    // scrolled back (counters identify records).
    bool m_anchored = false;
    uint32_t m_anchorCounter = 0;
};
