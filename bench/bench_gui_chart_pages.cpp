// The RPM-vs-EGT and pump pages: one full redraw of each at 1920 x 1080 (the
// drawing and the block copy to the frame), and the CPU the window's process
// spends per second while the pump page is shown and recording (its 20 ms
// timer redraws when a sample came), next to the same window showing another
// page and to what a redraw on every tick would cost, measured side by side
// in one run. The simulated ECU runs in a child process, so that only
// the window's process is measured. Qt's offscreen platform.

#include "BenchReport.h"
#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "app/DefaultFactories.h"
#include "charts/qt/CCanvasWidget.h"
#include "platform/Clock.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "ui/CTabCtrl.h"
#include "ui/panels/CDialogPump.h"
#include "ui/panels/CDialogRpmTemp.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

namespace {

// Processor time of one redraw per benchmark, ms (the machine may be shared,
// so the wall-clock time alone can mislead).
std::map<std::string, double> g_cpuMsPerRedraw;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The page resized so that its chart frame is width x height, and shown.
template <typename Page>
void ShowWithFrame(Page& page, int width, int height) {
    page.show();
    page.resize(page.size() + QSize(width, height) - page.Chart()->size());
    QApplication::processEvents();
}

void BM_RpmTempRedraw1920x1080(benchmark::State& state) {
    CDialogRpmTemp page;
    ShowWithFrame(page, 1920, 1080);
    // Every one of the 111 bins filled.
    for (int32_t j = 0; j < 111; ++j) {
        page.AddSample(50000 + 1000 * j, 400 + 5 * j, static_cast<uint16_t>(50 + 4 * j), 0.1f * j);
    }
    const double cpu0 = ThreadCpuMs();
    for (auto _ : state) {
        benchmark::DoNotOptimize(page.Redraw());
    }
    g_cpuMsPerRedraw["RpmTemp"] = (ThreadCpuMs() - cpu0) / static_cast<double>(state.iterations());
    state.SetLabel(page.Chart()->size() == QSize(1920, 1080) ? "1920x1080" : "wrong size");
}
BENCHMARK(BM_RpmTempRedraw1920x1080)->Unit(benchmark::kMillisecond);

void BM_PumpRedraw1920x1080(benchmark::State& state) {
    CDialogPump page;
    ShowWithFrame(page, 1920, 1080);
    for (int32_t i = 0; i < CPumpSamples::kCapacity; ++i) {
        page.AddSample(2, 5000 + (i * 37) % 3000, static_cast<uint16_t>(150 + (i * 13) % 100));
    }
    const double cpu0 = ThreadCpuMs();
    for (auto _ : state) {
        benchmark::DoNotOptimize(page.Redraw());
    }
    g_cpuMsPerRedraw["Pump"] = (ThreadCpuMs() - cpu0) / static_cast<double>(state.iterations());
    state.SetLabel(page.Chart()->size() == QSize(1920, 1080) ? "1920x1080, 20000 samples"
                                                             : "wrong size");
}
BENCHMARK(BM_PumpRedraw1920x1080)->Unit(benchmark::kMillisecond);

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The simulated ECU with a running engine, in a child process; returns its
// pid and the bridge's port through *port.
pid_t StartSimulator(uint16_t* port) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::abort();
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive the benchmark
        sim::SimEcuConfig config;
        config.switchOn = true;
        config.throttle = 60.0;
        config.autoStart = true;
        sim::SimEcuSystem system(config);
        sim::TcpBridge bridge(system.bus, 0);
        if (!bridge.Start()) {
            _exit(1);
        }
        sim::RealTimeDriver driver([&](uint32_t ms) { system.Step(ms); });
        (void)driver.Start();
        const uint16_t p = bridge.GetPort();
        (void)!write(fds[1], &p, sizeof p);
        close(fds[1]);
        for (;;) {
            platform::SleepMs(1000); // ended by SIGTERM from the parent
        }
    }
    close(fds[1]);
    if (read(fds[0], port, sizeof *port) != sizeof *port) {
        std::abort();
    }
    close(fds[0]);
    return pid;
}

