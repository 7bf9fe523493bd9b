#include "app/main/ScreenshotShots.h"

#include "app/CTurbexDlg.h"

#include <QTimer>

#include <memory>

void WhenReady(QObject* context,
               std::function<bool()> condition,
               int timeoutMs,
               std::function<void(bool ready)> then) {
    auto* timer = new QTimer(context);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, context, [=] {
        *waited += 100;
        const bool ready = condition();
        if (ready || *waited >= timeoutMs) {
            timer->stop();
            timer->deleteLater();
            then(ready);
        }
    });
    timer->start(100);
}

std::vector<ScreenshotShot> ScreenshotShots() {
    std::vector<ScreenshotShot> shots;
    // The main window as it opens: the status panel and the first page.
    shots.push_back({"main", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         window.OnTabChange(CTurbexDlg::kPanelCurrentState);
                         done(window.grab());
                     }});
    return shots;
}
