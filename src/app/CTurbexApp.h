#pragma once

#include "app/CTurbexDlg.h"

#include <functional>
#include <memory>

// The application object: prepares the process (the socket layer) and runs
// the main window until it closes. No command line, no settings, no single
// instance guard: every start opens a fresh main window.
//
// Thread safety: user-interface thread only.
class CTurbexApp {
public:
    // Shown when the socket layer cannot start (only where it can fail).
    static constexpr const char* kSocketFailure = "Windows 套接字初始化失败。";

    // What the start-up is made of; the defaults are the tool's own.
    struct Options {
        std::function<bool()> socketStartup;            // default: the platform's
        CDeviceBase::Options device;                    // default: 127.0.0.1:8987
        std::function<std::unique_ptr<IEcuView>()> ecu; // default: the ECU protocol object
        std::function<uint16_t()> systemLangId;         // default: from the locale
        // Default: the tool's pages and dialogs (DefaultFactories) when the
        // ECU view is the real protocol object.
        CTurbexDlg::PageDialogFactories factories;
        // Called once the main window exists, before it runs (tests).
        std::function<void(CTurbexDlg&)> started;
    };

    CTurbexApp();
    explicit CTurbexApp(Options options);

    // Starts the socket layer (on failure: the message box, exit code 1, no
    // window), then creates the main window and runs it modally; 0 when it
    // has closed. A QApplication must exist.
    int InitInstance();

    // The system language identifier of the current locale.
    [[nodiscard]] static uint16_t SystemLangId();

private:
    Options m_options;
};

// The program: a toolkit application that is shown no command-line argument
// (arguments are ignored, the toolkit's own included), then CTurbexApp. The
// one exception is --version (anywhere on the line): it prints
// "turbex (Turbex) VERSION" on standard output and returns 0 before the
// toolkit is created, so no window opens and no display is needed.
int TurbexMain(int argc, char** argv);
