#include "core/Rand15.h"

namespace rand15 {

namespace {
thread_local uint32_t state = 1;
}

int next()
{
    state = state * 214013u + 2531011u;
    return (int)((state >> 16) & 0x7FFF);
}

void reset(uint32_t seed)
{
    state = seed;
}

} // namespace rand15
