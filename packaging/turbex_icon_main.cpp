// turbex-icon: writes the window's icon as the PNG files of the hicolor icon
// theme, so that the desktop entry shows exactly the picture the window
// carries (AppIcon, drawn from resources/turbex.svg).
//   turbex-icon --out DIR [--svg FILE] [--sizes 48,256]
// writes DIR/NxN/apps/turbex.png for each size (default 16 to 256); with
// --svg it draws FILE instead, e.g. the icon a package installed. A build and
// check tool of the Debian package; it needs no display.

#include "app/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The offscreen platform's notice that no runtime folder is set is no news
// for a tool that only draws; everything else is shown.
void Messages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg && text.contains("XDG_RUNTIME_DIR")) {
        return;
    }
    std::fprintf(stderr, "turbex-icon: %s\n", qPrintable(text));
}

int Usage() {
    std::fprintf(stderr, "Usage: turbex-icon --out DIR [--svg FILE] [--sizes N,N...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QString out;
    QString svg;
    std::vector<int> sizes = {16, 24, 32, 48, 64, 128, 256};
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            out = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--svg") == 0 && hasValue) {
            svg = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--sizes") == 0 && hasValue) {
            sizes.clear();
            for (const QString& s : QString::fromLocal8Bit(argv[++i]).split(',')) {
                bool ok = false;
                const int size = s.toInt(&ok);
                if (!ok || size < 1 || size > 1024) {
                    return Usage();
                }
                sizes.push_back(size);
            }
        } else {
            return Usage();
        }
    }
    if (out.isEmpty()) {
        return Usage();
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(&Messages);
    int toolkitArgc = 1;
    QGuiApplication application(toolkitArgc, argv);
    const QIcon icon = svg.isEmpty() ? AppIcon() : AppIconFrom(svg);
    if (icon.isNull()) {
        std::fprintf(stderr,
                     "turbex-icon: cannot read the icon %s\n",
                     svg.isEmpty() ? "resource" : qPrintable(svg));
        return 1;
    }
    for (int size : sizes) {
        const QString dir = QString("%1/%2x%2/apps").arg(out).arg(size);
        const QPixmap pixmap = icon.pixmap(size, size);
        if (!QDir().mkpath(dir) || pixmap.width() != size ||
            !pixmap.save(dir + "/turbex.png", "PNG")) {
            std::fprintf(stderr, "turbex-icon: cannot write %s/turbex.png\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