struct CpuFigure {
    double percentOfCore = 0.0;
    int32_t samples = 0; // pump samples recorded meanwhile
};

CpuFigure MeasureTab(CTurbexDlg& window, CDialogPump& pump, int32_t tab, int ms) {
    (void)window.Tab()->SetCurSel(tab);
    window.OnTabChange(tab);
    RunEvents(500); // settle
    const int32_t before = pump.Recorder().Count();
    const double cpu0 = CpuSeconds();
    const uint32_t t0 = platform::TickCount();
    RunEvents(ms);
    const double cpu = CpuSeconds() - cpu0;
    const double seconds = (platform::TickCount() - t0) / 1000.0;
    return {100.0 * cpu / seconds, pump.Recorder().Count() - before};
}

int MeasureWindowCpu(uint16_t port) {
    CTurbexDlg::Setup setup;
    setup.device = [&] {
        CDeviceBase::Options options;
        options.socketPort = port;
        return std::make_unique<CDeviceBase>(options);
    }();
    auto view = std::make_unique<CEcuViewECU>();
    setup.factories = DefaultFactories(view->Ecu());
    setup.ecu = std::move(view);
    CTurbexDlg window(std::move(setup));
    window.show();
    auto* pump = dynamic_cast<CDialogPump*>(window.Panel(CTurbexDlg::kPanelPump));
    if (pump == nullptr) {
        return 1;
    }
    // Online, the engine started and the pump running.
    for (int waited = 0; pump->Recorder().Count() < 10; waited += 100) {
        if (waited > 30000) {
            std::fprintf(stderr, "bench_gui_chart_pages: no pump samples within 30 s\n");
            return 1;
        }
        RunEvents(100);
    }
    constexpr int kMs = 4000;
    std::printf("\nCPU of the window's process (%% of one core), %d s each:\n", kMs / 1000);
    for (const QSize size : {window.size(), QSize(1920, 1080)}) {
        window.resize(size);
        const CpuFigure other = MeasureTab(window, *pump, CTurbexDlg::kPanelCurrentState, kMs);
        const CpuFigure shown = MeasureTab(window, *pump, CTurbexDlg::kPanelPump, kMs);
        const QSize frame = pump->Chart()->size();
        // What drawing on every tick would cost instead: one redraw 50 times
        // a second.
        constexpr int kRedraws = 50;
        const double cpu0 = CpuSeconds();
        for (int i = 0; i < kRedraws; ++i) {
            (void)pump->Redraw();
        }
        const double perRedraw = (CpuSeconds() - cpu0) / kRedraws;
        std::printf("  window %dx%d (pump chart %dx%d): another page %.2f %%, pump page shown "
                    "and recording %.2f %% (%d samples), difference %.2f %%; a redraw every "
                    "20 ms would add %.2f %% (%.2f ms a redraw)\n",
                    size.width(),
                    size.height(),
                    frame.width(),
                    frame.height(),
                    other.percentOfCore,
                    shown.percentOfCore,
                    shown.samples,
                    shown.percentOfCore - other.percentOfCore,
                    100.0 * perRedraw * 50.0,
                    perRedraw * 1000.0);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The child is made before any thread or Qt object exists.
    uint16_t port = 0;
    const pid_t simulator = StartSimulator(&port);

    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double rpm = reporter.Ns("BM_RpmTempRedraw1920x1080") / 1e6;
    const double pumpMs = reporter.Ns("BM_PumpRedraw1920x1080") / 1e6;
    std::printf("\nOne full redraw at 1920x1080: RPM-vs-EGT page %.2f ms (processor %.2f ms), "
                "pump page %.2f ms (processor %.2f ms)\n",
                rpm,
                g_cpuMsPerRedraw["RpmTemp"],
                pumpMs,
                g_cpuMsPerRedraw["Pump"]);

    const int result = MeasureWindowCpu(port);
    kill(simulator, SIGTERM);
    waitpid(simulator, nullptr, 0);
    benchmark::Shutdown();
    return result;
}
