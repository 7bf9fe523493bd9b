#include "charts/CCanvasPresenter.h"

void CCanvasPresenter::Relayout() {
    if (m_host == nullptr) {
        return;
    }
    const CanvasSize size = m_host->HostSize();
    if (size.width <= 0 || size.height <= 0) {
        m_surface.reset();
        return;
    }
    m_surface = m_host->CreateSurface(size.width, size.height);
}

bool CCanvasPresenter::Present(const std::function<void(ICanvas&)>& draw) {
    if (m_host == nullptr || !m_surface || !m_host->HostVisible()) {
        return false;
    }
    draw(*m_surface);
    m_host->BlockCopy(*m_surface);
    return true;
}
