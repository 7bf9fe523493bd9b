#pragma once

#include <QPixmap>

#include <functional>
#include <string>
#include <vector>

class CTurbexDlg;

// One picture turbex-screenshot takes of the tool once the unit has been
// online for a while: a page, a dialog, the window itself.
struct ScreenshotShot {
    std::string name; // the file is turbex_<name>_<en|zh>.png
    // Prepares the picture (select a tab, open a dialog, wait for data with
    // timers) and calls done with it, or with a null picture to give up.
    // Runs on the user-interface thread; may return before done is called.
    std::function<void(CTurbexDlg& window, std::function<void(const QPixmap&)> done)> take;
};

// Every shot, in the order they are taken.
[[nodiscard]] std::vector<ScreenshotShot> ScreenshotShots();

// Calls then once condition holds (checked every 100 ms), or after timeoutMs
// with the condition still false; for shots that wait for data.
void WhenReady(QObject* context,
               std::function<bool()> condition,
               int timeoutMs,
               std::function<void(bool ready)> then);
