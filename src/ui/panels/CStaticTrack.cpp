#include "ui/panels/CStaticTrack.h"

#include "ui/panels/CDialogTrack.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWheelEvent>

CStaticTrack::CStaticTrack(QWidget* parent)
    : CCanvasWidget(parent) {
    setAcceptDrops(true);
    setMouseTracking(true); // moves without a button show the cursor box
}

QStringList CStaticTrack::LocalFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            files.push_back(url.toLocalFile());
        }
    }
    return files;
}

QPoint CStaticTrack::ToPanel(const QPointF& local) const {
    return local.toPoint() + pos();
}

void CStaticTrack::mousePressEvent(QMouseEvent* event) {
    if (m_panel != nullptr && event->button() == Qt::LeftButton) {
        m_panel->OnChartButtonDown(ToPanel(event->position()));
    }
}

void CStaticTrack::mouseReleaseEvent(QMouseEvent* event) {
    if (m_panel != nullptr && event->button() == Qt::LeftButton) {
        m_panel->OnChartButtonUp(ToPanel(event->position()));
    }
}

void CStaticTrack::mouseMoveEvent(QMouseEvent* event) {
    if (m_panel != nullptr) {
        m_panel->OnChartMouseMove(ToPanel(event->position()));
    }
}

void CStaticTrack::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is no button down of its own.
    if (m_panel != nullptr && event->button() == Qt::LeftButton) {
        m_panel->OnDoubleClick();
    }
}

void CStaticTrack::wheelEvent(QWheelEvent* event) {
    if (m_panel != nullptr) {
        m_panel->OnChartWheel(event->angleDelta().y());
    }
    event->accept();
}

void CStaticTrack::leaveEvent(QEvent* event) {
    // The pointer left the control without a move outside the plot first
    // (a fast move onto another control): hide the cursor as such a move would.
    if (m_panel != nullptr) {
        m_panel->OnChartMouseMove(QPoint(-1, -1));
    }
    CCanvasWidget::leaveEvent(event);
}

void CStaticTrack::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CStaticTrack::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CStaticTrack::dropEvent(QDropEvent* event) {
    const QStringList files = LocalFiles(event->mimeData());
    event->acceptProposedAction();
    if (m_panel != nullptr && !files.isEmpty()) {
        m_panel->OnDropFiles(files);
    }
}
