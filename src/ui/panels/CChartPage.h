#pragma once

#include "charts/CCanvasPresenter.h"
#include "ui/panels/CPanelDialog.h"

#include <cstdint>

class CCanvasWidget;
class ICanvas;

// A page of the main window's tab strip that shows one custom-drawn chart in
// a chart frame: the frame's right and bottom edges follow the page's size
// (its top-left corner stays), every size change gives the chart a new
// surface of the frame's size, and a redraw paints the whole surface and
// copies it to the frame in one block copy, only while the page is visible.
// A paint of the frame that no copy preceded redraws. Like every page it is
// never closed: close requests do nothing either.
//
// Thread safety: user-interface thread only.
class CChartPage : public CPanelDialog {
    Q_OBJECT
public:
    // Draws the chart now (if visible); true when it drew.
    bool Redraw();

    [[nodiscard]] CCanvasWidget* Chart() const { return m_chart; }
    // The surface last drawn, null before the first size change.
    [[nodiscard]] const ICanvas* Surface() const { return m_presenter.Surface(); }

protected:
    // A page of widthDlu x heightDlu dialog units whose chart frame (control
    // id frameId) sits at frameDlu, also in dialog units.
    CChartPage(
        QWidget* parent, int32_t widthDlu, int32_t heightDlu, QRect frameDlu, int32_t frameId);

    // The whole chart onto canvas, which has the frame's size.
    virtual void Draw(ICanvas& canvas) = 0;

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CCanvasWidget* m_chart = nullptr;
    CCanvasPresenter m_presenter;
    QSize m_templateSize;    // px
    QRect m_frameAtTemplate; // px, the frame at the template size
};
