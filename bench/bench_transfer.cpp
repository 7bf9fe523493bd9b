// Firmware transfer of a 256 KiB image over the socket link to the simulated
// boot loader, both protocols, next to the link's own limit measured in the
// same run: plain write transactions per second times the payload bytes one
// block transaction carries.

#include "BenchReport.h"
#include "device/CDeviceBase.h"
#include "platform/Clock.h"
#include "sim/Bus.h"
#include "sim/SimUnit.h"
#include "sim/TcpBridge.h"

#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kImageSize = 256 * 1024;

struct Rig {
    explicit Rig(bool blockProtocol) {
        unit.bootLoader.config.blockProtocol = blockProtocol;
        unit.bootLoader.config.blocksPerBatch = 32;
        unit.bootLoader.config.blockSize = 31;
        unit.bootLoader.config.eraseTimeCode = 0;
        unit.bootLoader.config.eraseDurationMs = 0;
        unit.bootLoader.config.busyReadsPerBatch = 0;
        unit.status.identity.bootLoader = true; // measure the data, not the 200 ms mode switch
        bus.Attach(31, &unit);
        if (!bridge.Start()) {
            std::abort();
        }
        CDeviceBase::Options options;
        options.socketPort = bridge.GetPort();
        device = std::make_unique<CDeviceBase>(options);
        (void)device->CDeviceLinkSocket::Start();
        while (device->IsLinkUp() == 0) {
            platform::SleepMs(1);
        }
        (void)device->StatusPoll();
        device->OnOnline(1);
    }
    sim::Bus bus;
    sim::SimUnit unit;
    sim::TcpBridge bridge{bus, 0};
    std::unique_ptr<CDeviceBase> device;
};

void RunTransfer(benchmark::State& state, bool blockProtocol) {
    std::vector<uint8_t> image(kImageSize);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 13);
    }
    int64_t failures = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Rig rig(blockProtocol);
        (void)rig.device->RequestTransfer(image.data(), kImageSize);
        state.ResumeTiming();
        failures += rig.device->Transfer() == 1 ? 0 : 1;
        state.PauseTiming();
        rig.bus.WithLock([&] {
            if (!std::equal(image.begin(), image.end(), rig.unit.bootLoader.Image().begin())) {
                ++failures;
            }
        });
        state.ResumeTiming();
    }
    state.counters["failures"] = static_cast<double>(failures);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
}

void BM_TransferBlockProtocol(benchmark::State& state) { RunTransfer(state, true); }
void BM_TransferClassicProtocol(benchmark::State& state) { RunTransfer(state, false); }
BENCHMARK(BM_TransferBlockProtocol)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_TransferClassicProtocol)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_PlainWrite32(benchmark::State& state) {
    Rig rig(true);
    rig.unit.status.identity.bootLoader = false; // plain registers
    uint8_t data[32] = {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.device->Write(9, 32, data, 0));
    }
}
BENCHMARK(BM_PlainWrite32)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double write = reporter.Ns("BM_PlainWrite32/min_time:1.000/real_time");
    const double block = reporter.Ns("BM_TransferBlockProtocol/iterations:2/real_time");
    const double classic = reporter.Ns("BM_TransferClassicProtocol/iterations:2/real_time");
    if (write > 0 && block > 0 && classic > 0) {
        const double writesPerSecond = 1e9 / write;
        const double blockRate = kImageSize / (block / 1e9);
        const double classicRate = kImageSize / (classic / 1e9);
        std::printf("\nplain writes: %.0f transactions/s\n", writesPerSecond);
        std::printf("block protocol:   %8.0f bytes/s, link limit %8.0f bytes/s (31 per write), ratio %.2f\n",
                    blockRate, writesPerSecond * 31, blockRate / (writesPerSecond * 31));
        std::printf("classic protocol: %8.0f bytes/s, link limit %8.0f bytes/s (32 per write), ratio %.2f"
                    " (two writes per block)\n",
                    classicRate, writesPerSecond * 32, classicRate / (writesPerSecond * 32));
        std::printf("(each transfer includes the unit's 500 ms application restart)\n");
    }
    benchmark::Shutdown();
    return 0;
}
