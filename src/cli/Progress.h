#pragma once

#include <ostream>
#include <string>

namespace cli {

// "[##########          ]  50%": percent clamped to 0..100, width cells.
[[nodiscard]] std::string ProgressBar(int percent, int width = 30);

// One line of progress that redraws itself in place ("\r" and the new text,
// blanks over the rest of the old one). Does nothing unless enabled: it is
// meant for a terminal, never for a file or pipe a script reads.
class ProgressLine {
public:
    ProgressLine(std::ostream& out, bool enabled)
        : m_out(out)
        , m_enabled(enabled) {}
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const std::string& text);
    // Ends the line (once), so that later output starts on a fresh one.
    void finish();

private:
    std::ostream& m_out;
    bool m_enabled;
    size_t m_lastLength = 0;
    bool m_open = false;
};

} // namespace cli
