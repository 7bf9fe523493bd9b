// Saving and loading a full engine_log.csv (32767 records) and decoding
// downloaded records, in records per second.
#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFile.h"
#include "sim/SimRunLog.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int32_t kFullLog = 32767;

// The bulk reads a simulated ECU sends for count records, two per read.
std::vector<std::array<uint8_t, 32>> BulkReads(uint8_t format, uint32_t count) {
    sim::SimRunLog ecu(format, count);
    ecu.Prefill(count, 3);
    for (const auto& write : std::vector<std::vector<uint8_t>>{
             {0xE1, 0x01, 0x00}, {0xD2, 0x00, 0x00}, {0x7C}, {0xC3, 0x01}}) {
        ecu.Write13(write);
    }
    std::vector<std::array<uint8_t, 32>> reads((count + 1) / 2);
    for (auto& read : reads) {
        ecu.Read13(32, read.data());
    }
    return reads;
}

void FillFullLog(CDeviceECUTracker& tracker) {
    for (const auto& read : BulkReads(2, kFullLog)) {
        (void)tracker.parseBulkRead(2, read);
    }
}

std::string TempPath() {
    return (std::filesystem::temp_directory_path() / "turbex_bench_engine_log.csv").string();
}

void BM_SaveFullLog(benchmark::State& state) {
    CDeviceECUTracker tracker;
    FillFullLog(tracker);
    const std::string path = TempPath();
    for (auto _ : state) {
        if (tracker.save(path) != 1) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * tracker.GetCount());
    std::remove(path.c_str());
}
BENCHMARK(BM_SaveFullLog)->Unit(benchmark::kMillisecond);

void BM_LoadFullLog(benchmark::State& state) {
    CDeviceECUTracker tracker;
    FillFullLog(tracker);
    const std::string path = TempPath();
    if (tracker.save(path) != 1) {
        state.SkipWithError("save failed");
        return;
    }
    CDeviceECUTracker loaded;
    for (auto _ : state) {
        if (loaded.load(path) != 1 || loaded.GetCount() != kFullLog) {
            state.SkipWithError("load failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kFullLog);
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadFullLog)->Unit(benchmark::kMillisecond);

// Decoding a whole download into an empty tracker, as it arrives (oldest
// first); items per second are records per second.
void BM_DecodeDownload(benchmark::State& state) {
    const auto format = static_cast<uint8_t>(state.range(0));
    const auto reads = BulkReads(format, kFullLog);
    for (auto _ : state) {
        CDeviceECUTracker tracker;
        for (const auto& read : reads) {
            benchmark::DoNotOptimize(tracker.parseBulkRead(format, read));
        }
        if (tracker.GetCount() != kFullLog) {
            state.SkipWithError("records lost");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kFullLog);
}
BENCHMARK(BM_DecodeDownload)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
