// turbex-screenshot: opens the tool's main window against a running bridge,
// waits until the unit is online and its values have arrived, and saves a
// picture of the window and of each page and dialog (ScreenshotShots) in
// English and in Chinese. For machines without a display (run it with
// QT_QPA_PLATFORM=offscreen) and for the README's run command. Not the
// product: the product takes no arguments.

#include "app/CTurbexApp.h"
#include "app/CTurbexDlg.h"
#include "app/main/ScreenshotShots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct Run {
    QString dir;
    const char* language = "en";
    std::vector<ScreenshotShot> shots;
    size_t next = 0;
    int saved = 0;
    int failed = 0;
};

// Takes the shots one after another, then closes the window.
void TakeNext(CTurbexDlg& window, const std::shared_ptr<Run>& run) {
    if (run->next >= run->shots.size()) {
        window.close();
        return;
    }
    const ScreenshotShot& shot = run->shots[run->next++];
    const QString path = QDir(run->dir).absoluteFilePath(
        QString::fromStdString("turbex_" + shot.name + "_" + run->language + ".png"));
    shot.take(window, [&window, run, path, name = shot.name](const QPixmap& picture) {
        if (!picture.isNull() && picture.save(path, "PNG")) {
            std::printf("screenshot: %s\n", path.toUtf8().constData());
            ++run->saved;
        } else {
            std::fprintf(stderr, "turbex-screenshot: no picture of %s\n", name.c_str());
            ++run->failed;
        }
        // Let the shot's dialogs close before the next one starts.
        QTimer::singleShot(200, &window, [&window, run] { TakeNext(window, run); });
    });
}

// Starts the shots once the window has been online for a while (parameters
// and a few telemetry sets read); gives up after 20 s offline.
void ShootWhenOnline(CTurbexDlg& window, const std::shared_ptr<Run>& run) {
    auto onlineSince = std::make_shared<qint64>(-1);
    auto waited = std::make_shared<int>(0);
    WhenReady(
        &window,
        [&window, onlineSince, waited] {
            *waited += 100;
            const bool online = window.Device().IsOnline() != 0 && window.Ecu().isReady() != 0;
            if (online && *onlineSince < 0) {
                *onlineSince = *waited;
            }
            return online && *waited - *onlineSince >= 1500;
        },
        20000,
        [&window, run](bool online) {
            if (!online) {
                ++run->failed;
                window.close();
                return;
            }
            TakeNext(window, run);
        });
}

} // namespace

int main(int argc, char** argv) {
    long port = 8987;
    std::string out = "build/screenshots";
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "Usage: turbex-screenshot [--port N] [--out DIR] [--only NAME]\n");
            return 2;
        }
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QDir().mkpath(QString::fromStdString(out));

    int failures = 0;
    for (const auto& [langId, language] : {std::pair<uint16_t, const char*>{0x0409, "en"},
                                           std::pair<uint16_t, const char*>{0x0804, "zh"}}) {
        auto run = std::make_shared<Run>();
        run->dir = QString::fromStdString(out);
        run->language = language;
        for (ScreenshotShot& shot : ScreenshotShots()) {
            if (only.empty() || shot.name == only) {
                run->shots.push_back(std::move(shot));
            }
        }
        CTurbexApp::Options options;
        options.device.socketPort = static_cast<uint16_t>(port);
        options.systemLangId = [id = langId] { return id; };
        options.started = [run](CTurbexDlg& window) { ShootWhenOnline(window, run); };
        CTurbexApp app(std::move(options));
        (void)app.InitInstance();
        if (run->saved == 0 && run->failed == 0) {
            std::fprintf(
                stderr, "turbex-screenshot: the unit did not come online on port %ld\n", port);
            ++failures;
        }
        failures += run->failed;
    }
    return failures == 0 ? 0 : 1;
}
