#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>

namespace cli {

std::string ProgressBar(int percent, int width) {
    percent = std::clamp(percent, 0, 100);
    width = std::max(width, 1);
    const int filled = percent * width / 100;
    std::string bar = "[";
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), ' ');
    char tail[8];
    std::snprintf(tail, sizeof tail, "] %3d%%", percent);
    return bar + tail;
}

void ProgressLine::show(const std::string& text) {
    if (!m_enabled) {
        return;
    }
    m_out << '\r' << text;
    if (text.size() < m_lastLength) {
        m_out << std::string(m_lastLength - text.size(), ' ');
    }
    m_out.flush();
    m_lastLength = text.size();
    m_open = true;
}

void ProgressLine::finish() {
    if (m_enabled && m_open) {
        m_out << '\n';
        m_out.flush();
        m_open = false;
        m_lastLength = 0;
    }
}

} // namespace cli
