#pragma once

#include "charts/ICanvas.h"

#include <functional>
#include <memory>

// Shows a chart in its host control: keeps an off-screen surface the size of
// the host, lets the chart draw the whole of it, and copies it to the host in
// one block copy, so the screen never shows a half-drawn chart.
//
// Thread safety: user-interface thread only (the host is a control).
class CCanvasPresenter {
public:
    // The control the chart is shown in (not owned). There is no surface
    // until the first Relayout.
    void Attach(ICanvasHost* host) { m_host = host; }

    // The host's size changed: a new surface of the host's size (none while
    // the host has no area).
    void Relayout();

    // Runs draw on the surface and copies it to the host, only while the host
    // is visible and a surface exists. True when it drew.
    bool Present(const std::function<void(ICanvas&)>& draw);

    [[nodiscard]] const ICanvas* Surface() const { return m_surface.get(); }

private:
    ICanvasHost* m_host = nullptr;
    std::unique_ptr<ICanvas> m_surface;
};
