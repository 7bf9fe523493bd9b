#pragma once

#include "charts/qt/CCanvasWidget.h"

#include <QStringList>

class CDialogTrack;
class QMimeData;

// The history chart's host control on the "Historic records" page: the
// canvas widget the chart is copied to, which also accepts dropped files and
// hands them, and every mouse event over it, to its page in the page's
// coordinates.
//
// Thread safety: user-interface thread only.
class CStaticTrack : public CCanvasWidget {
    Q_OBJECT
public:
    explicit CStaticTrack(QWidget* parent = nullptr);

    // The page events go to; null until the page initialises (events are
    // then dropped).
    void SetPanel(CDialogTrack* panel) { m_panel = panel; }
    [[nodiscard]] CDialogTrack* Panel() const { return m_panel; }

    // The local files of a drop, in the order they were dropped.
    [[nodiscard]] static QStringList LocalFiles(const QMimeData* data);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    [[nodiscard]] QPoint ToPanel(const QPointF& local) const;

    CDialogTrack* m_panel = nullptr;
};
