#include "net/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

namespace kalder {

namespace {
std::mutex g_sinkMutex;
std::shared_ptr<const TraceSink> g_sink; // guarded by g_sinkMutex
std::atomic<bool> g_enabled{false};
} // namespace

void setTraceSink(TraceSink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = sink ? std::make_shared<const TraceSink>(std::move(sink)) : nullptr;
    g_enabled = static_cast<bool>(g_sink);
}

bool traceEnabled() {
    return g_enabled.load(std::memory_order_relaxed);
}

void trace(const char* format, ...) {
    if (!g_enabled.load(std::memory_order_relaxed))
        return;
    std::shared_ptr<const TraceSink> sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (!sink)
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return;
    (*sink)(std::string_view(buffer, n < int(sizeof buffer) ? std::size_t(n) : sizeof buffer - 1));
}

} // namespace kalder
