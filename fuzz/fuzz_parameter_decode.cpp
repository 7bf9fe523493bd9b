// Arbitrary register bytes through the parameter read sequence of both
// generations, then the whole text interface and commit building over
// whatever was decoded.
#include "engine/CEcuParameters.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    std::span<const uint8_t> chunk(size_t want) {
        const size_t n = std::min(want, size - std::min(pos, size));
        std::span<const uint8_t> s(data + pos, n);
        pos += n;
        return s;
    }
    bool done() const { return pos >= size; }
};

void Read(CEcuParameters& p, Input& in) {
    CEcuParameterRead read = p.beginRead();
    int guard = 0;
    while (auto request = read.next()) {
        if (++guard > 64) {
            __builtin_trap(); // a read sequence must end by itself
        }
        const uint8_t control = in.byte();
        if (in.done() || (control & 0x0F) == 0x0F) {
            read.fail();
        } else {
            // Mostly whole pages, sometimes short replies.
            read.feed(in.chunk((control & 0x80) != 0 ? control & 0x1F : request->length));
        }
    }
    p.applyRead(read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    CEcuParameters p;
    for (int round = 0; round < 2 && !in.done(); ++round) {
        Read(p, in);
        for (int id = 0; id <= 81; ++id) {
            CEcuParameters::Text t;
            if (p.getText(id, t) == 1) {
                (void)p.setFromText(id, t.text, t.value);
            }
            const uint8_t b = in.byte();
            const double v = static_cast<int8_t>(b) * (b & 1 ? 1000.0 : 0.37);
            (void)p.setParameter(id, v);
            (void)p.supported(id);
            (void)p.value(id);
        }
        (void)p.setTemperatureUnit(in.byte());
        (void)p.setPumpMode(in.byte());
        (void)p.setTelemetryProtocol(in.byte());
        const auto name = in.chunk(in.byte() & 0x3F);
        (void)p.setEngineName(
            std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
        (void)p.engineName();
        const CEcuCommitPlan plan = p.buildCommit();
        for (const CEcuRegisterWrite& w : plan.writes()) {
            if (w.length == 0 || w.length > 32) {
                __builtin_trap();
            }
        }
        p.commitDone(plan, in.byte() % (plan.size() + 1));
        (void)p.temperatureCalibration(in.byte());
        (void)p.telemetryContext();
        if ((in.byte() & 3) == 0) {
            p.requestReread();
        }
    }
    return 0;
}
