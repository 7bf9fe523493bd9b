// engine_log.csv of any contents, cut into chunks of a size the input picks;
// whatever the loader accepts must write out and read back the same.
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
    const size_t chunk = 1 + data[0] * 7u;
    const std::span<const uint8_t> file(data + 1, size - 1);
    CDeviceECUTracker tracker;
    CEngineLogReader reader(tracker);
    for (size_t at = 0; at < file.size(); at += chunk) {
        reader.Feed(file.subspan(at, std::min(chunk, file.size() - at)));
    }
    reader.Finish();
    if (tracker.GetCount() > CEngineLogReader::kMaxRecords) {
        __builtin_trap();
    }
    // Whatever was read, written as version 4, reads back unchanged.
    const std::string text = CEngineLogFormat::Serialize(tracker);
    CDeviceECUTracker reloaded;
    CEngineLogReader again(reloaded);
    again.Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    again.Finish();
    if (reloaded.GetCount() != tracker.GetCount() ||
        reloaded.getRecordsPerSecond() != tracker.getRecordsPerSecond()) {
        __builtin_trap();
    }
    for (CMNode *a = tracker.GetHead(), *b = reloaded.GetHead(); a != nullptr;
         a = a->next, b = b->next) {
        const auto& x = *static_cast<CDeviceECUTItem*>(a);
        const auto& y = *static_cast<CDeviceECUTItem*>(b);
        if (x.counter != y.counter || x.error_coe != y.error_coe || x.speed != y.speed ||
            x.combustion_press != y.combustion_press) {
            __builtin_trap();
        }
    }
    return 0;
}
