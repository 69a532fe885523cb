#include "core/Rand15.h"

namespace rand15 {

namespace {
thread_local Generator perThread;
}

int next()
{
    return perThread.next();
}

void reset(uint32_t seed)
{
    perThread.reset(seed);
}

} // namespace rand15
