#include "toolkit/TickCount.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<uint32_t (*)()> tickSource{nullptr};  // test clock, or null for the real one
}

uint32_t getTickCount()
{
    if (auto source = tickSource.load(std::memory_order_relaxed))
        return source();
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return (uint32_t)std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

void setTickCountSource(uint32_t (*source)())
{
    tickSource.store(source, std::memory_order_relaxed);
}
