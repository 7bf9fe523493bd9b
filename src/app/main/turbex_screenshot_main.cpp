// turbex-screenshot: opens the tool's main window against a running bridge,
// waits until the unit is online and its values have arrived, and saves a
// picture of the window in English and in Chinese. For machines without a
// display (run it with QT_QPA_PLATFORM=offscreen) and for the README's run
// command. Not the product: the product takes no arguments.

#include "app/CTurbexApp.h"
#include "app/CTurbexDlg.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Saves the window once it has been online for a while (parameters and a few
// telemetry sets read), then closes it; gives up after timeoutMs.
void ShootWhenOnline(CTurbexDlg& window, const QString& path, bool* saved) {
    auto* timer = new QTimer(&window);
    auto onlineSince = std::make_shared<qint64>(-1);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, onlineSince, waited, path, saved] {
        *waited += 100;
        const bool online = window.Device().IsOnline() != 0 && window.Ecu().isReady() != 0;
        if (online && *onlineSince < 0) {
            *onlineSince = *waited;
        }
        if ((online && *waited - *onlineSince >= 1500) || *waited > 20000) {
            timer->stop();
            if (online) {
                *saved = window.grab().save(path, "PNG");
            }
            window.close();
        }
    });
    timer->start(100);
}

} // namespace

int main(int argc, char** argv) {
    long port = 8987;
    std::string out = "build/screenshots";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else {
            std::fprintf(stderr, "Usage: turbex-screenshot [--port N] [--out DIR]\n");
            return 2;
        }
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QDir().mkpath(QString::fromStdString(out));

    int failures = 0;
    for (const auto& [langId, name] : {std::pair<uint16_t, const char*>{0x0409, "turbex_main_en.png"},
                                       std::pair<uint16_t, const char*>{0x0804, "turbex_main_zh.png"}}) {
        const QString path = QDir(QString::fromStdString(out)).absoluteFilePath(QString::fromUtf8(name));
        bool saved = false;
        CTurbexApp::Options options;
        options.device.socketPort = static_cast<uint16_t>(port);
        options.systemLangId = [id = langId] { return id; };
        options.started = [&](CTurbexDlg& window) { ShootWhenOnline(window, path, &saved); };
        CTurbexApp app(std::move(options));
        (void)app.InitInstance();
        if (saved) {
            std::printf("screenshot: %s\n", path.toUtf8().constData());
        } else {
            std::fprintf(stderr, "turbex-screenshot: the unit did not come online on port %ld\n", port);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
