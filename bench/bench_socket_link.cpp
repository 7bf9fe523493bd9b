// Socket link against the simulator's bridge, side by side with a raw
// loopback round trip of the same frame sizes.

#include "BenchReport.h"
#include "device/CDeviceLinkSocket.h"
#include "platform/Clock.h"
#include "platform/Socket.h"
#include "sim/Bus.h"
#include "sim/SimUnit.h"
#include "sim/TcpBridge.h"

#include <atomic>
#include <thread>

namespace {

struct AcceptingLink : CDeviceLinkSocket {
    using CDeviceLinkSocket::CDeviceLinkSocket;
    ~AcceptingLink() override { Stop(); }
    int32_t OnLinkState(int32_t, int32_t) override { return 1; }
};

struct Rig {
    Rig() {
        bus.Attach(31, &unit);
        if (!bridge.Start()) {
            std::abort();
        }
        link = std::make_unique<AcceptingLink>(bridge.GetPort());
        (void)link->Start();
        while (!link->IsConnected()) {
            platform::SleepMs(1);
        }
    }
    sim::Bus bus;
    sim::SimUnit unit;
    sim::TcpBridge bridge{bus, 0};
    std::unique_ptr<AcceptingLink> link;
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

// A bare echo over loopback: 6 request bytes out, 35 reply bytes back, as a
// 32-byte read costs on the wire.
void BM_RawLoopbackRoundTrip(benchmark::State& state) {
    uint16_t port = 0;
    const int listener = platform::TcpListen("127.0.0.1", 0, &port, nullptr);
    std::atomic<bool> stop{false};
    std::thread server([&] {
        const int c = platform::TcpAccept(listener, 5000);
        uint8_t in[64];
        uint8_t out[35] = {0xFF, 0xFE, 0xFD};
        while (!stop) {
            const long n = platform::SocketRecv(c, in, sizeof in);
            if (n <= 0) {
                break;
            }
            (void)platform::SocketSend(c, out, sizeof out);
        }
        platform::SocketClose(c);
    });
    const int s = platform::TcpConnect("127.0.0.1", port, 1000, nullptr);
    const uint8_t request[6] = {0xFF, 0xFE, 0xFD, 0xF8, 0x3F, 0x38};
    uint8_t reply[64];
    for (auto _ : state) {
        (void)platform::SocketSend(s, request, sizeof request);
        size_t got = 0;
        while (got < 35) {
            const long n = platform::SocketRecv(s, reply + got, sizeof reply - got);
            if (n <= 0) {
                state.SkipWithError("echo failed");
                break;
            }
            got += static_cast<size_t>(n);
        }
    }
    stop = true;
    platform::SocketShutdown(s);
    platform::SocketClose(s);
    server.join();
    platform::SocketClose(listener);
}
BENCHMARK(BM_RawLoopbackRoundTrip)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_SocketLinkRead32(benchmark::State& state) {
    Rig& rig = TheRig();
    uint8_t buffer[32];
    int64_t failures = 0;
    for (auto _ : state) {
        failures += rig.link->Read(31, 1, 32, buffer) == 1 ? 0 : 1;
    }
    state.counters["failures"] = static_cast<double>(failures);
    state.counters["tx/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SocketLinkRead32)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

void BM_SocketLinkWrite32(benchmark::State& state) {
    Rig& rig = TheRig();
    uint8_t data[32] = {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.link->Write(31, 7, 32, data, 0));
    }
    state.counters["tx/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SocketLinkWrite32)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double raw = reporter.Ns("BM_RawLoopbackRoundTrip/min_time:1.000");
    const double link = reporter.Ns("BM_SocketLinkRead32/min_time:1.000/real_time");
    if (raw > 0 && link > 0) {
        std::printf("\nsocket link read of 32 bytes: %.1f us, %.0f transactions/s\n", link / 1e3, 1e9 / link);
        std::printf("raw loopback round trip:      %.1f us\n", raw / 1e3);
        std::printf("ratio link / raw:             %.2f\n", link / raw);
    }
    benchmark::Shutdown();
    return 0;
}
