#include "app/main/ScreenshotShots.h"

#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "ui/CTabCtrl.h"
#include "ui/CUiServices.h"
#include "ui/dialogs/CDialogPassword.h"
#include "ui/panels/CDialogCurrentState.h"
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
                         window.OnTabChange(CTurbexDlg::kPanelCurrentState);
                         done(window.grab());
                     }});
    // The history page once the simulator's stored log is downloaded, with the
    // cursor box over the chart's left third.
    shots.push_back(
        {"history", [](CTurbexDlg& window, std::function<void(const QPixmap&)> done) {
             (void)window.Tab()->SetCurSel(CTurbexDlg::kPanelTrack);
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
