#pragma once

#include "charts/CGraphDraw.h"
#include "ui/CDialogBase.h"
#include "ui/panels/ILiveChartPanel.h"

class CCanvasWidget;

// The "Real State" page: the live monitor chart (CGraphDraw) in a frame
// control that fills the page and follows its size. The main window feeds it
// through ILiveChartPanel; a left double-click toggles the chart's hold mode.
//
// A sample or setter that arrives within 50 ms of the last full draw is
// drawn by a one-shot timer once the interval has passed, so the newest
// values always reach the screen.
//
// Thread safety: user-interface thread only.
class CDialogCurrentState : public CDialogBase, public ILiveChartPanel {
    Q_OBJECT
public:
    enum ControlId : int32_t { kFrame = 1000 }; // the frame control the chart draws in
    static constexpr uint32_t kDrawTimer = 1;

    // ticks: the chart's clock (default: the platform's tick count).
    explicit CDialogCurrentState(QWidget* parent = nullptr, CGraphDraw::TickSource ticks = {});
    ~CDialogCurrentState() override;

    // --- ILiveChartPanel ------------------------------------------------------
    void AddLiveSample(const CLiveSample& sample) override;
    void SetStateLine(const std::string& text, uint32_t color, float current) override;
    void SetFaultLine(const std::string& text, uint32_t color) override;
    void SetAlternator(bool shown, float volts) override;
    void SetEgtBarScale(int32_t value) override;
    void SetRpmBarScale(int32_t value) override;
    void SetPumpVoltageScale(int32_t value) override;
    // Offline: the state and fault lines empty, the alternator hidden, the
    // current 0. The samples stay (the window adds an all-zero one).
    void Reset() override;

    [[nodiscard]] CGraphDraw& Graph() { return m_graph; }
    [[nodiscard]] const CGraphDraw& Graph() const { return m_graph; }
    [[nodiscard]] CCanvasWidget* Frame() const { return m_frame; }

protected:
    void OnTimer(uint32_t id) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    // Arms the draw timer when the chart holds something it could not draw yet.
    void DrawWhenAllowed();

    CGraphDraw m_graph;
    CCanvasWidget* m_frame = nullptr;
    QSize m_client;    // the page's client size at the last layout
    QSize m_frameSize; // the frame's size by the resize rule (may run below 0)
};
