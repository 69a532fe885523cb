#include "bench/common/Calls.h"

#include "bench/common/Measure.h"
#include "core/Parameters.h"

#include <chrono>
#include <thread>
#include <vector>

namespace bench {

CallTimes callTimes(Stream& s, int calls)
{
    std::vector<double> cpu, wall;
    cpu.reserve(calls);
    wall.reserve(calls);
    for (int i = 0; i < calls; i++) {
        const double w0 = wallSeconds();
        const double c0 = threadCpuSeconds();
        s.run(s.block);
        const double c1 = threadCpuSeconds();
        const double w1 = wallSeconds();
        cpu.push_back((c1 - c0) * 1e6);
        wall.push_back((w1 - w0) * 1e6);
    }
    return {percentile(cpu, 99.0), percentile(wall, 99.0), percentile(cpu, 100.0)};
}

CallTimes swapCallTimes(VstLibrary& lib, int swaps)
{
    constexpr int kBlock = 64;
    auto s = lustranaStream(lib, kBlock, 1.0f);
    float* ins[2] = {s->in.left.data(), s->in.right.data()};
    float* outs[2] = {s->outL.data(), s->outR.data()};
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long samples = 0;
    std::vector<double> cpu, wall;
    for (int swap = 0; swap < swaps; swap++) {
        s->fx->setParameter(kSound, swap % 2 ? 0.3f : 0.30001f);
        for (int i = 0; i < (int)(0.8 * kRate) / kBlock; i++) {
            // in step with the clock, as a host's audio thread is
            std::this_thread::sleep_until(start + std::chrono::microseconds((long)(samples * 1e6 / kRate)));
            const double w0 = wallSeconds();
            const double c0 = threadCpuSeconds();
            s->fx->processReplacing(ins, outs, kBlock);
            const double c1 = threadCpuSeconds();
            const double w1 = wallSeconds();
            samples += kBlock;
            cpu.push_back((c1 - c0) * 1e6);
            wall.push_back((w1 - w0) * 1e6);
        }
    }
    return {percentile(cpu, 99.0), percentile(wall, 99.0), percentile(cpu, 100.0)};
}

} // namespace bench
