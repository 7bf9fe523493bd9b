#include "app/CTurbexApp.h"

#include "app/CEcuViewECU.h"
#include "app/DefaultFactories.h"
#include "foundation/TurbexVersion.h"
#include "platform/Socket.h"
#include "ui/IUiServices.h"
#include "ui/model/SystemLanguage.h"

#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <cstring>

CTurbexApp::CTurbexApp()
    : CTurbexApp(Options{}) {}

CTurbexApp::CTurbexApp(Options options)
    : m_options(std::move(options)) {
    if (!m_options.socketStartup) {
        m_options.socketStartup = [] { return platform::SocketStartup(); };
    }
    if (!m_options.ecu) {
        m_options.ecu = [] { return std::make_unique<CEcuViewECU>(); };
    }
    if (!m_options.systemLangId) {
        m_options.systemLangId = &CTurbexApp::SystemLangId;
    }
}

uint16_t CTurbexApp::SystemLangId() {
    return SystemLanguage::LangIdFromLocaleName(QLocale::system().name().toStdString());
}

int CTurbexApp::InitInstance() {
    // The toolkit registers its own control classes; nothing to do for them.
    if (!m_options.socketStartup()) {
        (void)UiServices().MessageBox(nullptr,
                                      QString::fromUtf8(kSocketFailure),
                                      QString(),
                                      IUiServices::kOk | IUiServices::kIconError);
        return 1;
    }
    CTurbexDlg::Setup setup;
    setup.device = std::make_unique<CDeviceBase>(m_options.device);
    setup.ecu = m_options.ecu();
    setup.systemLangId = m_options.systemLangId();
    setup.factories = m_options.factories;
    // Without factories of its own, the window gets the tool's pages and
    // dialogs, made on the real ECU protocol object.
    auto* real = dynamic_cast<CEcuViewECU*>(setup.ecu.get());
    if (!setup.factories.panel && real != nullptr) {
        setup.factories = DefaultFactories(real->Ecu());
    }
    auto window = std::make_unique<CTurbexDlg>(std::move(setup));
    if (m_options.started) {
        m_options.started(*window);
    }
    (void)window->exec();
    window.reset(); // ends every device and link thread
    return 0;
}

int TurbexMain(int argc, char** argv) {
    // --version, the one option, is answered before the toolkit exists: no
    // display is needed and no window opens.
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr && std::strcmp(argv[i], "--version") == 0) {
            std::printf("turbex (Turbex) %s\n", TurbexVersion());
            return 0;
        }
    }
    // The toolkit would act on options such as -platform or -style: it is
    // shown the program name only.
    static char fallbackName[] = "turbex";
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    CTurbexApp app;
    return app.InitInstance();
}
