#include "bench/common/Measure.h"

#include <algorithm>
#include <vector>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace bench {

namespace {

double clockSeconds(clockid_t id)
{
    timespec t{};
    clock_gettime(id, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

} // namespace

double processCpuSeconds() { return clockSeconds(CLOCK_PROCESS_CPUTIME_ID); }
double threadCpuSeconds() { return clockSeconds(CLOCK_THREAD_CPUTIME_ID); }
double wallSeconds() { return clockSeconds(CLOCK_MONOTONIC); }

double cpuPerAudioSecond(const std::function<void()>& chunk, int samplesPerChunk, double minCpu)
{
    long samples = 0;
    const double start = processCpuSeconds();
    double now = start;
    do {
        chunk();
        samples += samplesPerChunk;
        now = processCpuSeconds();
    } while (now - start < minCpu);
    return (now - start) / ((double)samples / kRate);
}

double median(std::vector<double> v)
{
    return percentile(std::move(v), 50.0);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    size_t i = (size_t)((p / 100.0) * (double)(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

long residentKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

namespace {

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) float sumAvx2(const float* p, size_t n)
{
    typedef float V __attribute__((vector_size(32)));
    V a = {}, b = {}, c = {}, d = {};
    for (size_t i = 0; i + 32 <= n; i += 32) {
        V x, y, z, w;
        __builtin_memcpy(&x, p + i, 32);
        __builtin_memcpy(&y, p + i + 8, 32);
        __builtin_memcpy(&z, p + i + 16, 32);
        __builtin_memcpy(&w, p + i + 24, 32);
        a += x;
        b += y;
        c += z;
        d += w;
    }
    V t = (a + b) + (c + d);
    return t[0] + t[7];
}
#endif

float sumPortable(const float* p, size_t n)
{
    typedef float V __attribute__((vector_size(16)));
    V a = {}, b = {}, c = {}, d = {};
    for (size_t i = 0; i + 16 <= n; i += 16) {
        V x, y, z, w;
        __builtin_memcpy(&x, p + i, 16);
        __builtin_memcpy(&y, p + i + 4, 16);
        __builtin_memcpy(&z, p + i + 8, 16);
        __builtin_memcpy(&w, p + i + 12, 16);
        a += x;
        b += y;
        c += z;
        d += w;
    }
    V t = (a + b) + (c + d);
    return t[0] + t[3];
}

} // namespace

double streamReadBandwidth()
{
    const size_t n = size_t(16) << 20;   // 64 MB of floats
    std::vector<float> data(n, 1.0f);
    double best = 1e9;
    volatile float sink = 0.0f;
    for (int rep = 0; rep < 4; rep++) {
        const double t0 = wallSeconds();
#if defined(__x86_64__) || defined(__i386__)
        sink = __builtin_cpu_supports("avx2") ? sumAvx2(data.data(), n) : sumPortable(data.data(), n);
#else
        sink = sumPortable(data.data(), n);
#endif
        best = std::min(best, wallSeconds() - t0);
    }
    (void)sink;
    return (double)(n * sizeof(float)) / best;
}

} // namespace bench
