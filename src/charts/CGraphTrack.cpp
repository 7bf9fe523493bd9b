#include "charts/CGraphTrack.h"

#include "ecu/CDeviceECU.h"
#include "engine/EcuTextId.h"
#include "foundation/CMMutex.h"
#include "foundation/CTextTable.h"
#include "records/CDeviceECUTracker.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace {

using Model = CGraphTrackModel;

constexpr CanvasColor kBlack = Rgb(0, 0, 0);
constexpr CanvasColor kGrid = Rgb(240, 240, 240);
constexpr CanvasColor kCrosshair = Rgb(120, 116, 209);
constexpr CanvasColor kBoxBorder = Rgb(50, 50, 50);
constexpr CanvasColor kSeparator = Rgb(100, 100, 100);

const CanvasFont kChartFont{"Arial", 16, 400, true};
const CanvasFont kTitleFont{"Arial", 15, 700, true};
const CanvasFont kReadoutFont{"Arial", 15, 400, true};

// Text 253 with its "%d" replaced by the record count.
std::string LoadingText(int32_t count, int32_t language) {
    std::string text = CTextTable::GetText(253, language);
    const size_t at = text.find("%d");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(count));
    }
    return text;
}

} // namespace

void CGraphTrack::attach(ICanvasHost* host, CDeviceECU* ecu) {
    attach(host, &ecu->tracker(), [ecu] {
        const double v =
            ecu->withParameters([](CEcuParameters& p) { return p.value(EcuTextId::MaxEgt); });
        return static_cast<int32_t>(std::lround(v));
    });
}

void CGraphTrack::attach(ICanvasHost* host,
                         CDeviceECUTracker* tracker,
                         std::function<int32_t()> maxEgt) {
    m_host = host;
    m_tracker = tracker;
    m_maxEgt = std::move(maxEgt);
    Layout();
}

void CGraphTrack::Layout() {
    const CanvasSize size = m_host->HostSize();
    m_model.SetHost(m_host->HostRect(), size.width, size.height);
    // The old surface goes first: at 1920 x 1080 each one is 8 MB.
    m_surface.reset();
    m_surface = m_host->CreateSurface(size.width, size.height);
    if (!m_box) {
        m_box = m_surface->CreateCompatible(Model::kBoxWidth, Model::kBoxHeight);
    }
}

void CGraphTrack::relayout() {
    if (!initialized()) {
        return;
    }
    Layout();
    FullDraw(false);
}

void CGraphTrack::present() {
    if (!initialized() || !m_host->HostVisible()) {
        return;
    }
    FullDraw(true);
    m_host->BlockCopy(*m_surface);
}

int32_t CGraphTrack::Count() const {
    if (m_tracker == nullptr) {
        return 0;
    }
    CMLockGuard lock(m_tracker->getLock());
    return m_tracker->GetCount();
}

int32_t CGraphTrack::maximumScroll() const {
    return m_model.MaximumScroll(Count());
}

void CGraphTrack::setScroll(int32_t value) {
    if (m_model.SetScroll(value, Count())) {
        ForgetAnchor();
        present();
    }
}

void CGraphTrack::recordsChanged() {
    if (m_tracker == nullptr) {
        return;
    }
    CMLockGuard lock(m_tracker->getLock());
    (void)AnchoredFirst();
    m_model.ClampScroll(m_tracker->GetCount()); // a shorter log, also while hidden
}

const CDeviceECUTItem* CGraphTrack::RecordAt(int32_t index) const {
    // From the nearer end of the list: a view of the oldest records of a
    // full log would otherwise walk 32767 records at every redraw.
    const int32_t count = m_tracker->GetCount();
    if (index < 0 || index >= count) {
        return nullptr;
    }
    if (index <= count / 2) {
        return m_tracker->getItem(index);
    }
    const CMNode* n = m_tracker->oldest();
    for (int32_t i = count - 1; n != nullptr && i > index; --i) {
        n = n->prev;
    }
    return static_cast<const CDeviceECUTItem*>(n);
}

const CDeviceECUTItem* CGraphTrack::AnchoredFirst() {
    const int32_t scroll = m_model.ScrollIndex();
    const CDeviceECUTItem* first = RecordAt(scroll);
    if (scroll > 0 && m_anchored && first != nullptr && first->counter != m_anchorCounter) {
        // Records are kept newest first, so records stored since the anchor
        // was drawn sit in front of it: walk on to it.
        int32_t index = scroll;
        const CDeviceECUTItem* r = first;
        while (r != nullptr && r->counter > m_anchorCounter) {
            r = static_cast<const CDeviceECUTItem*>(r->next);
            ++index;
        }
        if (r != nullptr && r->counter == m_anchorCounter) {
            m_model.SetScroll(index, m_tracker->GetCount());
            first = RecordAt(m_model.ScrollIndex());
        }
        // Not found (the log was replaced): the index stays as it was.
    }
    m_anchored = m_model.ScrollIndex() > 0 && first != nullptr;
    m_anchorCounter = first != nullptr ? first->counter : 0;
    return first;
}

