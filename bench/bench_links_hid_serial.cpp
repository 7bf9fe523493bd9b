// Transactions per second through the simulated HID dongle and through the
// simulated serial adapter on a pseudo-terminal; for the serial link also the
// ratio of the time per transaction to the time its frame bytes need on a
// 100000-baud 8N1 wire (10 bits per byte).

#include "device/CDeviceLinkHID.h"
#include "device/CDeviceLinkUart.h"
#include "platform/Clock.h"
#include "platform/NamedSerialPort.h"
#include "sim/Bus.h"
#include "sim/HidDongle.h"
#include "sim/HidDongleSet.h"
#include "sim/RegisterFileUnit.h"
#include "sim/SerialAdapterPty.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>

namespace {

class AcceptingHID : public CDeviceLinkHID {
public:
    using CDeviceLinkHID::CDeviceLinkHID;
    ~AcceptingHID() override { Stop(); }
    int32_t OnLinkState(int32_t, int32_t) override { return 1; }
};

class AcceptingUart : public CDeviceLinkUart {
public:
    using CDeviceLinkUart::CDeviceLinkUart;
    ~AcceptingUart() override { Stop(); }
    int32_t OnLinkState(int32_t, int32_t) override { return 1; }
};

template <typename Cond>
bool WaitFor(Cond cond) {
    const uint32_t start = platform::TickCount();
    while (!cond()) {
        if (platform::TickCount() - start > 3000) {
            return false;
        }
        platform::SleepMs(1);
    }
    return true;
}

struct Rig {
    Rig() { bus.Attach(31, &unit); }
    sim::Bus bus;
    sim::RegisterFileUnit unit;
};

// state.range(0): 0 read 32 bytes, 1 write the 2-byte poll request.
void BM_HidTransaction(benchmark::State& state) {
    Rig rig;
    sim::HidDongle dongle(rig.bus, "bench-hid");
    sim::HidDongleSet devices;
    devices.Add(dongle);
    AcceptingHID link(&devices);
    (void)link.Start();
    if (!WaitFor([&] { return link.IsConnected(); })) {
        state.SkipWithError("dongle not announced");
        return;
    }
    const bool write = state.range(0) != 0;
    std::array<uint8_t, 32> buffer{};
    const uint8_t poll[2] = {0xFF, 0x29};
    for (auto _ : state) {
        const int r = write ? link.Write(31, 1, 2, poll, 0) : link.Read(31, 1, 32, buffer.data());
        if (r != 0) {
            state.SkipWithError("transaction failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(write ? "write 2" : "read 32");
}
BENCHMARK(BM_HidTransaction)->Arg(0)->Arg(1)->UseRealTime();

void BM_SerialTransaction(benchmark::State& state) {
    Rig rig;
    sim::SerialAdapterPty adapter(rig.bus);
    std::string error;
    if (!adapter.Start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    platform::NamedSerialPort ports(
        adapter.PtyPath(), CDeviceLinkUart::kVendorId, CDeviceLinkUart::kProductId);
    AcceptingUart link(&ports);
    (void)link.Start();
    if (!WaitFor([&] { return link.IsConnected(); })) {
        state.SkipWithError("adapter not announced");
        return;
    }
    const bool write = state.range(0) != 0;
    std::array<uint8_t, 32> buffer{};
    const uint8_t poll[2] = {0xFF, 0x29};
    const uint64_t bytesBefore = adapter.BytesReceived() + adapter.BytesSent();
    const uint32_t requestsBefore = adapter.Adapter().Requests();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const int r = write ? link.Write(31, 1, 2, poll, 0) : link.Read(31, 1, 32, buffer.data());
        if (r != 1) {
            state.SkipWithError("transaction failed");
            break;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double n = static_cast<double>(state.iterations());
    const double bytes =
        static_cast<double>(adapter.BytesReceived() + adapter.BytesSent() - bytesBefore) / n;
    const double wireSeconds = bytes * 10.0 / 100000.0;
    state.SetItemsProcessed(state.iterations());
    state.counters["frame_bytes"] = bytes;
    // Attempts beyond one per transaction (replies missed in the window).
    state.counters["retries"] =
        static_cast<double>(adapter.Adapter().Requests() - requestsBefore) - n;
    state.counters["wire_us"] = wireSeconds * 1e6;
    state.counters["ratio_to_wire"] = (seconds / n) / wireSeconds;
    state.SetLabel(write ? "write 2" : "read 32");
}
BENCHMARK(BM_SerialTransaction)->Arg(0)->Arg(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
