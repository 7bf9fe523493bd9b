#include "app/main/ScreenshotShots.h"

#include "app/CTurbexDlg.h"
#include "ui/panels/CDialogCurrentState.h"

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
    // The "Real State" page with the engine running up (turbex-sim --demo):
    // once the chart holds 20 s of samples; taken as it is after 150 s.
    shots.push_back(
        {"real_state", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
             window.OnTabChange(CTurbexDlg::kPanelCurrentState);
             auto* page =
                 dynamic_cast<CDialogCurrentState*>(window.Panel(CTurbexDlg::kPanelCurrentState));
             if (page == nullptr) {
                 done(QPixmap());
                 return;
             }
             const auto running = [page] {
                 constexpr uint8_t kRunning = 5;
                 CLiveSample newest;
                 return page->Graph().Count() >= 200 && page->Graph().Newest(&newest) &&
                        newest.state == kRunning && newest.rpm >= 60000;
             };
             WhenReady(&window, running, 150000, [&window, done](bool) { done(window.grab()); });
         }});
    return shots;
}
