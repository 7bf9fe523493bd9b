#include "ui/panels/CDialogCurrentState.h"

#include "charts/qt/CCanvasWidget.h"
#include "foundation/CTextTable.h"

#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>

namespace {
constexpr CanvasColor kBlack = 0;
}

CDialogCurrentState::CDialogCurrentState(QWidget* parent, CGraphDraw::TickSource ticks)
    : CDialogBase(parent)
    , m_graph(CTextTable::Process(), std::move(ticks)) {
    setWindowFlags(Qt::Widget); // a page inside the main window's tab strip
    OnInitDialog();
}

CDialogCurrentState::~CDialogCurrentState() = default;

void CDialogCurrentState::OnInitDialog() {
    m_frame = new CCanvasWidget(this);
    RegisterControl(kFrame, m_frame);
    m_client = size();
    m_frameSize = m_client;
    m_frame->setGeometry(0, 0, m_client.width(), m_client.height());
    m_frame->SetOnPaint([this] {
        m_graph.Refresh(false);
        DrawWhenAllowed();
    });
    m_graph.Attach(m_frame);
}

// --- feeding -----------------------------------------------------------------

void CDialogCurrentState::AddLiveSample(const CLiveSample& sample) {
    m_graph.AddSample(sample);
    DrawWhenAllowed();
}

void CDialogCurrentState::SetStateLine(const std::string& text, uint32_t color, float current) {
    m_graph.SetStateLine(text, color, current);
    DrawWhenAllowed();
}

void CDialogCurrentState::SetFaultLine(const std::string& text, uint32_t color) {
    m_graph.SetFaultLine(text, color);
    DrawWhenAllowed();
}

void CDialogCurrentState::SetAlternator(bool shown, float volts) {
    m_graph.SetAlternator(shown, volts);
    DrawWhenAllowed();
}

void CDialogCurrentState::SetEgtBarScale(int32_t value) {
    m_graph.SetEgtBarScale(value);
    DrawWhenAllowed();
}

void CDialogCurrentState::SetRpmBarScale(int32_t value) {
    m_graph.SetRpmBarScale(value);
    DrawWhenAllowed();
}

void CDialogCurrentState::SetPumpVoltageScale(int32_t value) {
    m_graph.SetPumpVoltageScale(value);
    DrawWhenAllowed();
}

void CDialogCurrentState::Reset() {
    m_graph.SetStateLine(std::string(), kBlack, 0.0f);
    m_graph.SetFaultLine(std::string(), kBlack);
    m_graph.SetAlternator(false, 0.0f);
    DrawWhenAllowed();
}

// --- drawing -----------------------------------------------------------------

void CDialogCurrentState::DrawWhenAllowed() {
    // A hidden frame is drawn when it is shown (showEvent, then its paint).
    if (m_graph.IsDirty() && m_frame->isVisible() && !HasTimer(kDrawTimer)) {
        SetTimer(kDrawTimer, std::max<uint32_t>(m_graph.MsUntilDrawAllowed(), 1));
    }
}

void CDialogCurrentState::OnTimer(uint32_t id) {
    if (id != kDrawTimer) {
        CDialogBase::OnTimer(id);
        return;
    }
    KillTimer(kDrawTimer);
    if (m_graph.IsDirty()) {
        m_graph.Refresh(false);
        DrawWhenAllowed();
    }
}

void CDialogCurrentState::showEvent(QShowEvent* event) {
    // The language may have changed while the page was hidden (the main
    // window hides and shows its pages to switch): draw the titles again.
    m_graph.Invalidate();
    CDialogBase::showEvent(event);
}

// --- size and mouse ----------------------------------------------------------

void CDialogCurrentState::resizeEvent(QResizeEvent* event) {
    CDialogBase::resizeEvent(event);
    const QSize client = size();
    if (client == m_client) {
        return;
    }
    // The frame keeps its place and grows or shrinks by the page's change.
    m_frameSize += client - m_client;
    m_client = client;
    m_frame->resize(std::max(m_frameSize.width(), 0), std::max(m_frameSize.height(), 0));
    m_graph.Relayout();
}

void CDialogCurrentState::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_graph.SetHold(!m_graph.IsHold());
        event->accept();
        return;
    }
    CDialogBase::mouseDoubleClickEvent(event);
}
