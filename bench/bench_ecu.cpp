// The ECU protocol object against the simulated ECU over the socket link:
// the poll-cycle period, the process CPU time while connected and idle, and
// the run-log download rate next to the link's own read rate, all measured in
// the same run.

#include "BenchReport.h"
#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "platform/Clock.h"
#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

struct Rig {
    explicit Rig(uint32_t prefill = 0) {
        if (prefill > 0) {
            system.Prefill(prefill, 9);
        }
        if (!bridge.Start()) {
            std::abort();
        }
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        device = std::make_unique<CDeviceBase>(options);
        device->SetEventHandler(&Rig::OnEvent, this);
        ecu = std::make_unique<CDeviceECU>();
        ecu->attach(device.get());
        device->Start();
    }
    ~Rig() {
        ecu.reset();
        device.reset();
    }
    static int32_t OnEvent(int32_t event, int32_t value, void* self) {
        auto* r = static_cast<Rig*>(self);
        if (event == CDeviceECU::kTelemetry) {
            std::lock_guard lock(r->lock);
            const uint32_t period = r->ecu->lastCyclePeriodMs();
            if (period != 0) {
                r->periods.push_back(period);
            }
        } else if (event == CDeviceECU::kDownload) {
            (value != 0 ? r->downloadStart : r->downloadEnd) = platform::TickCount();
            r->downloadEvents++;
        }
        return 1;
    }
    sim::SimEcuSystem system;
    sim::TcpBridge bridge{system.bus, 0};
    std::unique_ptr<CDeviceBase> device;
    std::unique_ptr<CDeviceECU> ecu;
    std::mutex lock;
    std::vector<uint32_t> periods;
    std::atomic<uint32_t> downloadStart{0}, downloadEnd{0};
    std::atomic<int> downloadEvents{0};
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

void BM_PollCyclePeriod(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig;
        const double cpuStart = CpuSeconds();
        const uint32_t start = platform::TickCount();
        for (;;) {
            platform::SleepMs(50);
            std::lock_guard lock(rig.lock);
            if (rig.periods.size() >= 200) {
                break;
            }
        }
        const double seconds = (platform::TickCount() - start) / 1000.0;
        const double cpu = CpuSeconds() - cpuStart;
        std::vector<uint32_t> p;
        {
            std::lock_guard lock(rig.lock);
            p = rig.periods;
        }
        std::sort(p.begin(), p.end());
        state.counters["median_ms"] = p[p.size() / 2];
        state.counters["p99_ms"] = p[p.size() * 99 / 100];
        state.counters["max_ms"] = p.back();
        state.counters["min_ms"] = p.front();
        state.counters["cpu_ms_per_s"] = cpu * 1000 / seconds;
    }
}
BENCHMARK(BM_PollCyclePeriod)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_LinkRead32(benchmark::State& state) {
    Rig rig;
    for (;;) { // telemetry flowing: the unit is online
        platform::SleepMs(5);
        std::lock_guard lock(rig.lock);
        if (!rig.periods.empty()) {
            break;
        }
    }
    uint8_t buffer[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.device->Read(14, 32, buffer));
    }
}
BENCHMARK(BM_LinkRead32)->MinTime(1.0)->Unit(benchmark::kMicrosecond)->UseRealTime();

constexpr uint32_t kRecords = 6000;

void BM_RunLogDownload(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig(kRecords);
        while (rig.downloadEvents.load() < 2) {
            platform::SleepMs(5);
        }
        const double seconds = (rig.downloadEnd.load() - rig.downloadStart.load()) / 1000.0;
        state.SetIterationTime(seconds);
        CMLockGuard lock(rig.ecu->tracker().getLock());
        state.counters["records"] = rig.ecu->tracker().GetCount();
    }
}
BENCHMARK(BM_RunLogDownload)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double read = reporter.Ns("BM_LinkRead32/min_time:1.000/real_time");
    const double download = reporter.Ns("BM_RunLogDownload/iterations:1/manual_time");
    if (read > 0 && download > 0) {
        const double readsPerSecond = 1e9 / read;
        const double recordsPerSecond = kRecords / (download / 1e9);
        std::printf(
            "\nlink reads: %.0f transactions/s (two records per bulk read: limit %.0f records/s)\n",
            readsPerSecond,
            2 * readsPerSecond);
        std::printf("run-log download: %.0f records/s, ratio to the link's limit %.2f\n",
                    recordsPerSecond,
                    recordsPerSecond / (2 * readsPerSecond));
    }
    benchmark::Shutdown();
    return 0;
}
