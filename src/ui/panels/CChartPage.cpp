#include "ui/panels/CChartPage.h"

#include "charts/qt/CCanvasWidget.h"

#include <QCloseEvent>
#include <QResizeEvent>

#include <algorithm>

CChartPage::CChartPage(
    QWidget* parent, int32_t widthDlu, int32_t heightDlu, QRect frameDlu, int32_t frameId)
    : CPanelDialog(parent) {
    m_templateSize = DluRect(0, 0, widthDlu, heightDlu).size();
    m_frameAtTemplate = DluRect(frameDlu.x(), frameDlu.y(), frameDlu.width(), frameDlu.height());
    m_chart = new CCanvasWidget(this);
    m_chart->setGeometry(m_frameAtTemplate);
    m_chart->SetOnPaint([this] { (void)Redraw(); });
    RegisterControl(frameId, m_chart);
    m_presenter.Attach(m_chart);
    resize(m_templateSize);
}

bool CChartPage::Redraw() {
    return m_presenter.Present([this](ICanvas& canvas) { Draw(canvas); });
}

void CChartPage::resizeEvent(QResizeEvent* event) {
    CPanelDialog::resizeEvent(event);
    const int32_t width =
        std::max(0, m_frameAtTemplate.width() + event->size().width() - m_templateSize.width());
    const int32_t height =
        std::max(0, m_frameAtTemplate.height() + event->size().height() - m_templateSize.height());
    m_chart->setGeometry(m_frameAtTemplate.x(), m_frameAtTemplate.y(), width, height);
    m_presenter.Relayout();
}

void CChartPage::closeEvent(QCloseEvent* event) {
    event->ignore(); // the tab strip shows and hides pages; they are not closed
}
