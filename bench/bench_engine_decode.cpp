// Time to decode one telemetry set and one parameter set of each generation,
// from the register reads to the decoded fields.
#include "engine/CEcuLiveState.h"
#include "engine/CEcuParameters.h"
#include "engine/CEcuTelemetryRead.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

namespace {

using Page = std::array<uint8_t, 32>;

Page Filled(uint8_t header, uint8_t seed) {
    Page p{};
    p[0] = header;
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 1; i < p.size(); ++i) {
        x = x * 1103515245u + 12345u;
        p[i] = static_cast<uint8_t>(x >> 16);
    }
    return p;
}

void ItemTelemetrySet(benchmark::State& state) {
    CEcuTelemetryContext ctx;
    ctx.generation = EcuGeneration::Item;
    const Page packets[] = {Filled((2 << 3) | 2, 1), Filled((1 << 3) | 2, 2)};
    CEcuLiveState live;
    for (auto _ : state) {
        CEcuTelemetryRead t(ctx);
        size_t i = 0;
        while (t.next()) {
            t.feed(packets[i++ % 2]);
        }
        benchmark::DoNotOptimize(t.apply(live));
        benchmark::DoNotOptimize(live.displayError());
    }
}
BENCHMARK(ItemTelemetrySet);

void BlockTelemetry(benchmark::State& state) {
    CEcuTelemetryContext ctx;
    ctx.generation = EcuGeneration::Block;
    ctx.formatVersion = 4;
    const Page pages[] = {Filled(0x21, 3), Filled(0x50, 4)};
    CEcuLiveState live;
    for (auto _ : state) {
        CEcuTelemetryRead t(ctx);
        size_t i = 0;
        while (t.next()) {
            t.feed(pages[i++]);
        }
        benchmark::DoNotOptimize(t.apply(live));
        benchmark::DoNotOptimize(live.displayError());
    }
}
BENCHMARK(BlockTelemetry);

template <size_t N>
void ParameterSet(benchmark::State& state, const Page (&reads)[N]) {
    CEcuParameters p;
    for (auto _ : state) {
        CEcuParameterRead read = p.beginRead();
        size_t i = 0;
        while (read.next()) {
            read.feed(reads[i++ % N]);
        }
        benchmark::DoNotOptimize(p.applyRead(read));
    }
}

void ItemParameterSet(benchmark::State& state) {
    const Page reads[] = {Filled((1 << 3) | 2, 5), Filled((2 << 3) | 2, 6), Filled(0, 7)};
    ParameterSet(state, reads);
}
BENCHMARK(ItemParameterSet);

void BlockParameterSet(benchmark::State& state) {
    const Page reads[] = {Filled(3, 8), Filled(0, 9), Filled(0, 10)};
    ParameterSet(state, reads);
}
BENCHMARK(BlockParameterSet);

// getText of all 79 text ids, as the settings panel's show-values does.
void AllTexts(benchmark::State& state) {
    CEcuParameters p;
    CEcuParameterRead read = p.beginRead();
    const Page reads[] = {Filled((1 << 3) | 2, 5), Filled((2 << 3) | 2, 6), Filled(0, 7)};
    for (size_t i = 0; read.next(); ++i) {
        read.feed(reads[i % 3]);
    }
    (void)p.applyRead(read);
    CEcuParameters::Text t;
    for (auto _ : state) {
        for (int id = 1; id <= 79; ++id) {
            benchmark::DoNotOptimize(p.getText(id, t));
        }
    }
}
BENCHMARK(AllTexts);

} // namespace

BENCHMARK_MAIN();
