#include "bench/common/Measure.h"

#include <algorithm>
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

} // namespace bench
