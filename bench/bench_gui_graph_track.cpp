// The history chart's full redraw (draw the whole 1920 x 1080 surface and
// hand it to the host control in one block copy) with a full run log of
// 32767 records and all 18 series shown, against a plain fill of the same
// surface measured in the same run. Goal: under 8 ms a redraw, so that
// scrolling and the cursor keep up with 60 frames a second.
//
// Cases: the zoom step (1 pixel a record visits about 1900 records a curve,
// 4 about 475), the view at the newest records or scrolled to the middle of
// the log (the walk to the first visible record), the cursor box shown or
// not, and autoscale (one more pass over the visible records).

#include "BenchReport.h"
#include "charts/CGraphTrack.h"
#include "charts/qt/CCanvasQt.h"
#include "charts/qt/CCanvasWidget.h"
#include "records/CDeviceECUTracker.h"
#include "sim/SimRunLog.h"

#include <QApplication>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t kFullLog = 32767;
constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// The simulated ECU's stored log of count records, downloaded as the record
// thread does it.
void FillFullLog(CDeviceECUTracker& tracker) {
    sim::SimRunLog ecu(2, kFullLog);
    ecu.Prefill(kFullLog, 3);
    for (const auto& write : std::vector<std::vector<uint8_t>>{
             {0xE1, 0x01, 0x00}, {0xD2, 0x00, 0x00}, {0x7C}, {0xC3, 0x01}}) {
        ecu.Write13(write);
    }
    std::array<uint8_t, 32> read{};
    for (int32_t i = 0; i < (kFullLog + 1) / 2; ++i) {
        ecu.Read13(32, read.data());
        (void)tracker.parseBulkRead(2, read);
    }
}

struct Rig {
    CDeviceECUTracker tracker;
    CCanvasWidget host;
    CGraphTrack chart;

    Rig() {
        FillFullLog(tracker);
        host.resize(kWidth, kHeight);
        host.show(); // the chart presents only into a visible host
        chart.attach(&host, &tracker, [] { return 900; });
    }
};

// Made once the application exists, gone before it ends.
std::unique_ptr<Rig> g_rig;

Rig& TheRig() {
    if (!g_rig) {
        g_rig = std::make_unique<Rig>();
    }
    return *g_rig;
}

// Arguments: zoom step, scrolled to the middle (0/1), cursor shown (0/1),
// autoscale (0/1).
void BM_FullRedraw(benchmark::State& state) {
    Rig& rig = TheRig();
    if (rig.tracker.GetCount() != kFullLog) {
        state.SkipWithError("the log is not full");
        return;
    }
    CGraphTrack& chart = rig.chart;
    while (chart.zoomStep() > state.range(0)) {
        (void)chart.zoom(-1);
    }
    while (chart.zoomStep() < state.range(0)) {
        (void)chart.zoom(1);
    }
    chart.relayout();
    chart.setSeriesMask(CGraphTrackModel::kAllSeries |
                        (state.range(3) != 0 ? CGraphTrackModel::kAutoscaleBit : 0u));
    chart.setScroll(state.range(1) != 0 ? kFullLog / 2 : 0);
    const CanvasRect plot = chart.model().GetLayout().plot;
    if (state.range(2) != 0) {
        (void)chart.mouseMove(plot.left + plot.Width() / 3, plot.top + plot.Height() / 2);
    } else {
        (void)chart.mouseMove(-1, -1);
    }
    for (auto _ : state) {
        chart.present();
        benchmark::DoNotOptimize(rig.host.Shown().constBits());
    }
}
BENCHMARK(BM_FullRedraw)
    ->ArgNames({"zoom", "middle", "cursor", "autoscale"})
    ->Args({4, 0, 0, 0})
    ->Args({4, 1, 1, 0})
    ->Args({1, 0, 0, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 1, 1})
    ->Unit(benchmark::kMillisecond);

// A plain fill of a surface of the same size, the floor any redraw stands on.
void BM_PlainFill(benchmark::State& state) {
    CCanvasQt surface(kWidth, kHeight);
    uint8_t shade = 0;
    for (auto _ : state) {
        surface.FillRect(0, 0, kWidth, kHeight, Rgb(shade, shade, shade));
        ++shade;
        benchmark::DoNotOptimize(surface.Image().constBits());
    }
}
BENCHMARK(BM_PlainFill)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double fillReal = reporter.Ns("BM_PlainFill");
    const double fillCpu = reporter.CpuNs("BM_PlainFill");
    if (fillReal > 0 && fillCpu > 0) {
        std::printf("\nplain fill of %d x %d: %.2f ms real, %.2f ms CPU\n",
                    kWidth,
                    kHeight,
                    fillReal / 1e6,
                    fillCpu / 1e6);
        std::printf("full redraw of %d records, 18 series (goal: under 8 ms):\n", kFullLog);
        for (const auto& [name, real] : reporter.nsPerIteration) {
            if (name.rfind("BM_FullRedraw/", 0) == 0) {
                const double cpu = reporter.CpuNs(name);
                std::printf("  %-38s %6.2f ms real (%5.1f x fill)  %6.2f ms CPU (%5.1f x fill)\n",
                            name.c_str() + 14,
                            real / 1e6,
                            real / fillReal,
                            cpu / 1e6,
                            cpu / fillCpu);
            }
        }
    }
    g_rig.reset();
    benchmark::Shutdown();
    return 0;
}
