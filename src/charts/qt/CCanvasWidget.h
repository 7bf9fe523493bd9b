#pragma once

#include "charts/ICanvas.h"

#include <QImage>
#include <QWidget>

#include <functional>

// The control a chart is shown in. BlockCopy keeps the finished surface's
// image (shared, not copied; the same picture copied again repaints
// nothing) and shows it whole; a paint of the control that no copy preceded asks the
// chart to present itself first (onPaint), as a paint message would.
//
// Thread safety: user-interface thread only.
class CCanvasWidget : public QWidget, public ICanvasHost {
    Q_OBJECT
public:
    explicit CCanvasWidget(QWidget* parent = nullptr);

    // Called from paintEvent when nothing was copied since the last paint.
    void SetOnPaint(std::function<void()> onPaint) { m_onPaint = std::move(onPaint); }

    [[nodiscard]] CanvasSize HostSize() const override;
    [[nodiscard]] CanvasRect HostRect() const override;
    [[nodiscard]] bool HostVisible() const override;
    [[nodiscard]] std::unique_ptr<ICanvas> CreateSurface(int32_t width, int32_t height) override;
    void BlockCopy(const ICanvas& surface) override;

    // What the control shows (the last surface copied).
    [[nodiscard]] const QImage& Shown() const { return m_shown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void()> m_onPaint;
    QImage m_shown;
    bool m_copied = false;
    bool m_inPaint = false;
};