bool CGraphTrack::zoom(int32_t wheelDelta) {
    return m_model.Zoom(wheelDelta);
}

void CGraphTrack::buttonDown(int32_t x, int32_t y) {
    m_model.ButtonDown(x, y);
}

void CGraphTrack::buttonUp(int32_t x, int32_t y) {
    m_model.ButtonUp(x, y);
}

bool CGraphTrack::mouseMove(int32_t x, int32_t y) {
    const int32_t scroll = m_model.ScrollIndex();
    const CGraphTrackModel::Move move = m_model.MouseMove(x, y, Count());
    if (m_model.ScrollIndex() != scroll) {
        ForgetAnchor(); // dragged: the view is where the user put it
    }
    if (move.present) {
        present();
    }
    return move.inside;
}

void CGraphTrack::setLoading(int32_t loading) {
    if (loading != m_loading) {
        m_loading = loading;
        present();
    }
}

// --- drawing -----------------------------------------------------------------

void CGraphTrack::FullDraw(bool clampScroll) {
    if (!m_surface || m_tracker == nullptr) {
        return;
    }
    ICanvas& c = *m_surface;
    const int32_t maxEgt = m_maxEgt ? m_maxEgt() : 0; // before the tracker's lock
    const int32_t language = CTextTable::Process().GetLanguage();
    CMLockGuard lock(m_tracker->getLock());
    const int32_t count = m_tracker->GetCount();
    if (clampScroll) {
        m_model.ClampScroll(count);
    }
    const CGraphTrackModel::Layout& l = m_model.GetLayout();
    const int32_t points = Model::CurvePoints(l, m_model.ZoomStep());
    const CDeviceECUTItem* first = AnchoredFirst();
    const CGraphTrackModel::Scales scales = m_model.Autoscale()
                                                ? Model::AutoScales(first, points, maxEgt)
                                                : Model::FixedScales(*m_tracker, maxEgt);
    DrawFrame(c, scales, count, language);
    for (int32_t series : Model::DrawOrder()) {
        if (m_model.Shown(series)) {
            DrawCurve(c, series, first, scales);
        }
    }
    if (m_loading != 0) {
        DrawLoading(c, count, language);
    }
    if (m_model.CursorShown()) {
        DrawCursor(c, first, language);
    }
}

void CGraphTrack::DrawFrame(ICanvas& c,
                            const CGraphTrackModel::Scales& scales,
                            int32_t count,
                            int32_t language) {
    const CGraphTrackModel::Layout& l = m_model.GetLayout();
    const CanvasRect& p = l.plot;
    const CanvasSize size = c.Size();
    const CanvasPen previousPen = c.SelectPen({CanvasPen::kSolid, 1, kBlack});
    c.Rectangle(0, 0, size.width, size.height);
    // The dotted rectangle around the plot, (left - 1, top - 1) to (right + 1,
    // bottom + 1): its outline only, as its interior is white already.
    c.SelectPen({CanvasPen::kDot, 1, kBlack});
    c.MoveTo(p.left - 1, p.top - 1);
    c.LineTo(p.right, p.top - 1);
    c.LineTo(p.right, p.bottom);
    c.LineTo(p.left - 1, p.bottom);
    c.LineTo(p.left - 1, p.top - 1);

    const CanvasFont previousFont = c.SelectFont(kChartFont);
    const bool previousTransparent = c.SetTransparentText(true);
    const CanvasColor previousColor = c.SetTextColor(kBlack);
    c.SelectPen({CanvasPen::kSolid, 1, kGrid});
    const int32_t range = l.Range();
    // The grid lines first, then their labels: a label sits in the 16 rows
    // above its line and never on it, so the order changes no pixel, and the
    // texts are drawn in one run.
    for (int32_t off = Model::kGridStep; off <= range; off += Model::kGridStep) {
        c.MoveTo(p.left + 1, l.valueBottom - off);
        c.LineTo(p.right - 1, l.valueBottom - off);
    }
    // One row of texts of the shown series 0..11, each in its colour, from
    // plot left + 5 on by the series' advances.
    const auto row = [&](int32_t y, const auto& text) {
        int32_t x = p.left + 5;
        for (int32_t series = 0; series < Model::kLabelledSeries; ++series) {
            if (m_model.Shown(series)) {
                const CGraphTrackModel::Series& s = Model::SeriesAt(series);
                c.SetTextColor(s.color);
                c.TextOut(x, y, text(series, s));
                x += s.advance;
            }
        }
    };
    for (int32_t off = 0; off <= range; off += Model::kGridStep) {
        row(l.valueBottom - off - 16, [&](int32_t series, const CGraphTrackModel::Series&) {
            return Model::LabelText(series, off, range, scales);
        });
    }
    row(p.top - 20, [&](int32_t, const CGraphTrackModel::Series& s) {
        return std::string(CTextTable::GetText(s.legendText, language));
    });

    c.SetTextColor(kBlack);
    c.TextOut(p.left + 2, p.bottom + 3, "NUM:" + std::to_string(count));

    c.SetTextColor(previousColor);
    c.SetTransparentText(previousTransparent);
    c.SelectFont(previousFont);
    c.SelectPen(previousPen);
}

