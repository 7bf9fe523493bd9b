// The "Real State" chart: one full draw of a full ring at 1920 x 1080 (and
// the draw followed by the block copy to a host that keeps the picture, as
// the host control does), and the CPU time per second of this process
// running the tool's window on that page, connected over the socket link to
// a simulated engine that runs in a child process (--demo --run), next to the
// same window with another page in front.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise;
// --draw-only leaves the window out.

#include "BenchReport.h"
#include "app/CEcuViewECU.h"
#include "app/CTurbexDlg.h"
#include "app/DefaultFactories.h"
#include "charts/CGraphDraw.h"
#include "charts/qt/CCanvasQt.h"
#include "foundation/CTextTable.h"
#include "platform/Clock.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"
#include "ui/panels/CDialogCurrentState.h"

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

namespace {

// A visible host; with keep set it holds on to the last picture as the host
// control does, so the next draw pays for its own copy.
class BenchHost : public ICanvasHost {
public:
    BenchHost(CanvasSize size, bool keepPicture)
        : m_size(size)
        , m_keep(keepPicture) {}
    [[nodiscard]] CanvasSize HostSize() const override { return m_size; }
    [[nodiscard]] CanvasRect HostRect() const override {
        return {0, 0, m_size.width, m_size.height};
    }
    [[nodiscard]] bool HostVisible() const override { return true; }
    [[nodiscard]] std::unique_ptr<ICanvas> CreateSurface(int32_t width, int32_t height) override {
        return std::make_unique<CCanvasQt>(width, height);
    }
    void BlockCopy(const ICanvas& surface) override {
        if (m_keep) {
            m_shown = static_cast<const CCanvasQt&>(surface).Image();
        }
    }

private:
    CanvasSize m_size;
    bool m_keep;
    QImage m_shown;
};

CLiveSample Moving(int32_t i) {
    CLiveSample s;
    s.rpm = static_cast<uint32_t>(90000 + 50000 * std::sin(i / 40.0));
    s.egt = static_cast<int16_t>(600 + 150 * std::sin(i / 55.0));
    s.pump_voltage = static_cast<uint16_t>(150 + 100 * std::sin(i / 30.0));
    s.thrust = static_cast<float>(6 + 5 * std::sin(i / 40.0));
    return s;
}

// state.range(0) x state.range(1) pixels; range(2) 1: the host keeps the
// picture; range(3) 1: a new sample before each draw (the titles' values
// change, as on a running engine), 0: the same picture drawn again.
void BM_FullDraw(benchmark::State& state) {
    CTextTable texts;
    texts.SetLanguage(CTextTable::kEnglish);
    uint32_t now = 0;
    BenchHost host({static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1))},
                   state.range(2) != 0);
    CGraphDraw graph(texts, [&] { return now; });
    graph.Attach(&host);
    graph.SetStateLine("Running", 0, 3.4f);
    graph.SetFaultLine("Error: No", 0);
    graph.SetAlternator(true, 13.9f);
    int32_t i = 0;
    for (; i < CGraphDraw::kCapacity; ++i) { // a full ring of moving values
        graph.AddSample(Moving(i));
    }
    const bool moving = state.range(3) != 0;
    const uint32_t before = graph.DrawCount();
    for (auto _ : state) {
        now += CGraphDraw::kDrawIntervalMs + 1;
        if (moving) {
            graph.AddSample(Moving(i++)); // draws
        } else {
            graph.Refresh(true);
        }
    }
    state.counters["draws"] = graph.DrawCount() - before;
}

// The draw alone and with the copy at 1920 x 1080, and with the copy at the
// page's size in the window as it opens; the same picture again and a new
// sample each time.
BENCHMARK(BM_FullDraw)
    ->Args({1920, 1080, 0, 0})
    ->Args({1920, 1080, 1, 0})
    ->Args({1920, 1080, 1, 1})
    ->Args({1037, 482, 1, 0})
    ->Args({1037, 482, 1, 1})
    ->ArgNames({"w", "h", "copy", "new"})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

// --- the window against a running engine ---------------------------------------

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// The simulated engine in a child process, until its pipe closes. Returns the
// child's pid and its bridge's port, or -1.
pid_t StartEngine(uint16_t* port) {
    int ports[2];
    int stop[2];
    if (pipe(ports) != 0 || pipe(stop) != 0) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ports[0]);
        close(stop[1]);
        sim::SimEcuConfig config;
        config.demo = true;
        config.switchOn = true;
        config.autoStart = true;
        sim::SimEcuSystem system(config);
        sim::TcpBridge bridge(system.bus, 0);
        if (!bridge.Start()) {
            _exit(1);
        }
        sim::RealTimeDriver driver([&](uint32_t ms) { system.Step(ms); });
        (void)driver.Start();
        const uint16_t p = bridge.GetPort();
        if (write(ports[1], &p, sizeof p) != static_cast<ssize_t>(sizeof p)) {
            _exit(1);
        }
        char c = 0;
        while (read(stop[0], &c, 1) > 0) {
        }
        driver.Stop();
        bridge.Stop();
        _exit(0);
    }
    close(ports[1]);
    close(stop[0]);
    // The write end stays open in this process: closing it (exit) stops the child.
    uint16_t p = 0;
    if (pid < 0 || read(ports[0], &p, sizeof p) != static_cast<ssize_t>(sizeof p)) {
        return -1;
    }
    close(ports[0]);
    *port = p;
    return pid;
}

