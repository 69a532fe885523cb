#include "core/Rand15.h"

namespace rand15 {

namespace {
thread_local Generator perThread;
}

int next()
{
    return perThread.next();
}

Generator& thisThread()
{
    return perThread;
}

void reset(uint32_t seed)
{
    perThread.reset(seed);
}

} // namespace rand15