void CGraphTrack::DrawCurve(ICanvas& c,
                            int32_t series,
                            const CDeviceECUTItem* first,
                            const CGraphTrackModel::Scales& scales) {
    const CGraphTrackModel::Layout& l = m_model.GetLayout();
    const CGraphTrackModel::Series& s = Model::SeriesAt(series);
    const int32_t step = m_model.ZoomStep();
    const CanvasPen previous = c.SelectPen({CanvasPen::kSolid, s.penWidth, s.color});
    bool start = true;
    int32_t x = l.curveRight;
    for (const CDeviceECUTItem* r = first; r != nullptr && x > l.curveLeft;
         r = static_cast<const CDeviceECUTItem*>(r->next), x -= step) {
        const int32_t y = Model::CurveY(s, r->*s.field, scales, l);
        if (start) {
            c.MoveTo(x, y);
            start = false;
        } else {
            c.LineTo(x, y);
        }
    }
    c.SelectPen(previous);
}

void CGraphTrack::DrawLoading(ICanvas& c, int32_t count, int32_t language) {
    const CanvasRect& p = m_model.GetLayout().plot;
    const CanvasFont previousFont =
        c.SelectFont(CanvasFont::FromPointSize((p.right - p.left) / 3, c.DpiY(), "Arial"));
    const bool previousTransparent = c.SetTransparentText(true);
    const CanvasColor previousColor = c.SetTextColor(kBlack);
    const std::string text = LoadingText(count, language);
    const CanvasSize e = c.TextExtent(text);
    c.TextOut(
        p.left + (p.right - p.left - e.width) / 2, p.top + (p.bottom - p.top - e.height) / 2, text);
    c.SetTextColor(previousColor);
    c.SetTransparentText(previousTransparent);
    c.SelectFont(previousFont);
}

void CGraphTrack::DrawCursor(ICanvas& c, const CDeviceECUTItem* first, int32_t language) {
    const CGraphTrackModel::Layout& l = m_model.GetLayout();
    const CanvasRect& p = l.plot;
    const int32_t cx = m_model.CursorX();
    const int32_t cy = m_model.CursorY();

    // The record under the cursor, or an all-zero one past the oldest.
    const CDeviceECUTItem zero;
    // It is at most a plot's width of records older than the first drawn.
    const CMNode* found = first;
    for (int32_t i = m_model.ScrollIndex(); found != nullptr && i < m_model.CursorRecordIndex();
         ++i) {
        found = found->next;
    }
    const CDeviceECUTItem& record =
        found != nullptr ? *static_cast<const CDeviceECUTItem*>(found) : zero;
    const uint8_t rate = m_tracker->getRecordsPerSecond();
    const CDeviceECUTItem* older = nullptr;
    if (m_model.DeltaReadout() && found != nullptr) {
        const CMNode* n = found;
        for (int32_t i = 0; n != nullptr && i < rate; ++i) {
            n = n->next;
        }
        older = static_cast<const CDeviceECUTItem*>(n);
    }

    const CanvasPen previousPen = c.SelectPen({CanvasPen::kSolid, 1, kCrosshair});
    c.MoveTo(cx, p.top + 1);
    c.LineTo(cx, p.bottom - 1);
    c.MoveTo(p.left + 1, cy);
    c.LineTo(p.right - 1, cy);
    c.SelectPen(previousPen);

    ICanvas& box = *m_box;
    const int32_t w = Model::kBoxWidth;
    const int32_t h = Model::kBoxHeight;
    box.SetTransparentText(true);
    box.FillRect(0, 0, w, h, Model::BoxFill(record));
    box.FillRect(0, 0, 1, h, kBoxBorder);
    box.FillRect(w - 1, 0, w, h, kBoxBorder);
    box.FillRect(0, h - 1, w, h, kBoxBorder);
    box.FillRect(0, 0, w, 1, kBoxBorder);
    // The separator above the status flags; no text reaches its row.
    box.FillRect(0, 150, w, 151, kSeparator);
    for (const CGraphTrackModel::BoxText& t : Model::BoxTexts(record, rate, older, language)) {
        box.SelectFont(t.bold ? kTitleFont : kReadoutFont);
        box.SetTextColor(t.color);
        box.TextOut(t.x, t.y, t.text);
    }
    c.AlphaBlend(m_model.CursorBoxLeft(), p.top + 1, box, 0, 0, w, h, Model::kBoxAlpha);
}