void Run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figure {
    double cpuMsPerSecond = 0;
    double drawsPerSecond = 0;
};

Figure Measure(CDialogCurrentState& page, int seconds) {
    const double cpu = CpuSeconds();
    const uint32_t start = platform::TickCount();
    const uint32_t draws = page.Graph().DrawCount();
    Run(seconds * 1000);
    const double elapsed = (platform::TickCount() - start) / 1000.0;
    return {(CpuSeconds() - cpu) * 1000.0 / elapsed, (page.Graph().DrawCount() - draws) / elapsed};
}

void WindowCpu(pid_t engine, uint16_t port) {
    if (engine < 0) {
        std::printf("\nwindow CPU: no simulated engine\n");
        return;
    }
    CTextTable::Process().SetLanguage(CTextTable::kEnglish);
    CTurbexDlg::Setup setup;
    CDeviceBase::Options options;
    options.socketPort = port;
    setup.device = std::make_unique<CDeviceBase>(options);
    auto view = std::make_unique<CEcuViewECU>();
    setup.factories = DefaultFactories(view->Ecu());
    setup.ecu = std::move(view);
    auto window = std::make_unique<CTurbexDlg>(std::move(setup));
    window->show();
    auto* page = dynamic_cast<CDialogCurrentState*>(window->Panel(CTurbexDlg::kPanelCurrentState));
    // Running: the start takes about 12 s.
    CLiveSample newest;
    for (int i = 0; i < 600 && !(page->Graph().Newest(&newest) && newest.state == 5); ++i) {
        Run(100);
    }
    if (newest.state != 5) {
        std::printf("\nwindow CPU: the engine did not run\n");
    } else {
        constexpr int kSeconds = 10;
        window->OnTabChange(CTurbexDlg::kPanelTrack);
        const Figure hidden = Measure(*page, kSeconds);
        window->OnTabChange(CTurbexDlg::kPanelCurrentState);
        const Figure normal = Measure(*page, kSeconds);
        const QSize normalSize = page->size();
        window->resize(1920, 1080);
        window->OnLayout(); // the enlarged layout: the page fills the window
        const Figure large = Measure(*page, kSeconds);
        std::printf(
            "\nwindow connected to a running engine, CPU time per second of this process:\n");
        std::printf("  another page in front:          %6.1f ms/s (%.2f %% of one core)\n",
                    hidden.cpuMsPerSecond,
                    hidden.cpuMsPerSecond / 10);
        std::printf("  Real State page %4dx%-4d:       %6.1f ms/s (%.2f %% of one core), %.1f full "
                    "draws/s\n",
                    normalSize.width(),
                    normalSize.height(),
                    normal.cpuMsPerSecond,
                    normal.cpuMsPerSecond / 10,
                    normal.drawsPerSecond);
        std::printf("  Real State page %4dx%-4d:       %6.1f ms/s (%.2f %% of one core), %.1f full "
                    "draws/s\n",
                    page->width(),
                    page->height(),
                    large.cpuMsPerSecond,
                    large.cpuMsPerSecond / 10,
                    large.drawsPerSecond);
    }
    window.reset();
}

} // namespace

int main(int argc, char** argv) {
    // --draw-only: the draw benchmarks without the window.
    bool window = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--draw-only") {
            window = false;
            argv[i] = argv[--argc];
            break;
        }
    }
    // The engine's process first, before this one has threads of its own.
    uint16_t port = 0;
    const pid_t engine = window ? StartEngine(&port) : -1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto figure = [&](const char* args) {
        const std::string name = std::string("BM_FullDraw/") + args + "/min_time:2.000";
        return std::make_pair(reporter.CpuNs(name) / 1e3, reporter.Ns(name) / 1e3);
    };
    const auto [draw, drawWall] = figure("w:1920/h:1080/copy:0/new:0");
    const auto [copy, copyWall] = figure("w:1920/h:1080/copy:1/new:0");
    const auto [copyNew, copyNewWall] = figure("w:1920/h:1080/copy:1/new:1");
    const auto [page, pageWall] = figure("w:1037/h:482/copy:1/new:0");
    const auto [pageNew, pageNewWall] = figure("w:1037/h:482/copy:1/new:1");
    if (draw > 0 && copy > 0 && copyNew > 0 && page > 0 && pageNew > 0) {
        std::printf("\none full draw at 1920x1080: %.0f us of CPU (%.0f us wall); with the block "
                    "copy %.0f us (%.0f us wall); with a new sample %.0f us (%.0f us wall)\n",
                    draw,
                    drawWall,
                    copy,
                    copyWall,
                    copyNew,
                    copyNewWall);
        std::printf("with the block copy at 1037x482: %.0f us of CPU (%.0f us wall); with a new "
                    "sample %.0f us (%.0f us wall)\n",
                    page,
                    pageWall,
                    pageNew,
                    pageNewWall);
        std::printf("at the limit of 20 full draws a second at 1920x1080, a new sample each: %.1f "
                    "%% of one core\n",
                    20 * copyNew / 1e6 * 100);
    }
    if (window) {
        WindowCpu(engine, port);
    }
    if (engine > 0) {
        kill(engine, SIGTERM);
        waitpid(engine, nullptr, 0);
    }
    benchmark::Shutdown();
    return 0;
}
