#include "app/main/ScreenshotShots.h"

#include "app/CTurbexDlg.h"
#include "ui/CTabCtrl.h"
#include "ui/panels/CDialogTrack.h"
#include "ui/panels/CStaticTrack.h"

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
    // The history page once the simulator's stored log is downloaded, with the
    // cursor box over the chart's left third.
    shots.push_back(
        {"history", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
             // The page's tab (second in the strip) and the page.
             (void)window.Tab()->SetCurSel(1);
             window.OnTabChange(CTurbexDlg::kPanelTrack);
             auto* page = dynamic_cast<CDialogTrack*>(window.Panel(CTurbexDlg::kPanelTrack));
             if (page == nullptr) {
                 done(QPixmap());
                 return;
             }
             WhenReady(
                 &window,
                 [page] { return page->Chart().loading() == 0 && page->RecordCount() > 0; },
                 30000,
                 [&window, page, done](bool ready) {
                     if (!ready) {
                         done(QPixmap());
                         return;
                     }
                     const QRect chart = page->ChartHost()->geometry();
                     page->OnChartMouseMove(QPoint(chart.left() + chart.width() / 3,
                                                   chart.top() + chart.height() / 2));
                     done(window.grab());
                 });
         }});
    return shots;
}
