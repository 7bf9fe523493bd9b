#include "app/main/ScreenshotShots.h"

#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "ui/CTabCtrl.h"
#include "ui/CUiServices.h"
#include "ui/dialogs/CColorEdit.h"
#include "ui/dialogs/CDialogPassword.h"
#include "ui/dialogs/CDialogTest.h"
#include "ui/dialogs/CDialogTestECU.h"
#include "ui/dialogs/CDialogTestTCU.h"
#include "ui/dialogs/CDialogUpdateFw.h"
#include "ui/panels/CDialogCurrentState.h"
#include "ui/panels/CDialogPump.h"
#include "ui/panels/CDialogRpmTemp.h"
#include "ui/panels/CDialogSimulate.h"
#include "ui/panels/CDialogTrack.h"
#include "ui/panels/CStaticTrack.h"

#include "ui/dialogs/CDialogSetting.h"
#include <QLineEdit>
#include <QPushButton>

#include <QApplication>
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

// Types the engineering password into the password dialog, as a user would,
// and leaves every other window to the toolkit.
class PasswordTyper : public CUiServices {
public:
    int32_t RunModal(QDialog& dialog) override {
        auto* password = dynamic_cast<CDialogPassword*>(&dialog);
        if (password == nullptr) {
            return CUiServices::RunModal(dialog);
        }
        password->Edit()->setText(QString::fromUtf8(CTurbexDlg::kUnlockWord));
        password->Control<QPushButton>(CDialogPassword::kIdOk)->click();
        return dialog.result();
    }
};

// The engineering and simulator tabs, through the "KVRW" button and the
// password; then the tab of slot is selected as a user would select it.
void UnlockAndSelect(CTurbexDlg& window, int32_t slot) {
    if (window.Tab()->GetItemCount() <= CTurbexDlg::kPanelKvrw) {
        PasswordTyper typer;
        SetUiServices(&typer);
        window.Control<QPushButton>(CTurbexDlg::kKvrw)->click();
        SetUiServices(nullptr);
    }
    (void)window.Tab()->SetCurSel(slot);
    window.OnTabChange(slot);
}

using Done = std::function<void(const QPixmap&)>;

// Opens the settings dialog with "Set Param" and, once the values read
// afresh are shown, calls then with the dialog from inside its modal run.
// then must end the run (CDialogSetting::Close).
void WithSettingsDialog(CTurbexDlg& window,
                        const Done& done,
                        std::function<void(CDialogSetting&)> then) {
    QTimer::singleShot(0, &window, [&window, done, then] {
        auto* dialog = dynamic_cast<CDialogSetting*>(QApplication::activeModalWidget());
        auto* ecu = dynamic_cast<CEcuViewECU*>(&window.Ecu());
        if (dialog == nullptr || ecu == nullptr) {
            done(QPixmap());
            return;
        }
        WhenReady(
            dialog,
            [ecu] {
                return ecu->Ecu().withParameters([](CEcuParameters& p) { return !p.dirty(); });
            },
            5000,
            [dialog, then](bool) {
                // Let the parameter notification reach the dialog.
                QTimer::singleShot(300, dialog, [dialog, then] { then(*dialog); });
            });
    });
    window.OnSetParam(); // returns when the dialog is closed
}

} // namespace

std::vector<ScreenshotShot> ScreenshotShots() {
    std::vector<ScreenshotShot> shots;
    // The main window as it opens: the status panel and the first page.
    shots.push_back({"main", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         (void)window.Tab()->SetCurSel(CTurbexDlg::kPanelCurrentState);
                         (void)window.Tab()->SetCurSel(CTurbexDlg::kPanelCurrentState);
                         window.OnTabChange(CTurbexDlg::kPanelCurrentState);
                         done(window.grab());
                     }});
    // The history page once the simulator's stored log is downloaded, with the
    // cursor box over the chart's left third. A running engine (turbex-sim
    // --demo) hands out its stored log only at its next rest, so a few
    // records recorded meanwhile are not yet the picture.
    shots.push_back({"history", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         ShootPage<CDialogTrack>(
                             window,
                             CTurbexDlg::kPanelTrack,
                             120000,
                             [](CDialogTrack& page, int) {
                                 if (page.Chart().loading() != 0 || page.RecordCount() < 100) {
                                     return false;
                                 }
                                 const QRect chart = page.ChartHost()->geometry();
                                 page.OnChartMouseMove(QPoint(chart.left() + chart.width() / 3,
                                                              chart.top() + chart.height() / 2));
                                 return true;
                             },
                             done);
                     }});
    // The "Real State" page with the engine running up (turbex-sim --demo):
    // once the chart holds 20 s of samples; taken as it is after 150 s.
    shots.push_back(
        {"real_state", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
             (void)window.Tab()->SetCurSel(CTurbexDlg::kPanelCurrentState);
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
    // The engineering page, idle.
    shots.push_back({"kvrw", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
                         UnlockAndSelect(window, CTurbexDlg::kPanelKvrw);
                         done(window.grab());
                     }});
    // The radio simulator page once the ECU's JetiBox lines have arrived
    // (turbex-sim --radio jeti); without them it shows the page as it is.
    shots.push_back(
        {"simulate", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
             UnlockAndSelect(window, CTurbexDlg::kPanelSimulate);
             auto* page = dynamic_cast<CDialogBase*>(window.Panel(CTurbexDlg::kPanelSimulate));
             const auto filled = [page] {
                 if (page == nullptr) {
                     return true;
                 }
                 for (int32_t id : {CDialogSimulate::kJetiLine1, CDialogSimulate::kJetiLine2}) {
                     const QString line = page->GetDlgItemText(id);
                     if (line.isEmpty() || line == QStringLiteral("0")) {
                         return false;
                     }
                 }
                 return true;
             };
             WhenReady(&window, filled, 3000, [&window, done](bool) { done(window.grab()); });
         }});
    // The settings dialog with the simulated ECU's values.
    shots.push_back({"settings", [](CTurbexDlg& window, Done done) {
                         WithSettingsDialog(window, done, [done](CDialogSetting& dialog) {
                             // The whole form, also where the screen is
                             // smaller than it (offscreen: 800 x 800) and it scrolls.
                             const QPixmap picture = dialog.Form()->grab();
                             dialog.Close();
                             done(picture);
                         });
                     }});
    // The same in edit mode ("Change Param"), the values no longer greyed;
    // left without sending anything.
    shots.push_back({"settings_edit", [](CTurbexDlg& window, Done done) {
                         WithSettingsDialog(window, done, [done](CDialogSetting& dialog) {
                             dialog.SetEditMode(1);
                             const QPixmap picture = dialog.Form()->grab();
                             dialog.SetEditMode(0);
                             dialog.Close();
                             done(picture);
                         });
                     }});
    // Its altitude table, a modal run inside the settings dialog's.
    shots.push_back({"altitude", [](CTurbexDlg& window, Done done) {
                         WithSettingsDialog(window, done, [done](CDialogSetting& dialog) {
                             QTimer::singleShot(100, &dialog, [&dialog, done] {
                                 const QPixmap picture = dialog.Altpress().grab();
                                 dialog.Close(); // the table's run first, then the dialog's
                                 done(picture);
                             });
                             dialog.OnAltitude();
                         });
                     }});
    return shots;
}
