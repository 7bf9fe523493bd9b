#include "app/main/ScreenshotShots.h"

#include "app/CTurbexDlg.h"
#include "ui/dialogs/CColorEdit.h"
#include "ui/dialogs/CDialogTest.h"
#include "ui/dialogs/CDialogTestECU.h"
#include "ui/dialogs/CDialogTestTCU.h"
#include "ui/dialogs/CDialogUpdateFw.h"

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
    // The modeless test dialogs, opened as their buttons do, grabbed once the
    // ECU test has shown a telemetry set, then hidden again.
    const auto modeless = [](void (CTurbexDlg::*open)(),
                             std::function<QDialog*(CTurbexDlg&)> find,
                             std::function<bool(QDialog&)> ready) {
        return [=](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
            (window.*open)();
            QDialog* dialog = find(window);
            if (dialog == nullptr) {
                done(QPixmap());
                return;
            }
            WhenReady(
                dialog,
                [=] { return ready(*dialog); },
                3000,
                [=](bool) {
                    const QPixmap picture = dialog->grab();
                    dialog->hide();
                    done(picture);
                });
        };
    };
    const auto always = [](QDialog&) { return true; };
    shots.push_back({"test_engine",
                     modeless(
                         &CTurbexDlg::OnTestEngine,
                         [](CTurbexDlg& w) { return w.findChild<CDialogTest*>(); },
                         always)});
    shots.push_back({"test_ecu",
                     modeless(
                         &CTurbexDlg::OnEcuTest,
                         [](CTurbexDlg& w) { return w.findChild<CDialogTestECU*>(); },
                         [](QDialog& d) {
                             const QString power = static_cast<CDialogTestECU&>(d)
                                                       .Result(CDialogTestECU::kRowPowerVoltage)
                                                       ->text();
                             return !power.isEmpty() && power != QStringLiteral("????");
                         })});
    shots.push_back({"test_tcu",
                     modeless(
                         &CTurbexDlg::OnTcuTest,
                         [](CTurbexDlg& w) { return w.findChild<CDialogTestTCU*>(); },
                         always)});
    // The firmware dialog runs modally: grabbed from a timer inside its
    // modal run, then closed, which ends the run.
    shots.push_back({"firmware", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         QTimer::singleShot(300, &window, [&window, done] {
                             auto* dialog = window.findChild<CDialogUpdateFw*>();
                             if (dialog == nullptr || !dialog->isVisible()) {
                                 done(QPixmap());
                                 return;
                             }
                             const QPixmap picture = dialog->grab();
                             dialog->reject();
                             done(picture);
                         });
                         window.OnUpdate();
                     }});
    return shots;
}
