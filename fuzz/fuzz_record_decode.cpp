// Register-13 reads of any bytes, in either record format, handed to the
// tracker as bulk reads, follow reads and single records; the resulting log
// must then survive a save and reload unchanged.
#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFormat.h"
#include "records/CEngineLogReader.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    CDeviceECUTracker tracker;
    const uint8_t control = data[0];
    const uint8_t format = control & 3u; // 0 and 3 must add nothing
    tracker.setPumpVolMultiplier((control & 4u) != 0 ? 10 : 5);
    tracker.setRecordsPerSecond(static_cast<uint8_t>(2u << ((control >> 3) & 3u)));
    size_t at = 1;
    while (at < size) {
        const uint8_t step = data[at++];
        const size_t length = std::min<size_t>(step & 0x3Fu, size - at); // 0..63 bytes
        const std::span<const uint8_t> read(data + at, length);
        at += length;
        const int32_t before = tracker.GetCount();
        int added = 0;
        switch (step >> 6) {
        case 0:
            added = tracker.parseBulkRead(format, read);
            break;
        case 1:
            added = tracker.parseFollowRead(format, read);
            break;
        default:
            added = tracker.decode(format, read);
            break;
        }
        if ((added != 0) != (tracker.GetCount() > before) ||
            (format != 1 && format != 2 && added)) {
            __builtin_trap();
        }
    }
    // Sorted newest first with unique counters.
    for (CMNode* n = tracker.GetHead(); n != nullptr && n->next != nullptr; n = n->next) {
        if (static_cast<CDeviceECUTItem*>(n)->counter <=
            static_cast<CDeviceECUTItem*>(n->next)->counter) {
            __builtin_trap();
        }
    }
    const std::string text = CEngineLogFormat::Serialize(tracker);
    CDeviceECUTracker reloaded;
    CEngineLogReader reader(reloaded);
    reader.Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    reader.Finish();
    if (reloaded.GetCount() != tracker.GetCount() ||
        reloaded.getRecordsPerSecond() != tracker.getRecordsPerSecond()) {
        __builtin_trap();
    }
    for (CMNode *a = tracker.GetHead(), *b = reloaded.GetHead(); a != nullptr;
         a = a->next, b = b->next) {
        const auto& x = *static_cast<CDeviceECUTItem*>(a);
        const auto& y = *static_cast<CDeviceECUTItem*>(b);
        if (x.counter != y.counter || x.engine_rpm != y.engine_rpm ||
            x.temperature != y.temperature || x.fuel_press != y.fuel_press ||
            x.combustion_press != y.combustion_press || x.tcu_temp != y.tcu_temp) {
            __builtin_trap();
        }
    }
    return 0;
}
