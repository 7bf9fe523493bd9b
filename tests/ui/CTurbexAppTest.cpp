#include "app/CTurbexApp.h"
#include "Fakes.h"
#include "SimRig.h"
#include "foundation/TurbexVersion.h"

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(CTurbexApp, SocketStartupFailureShowsTheMessageAndOpensNoWindow) {
    ScriptedUiServices services;
    CTurbexApp::Options options;
    options.socketStartup = [] { return false; };
    bool started = false;
    options.started = [&](CTurbexDlg&) { started = true; };
    CTurbexApp app(std::move(options));
    EXPECT_EQ(app.InitInstance(), 1);
    EXPECT_FALSE(started);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text.toStdString(), "Windows 套接字初始化失败。");
    EXPECT_EQ(services.boxes[0].type & 0x0F, IUiServices::kOk);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(dynamic_cast<CTurbexDlg*>(w), nullptr);
    }
}

TEST(CTurbexApp, RunsTheMainWindowUntilItCloses) {
    SimRig sim;
    sim.Start();
    CTurbexApp::Options options;
    options.device.socketPort = sim.bridge.GetPort();
    options.systemLangId = [] { return uint16_t{0x0804}; };
    std::string title;
    bool wentOnline = false;
    options.started = [&](CTurbexDlg& w) {
        title = w.windowTitle().toStdString();
        // Close the window once the device is online.
        auto* poll = new QTimer(&w);
        QObject::connect(poll, &QTimer::timeout, &w, [&w, &wentOnline] {
            if (w.Device().IsOnline() != 0) {
                wentOnline = true;
                w.close();
            }
        });
        poll->start(10);
    };
    CTurbexApp app(std::move(options));
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(title, "Turbex V1.1.73");
    EXPECT_TRUE(wentOnline);
    EXPECT_EQ(CTextTable::Process().GetLanguage(), 0);
}

// Runs the product for a while; true when it was still running (it takes no
// options and never ends by itself).
bool RunsWith(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY"); // "-platform xcb" would fail here if it were obeyed
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(TURBEX_APP_BINARY), arguments);
    if (!process.waitForStarted(5000)) {
        ADD_FAILURE() << "turbex did not start";
        return false;
    }
    const bool ended = process.waitForFinished(1500);
    if (ended) {
        ADD_FAILURE() << "turbex ended with " << process.exitCode() << ": "
                      << process.readAll().toStdString();
    }
    process.kill();
    process.waitForFinished(5000);
    return !ended;
}

TEST(CTurbexApp, VersionIsAnsweredWithoutTheToolkit) {
    // A platform that cannot start here: the answer comes before the toolkit.
    for (const QStringList& arguments :
         {QStringList{"--version"}, QStringList{"engine_cfg.txt", "--version"}}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TURBEX_APP_BINARY), arguments);
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(process.readAllStandardOutput().toStdString(),
                  std::string("turbex (Turbex) ") + TurbexVersion() + "\n");
        EXPECT_EQ(process.readAllStandardError().toStdString(), "");
    }
    // The window's title names the same version.
    EXPECT_EQ(std::string(CTurbexDlg::kTitle), std::string("Turbex V") + TurbexVersion());
}

TEST(CTurbexApp, CommandLineArgumentsAreIgnored) {
    EXPECT_TRUE(RunsWith({}));
    EXPECT_TRUE(
        RunsWith({"--help", "-platform", "xcb", "-style", "nonexistent", "engine_cfg.txt"}));
}

} // namespace
