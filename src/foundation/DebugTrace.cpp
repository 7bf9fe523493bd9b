#include "foundation/DebugTrace.h"

#include "foundation/StringPrintf.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>

namespace {

std::mutex g_lock;
DebugSink g_sink = nullptr; // under g_lock
void* g_user = nullptr;     // under g_lock
std::atomic<bool> g_enabled{false};

} // namespace

void SetDebugSink(DebugSink sink, void* user) {
    std::lock_guard lock(g_lock);
    g_sink = sink;
    g_user = user;
    g_enabled = sink != nullptr;
}

bool DebugTraceEnabled() {
    return g_enabled.load();
}

void DebugTrace(const char* format, ...) {
    if (!g_enabled.load()) {
        return; // nothing is formatted while no one listens
    }
    va_list args;
    va_start(args, format);
    std::string line = StringPrintfV(format, args);
    va_end(args);
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    std::lock_guard lock(g_lock);
    if (g_sink != nullptr) {
        g_sink(line.c_str(), g_user);
    }
}
