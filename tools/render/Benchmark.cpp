#include "tools/render/Benchmark.h"

#include "tools/render/OfflineRenderer.h"

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

} // namespace

void Benchmark::run(VstLibrary& library, double seconds)
{
    const double rate = 44100.0;
    const int sizes[] = {64, 512, 4096};

    // Switching on a fresh instance builds its plate and warms its tube stage up.
    std::printf("switching on (first resume) at 44.1 kHz:");
    for (float length : {0.5f, 1.0f}) {
        OfflineRenderer fresh(library, rate, 512);
        fresh.plugin().setParameter(6, length);
        double before = threadCpuSeconds();
        fresh.start();
        std::printf("  %.1f ms CPU at \"Length\" %.1f", (threadCpuSeconds() - before) * 1000.0, length);
        std::fflush(stdout);
    }
    std::printf("\n");

    OfflineRenderer renderer(library, rate, 4096);
    renderer.start();
    VstInstance& plugin = renderer.plugin();

    std::vector<float> inL(4096), inR(4096), outL(4096), outR(4096);
    uint32_t state = 1;
    auto noise = [&]() {
        state = state * 1664525u + 1013904223u;
        return ((float)(state >> 8) / 8388608.0f - 1.0f) * 0.25f;
    };
    const int64_t frames = (int64_t)(seconds * rate);
    std::printf("processing %.1f s of noise at 44.1 kHz, default program, plate impulse of %.2f s:\n", seconds,
                (plugin.getParameter(6) * 310000.0 + 11025.0) / rate);
    for (int size : sizes) {
        double cpu = 0.0;
        for (int64_t done = 0; done < frames; done += size) {
            if (renderInterrupted.load())
                throw std::runtime_error("interrupted");
            int n = (int)std::min<int64_t>(size, frames - done);
            for (int i = 0; i < n; i++) {
                inL[i] = noise();
                inR[i] = noise();
            }
            float* inputs[2] = {inL.data(), inR.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            double before = threadCpuSeconds();
            plugin.processReplacing(inputs, outputs, n);
            cpu += threadCpuSeconds() - before;
        }
        double perSecond = cpu / ((double)frames / rate);
        std::printf("  block %4d: %6.1f ms CPU per second of audio  (%.1fx real time on one core)\n", size,
                    perSecond * 1000.0, perSecond > 0 ? 1.0 / perSecond : 0.0);
        std::fflush(stdout);
    }
}
