#include "app/main/ScreenshotShots.h"

#include "app/CTurbexDlg.h"
#include "ui/CTabCtrl.h"
#include "ui/panels/CDialogPump.h"
#include "ui/panels/CDialogRpmTemp.h"

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

namespace {

// Selects the page of slot as the user does, then grabs the window once
// ready(page, ms waited) holds or after timeoutMs (at once when the slot has
// no page of that kind).
template <typename Page>
void ShootPage(CTurbexDlg& window,
               int32_t slot,
               int timeoutMs,
               std::function<bool(Page&, int waitedMs)> ready,
               std::function<void(const QPixmap&)> done) {
    (void)window.Tab()->SetCurSel(slot);
    window.OnTabChange(slot);
    auto* page = dynamic_cast<Page*>(window.Panel(slot));
    if (page == nullptr) {
        done(window.grab());
        return;
    }
    auto waited = std::make_shared<int>(0);
    WhenReady(
        &window,
        [page, waited, ready] {
            *waited += 100;
            return ready(*page, *waited);
        },
        timeoutMs,
        [&window, done](bool) { done(window.grab()); });
}

int32_t FilledBins(const CDialogRpmTemp& page) {
    int32_t filled = 0;
    for (const RpmTempBin& bin : page.Bins().Bins()) {
        filled += bin.egt != 0 ? 1 : 0;
    }
    return filled;
}

} // namespace

std::vector<ScreenshotShot> ScreenshotShots() {
    std::vector<ScreenshotShot> shots;
    // The main window as it opens: the status panel and the first page.
    shots.push_back({"main", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         window.OnTabChange(CTurbexDlg::kPanelCurrentState);
                         done(window.grab());
                     }});
    // The RPM-vs-EGT page once a running engine has stopped adding bins (it
    // fills them while its RPM changes, so a steady engine shows one point);
    // an engine at rest adds none: then the empty chart.
    shots.push_back({"rpm_temp", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         struct Progress {
                             int32_t filled = 0;
                             int steadyFor = 0;
                         };
                         auto progress = std::make_shared<Progress>();
                         ShootPage<CDialogRpmTemp>(
                             window,
                             CTurbexDlg::kPanelRpmTemp,
                             30000,
                             [progress](CDialogRpmTemp& page, int waited) {
                                 const int32_t filled = FilledBins(page);
                                 progress->steadyFor =
                                     filled == progress->filled ? progress->steadyFor + 100 : 0;
                                 progress->filled = filled;
                                 const bool atRest = waited >= 2000 && page.Bins().Last().rpm == 0;
                                 return atRest || (filled >= 1 && progress->steadyFor >= 1500);
                             },
                             done);
                     }});
    // The pump page after a few seconds of recording a running pump (at
    // once when no pump runs).
    shots.push_back({"pump", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         ShootPage<CDialogPump>(
                             window,
                             CTurbexDlg::kPanelPump,
                             10000,
                             [](CDialogPump& page, int waited) {
                                 const int32_t count = page.Recorder().Count();
                                 return count >= 40 || (waited >= 2000 && count == 0);
                             },
                             done);
                     }});
    return shots;
}
