// The convolver's cost: per stereo sample including the block step, the block step alone, and
// the multiply-accumulate kernel against a plain scalar loop. Also its resident memory.
#include "dsp/QS_ConvolverP.h"
#include "dsp/ComplexMac.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kHop = 2048;

struct Rig {
    int impulseLength = 0;
    float inLeft = 0.0f;
    float inRight = 0.0f;
    QS_ConvolverP conv{impulseLength, 4096, inLeft, inRight};

    // Loads a noise impulse of `partitions` partitions and runs until the input ring is full.
    void prepare(int partitions)
    {
        std::mt19937 gen(3);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        impulseLength = partitions * kHop;
        float* left = conv.impulseBufferRef(0);
        float* right = conv.impulseBufferRef(1);
        for (int i = 0; i < impulseLength; ++i) {
            left[i] = dist(gen);
            right[i] = dist(gen);
        }
        conv.loadImpulse();
        for (int block = 0; block < partitions + 2; ++block)
            runBlock(kHop);
    }
    void runBlock(int samples)
    {
        for (int i = 0; i < samples; ++i) {
            inLeft = 0.001f * static_cast<float>(i & 255);
            inRight = -inLeft;
            conv.processSample();
        }
    }
};

void BM_ConvolverPerSample(benchmark::State& state)
{
    auto rig = std::make_unique<Rig>();
    rig->prepare(static_cast<int>(state.range(0)));
    const float* out = rig->conv.outputCell(0);
    for (auto _ : state) {
        rig->runBlock(kHop);   // 2048 stereo samples, one block step
        benchmark::DoNotOptimize(*out);
    }
    state.SetItemsProcessed(state.iterations() * kHop);   // stereo samples: 1e9 / rate = ns each
}
BENCHMARK(BM_ConvolverPerSample)->Arg(166)->Arg(394)->Unit(benchmark::kMicrosecond);

void BM_ConvolverBlockStep(benchmark::State& state)
{
    auto rig = std::make_unique<Rig>();
    rig->prepare(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rig->runBlock(kHop - 1);
        const auto start = std::chrono::steady_clock::now();
        rig->conv.processSample();   // this one runs the block step
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_ConvolverBlockStep)->Arg(166)->Arg(394)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The multiply-accumulate over `partitions` rows per channel, with the convolver's row layout
// (4096 + 16 floats per row), both channels: 8 flops per bin.
struct MacRows {
    static constexpr int kStride = 4112;
    int partitions;
    std::vector<float> x, h, acc;
    explicit MacRows(int p) : partitions(p), x(size_t(2) * p * kStride), h(x.size()), acc(2 * kStride)
    {
        std::mt19937 gen(5);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (size_t i = 0; i < x.size(); ++i) {
            x[i] = dist(gen);
            h[i] = dist(gen);
        }
    }
    double flops() const { return 8.0 * 2048 * partitions * 2; }
};

__attribute__((optimize("no-tree-vectorize"))) void scalarMac(float* acc, const float* x,
                                                              const float* h, int half)
{
    for (int k = 0; k < half; ++k) {
        const float xr = x[k], xi = x[k + half], hr = h[k], hi = h[k + half];
        acc[k] += xr * hr - xi * hi;
        acc[k + half] += xi * hr + xr * hi;
    }
}

template <void (*Mac)(float*, const float*, const float*, int)>
void BM_Mac(benchmark::State& state)
{
    MacRows rows(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (int c = 0; c < 2; ++c) {
            float* acc = rows.acc.data() + c * MacRows::kStride;
            const size_t base = size_t(c) * rows.partitions * MacRows::kStride;
            for (int p = 0; p < rows.partitions; ++p)
                Mac(acc, rows.x.data() + base + size_t(p) * MacRows::kStride,
                    rows.h.data() + base + size_t(p) * MacRows::kStride, 2048);
        }
        benchmark::DoNotOptimize(rows.acc.data());
        benchmark::ClobberMemory();
    }
    state.counters["GFLOPs"] = benchmark::Counter(state.iterations() * rows.flops() * 1e-9,
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mac<spectrumMultiplyAccumulate>)->Name("BM_MacVectorised")->Arg(8)->Arg(166)->Arg(394)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mac<scalarMac>)->Name("BM_MacScalar")->Arg(8)->Arg(166)->Arg(394)->Unit(benchmark::kMicrosecond);

double residentMiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0);
}

// Resident memory of one convolver (process RSS differences): after construction, after the
// default impulse (340,000 samples) has been written and loaded, and after it has run long
// enough to fill its 166-row input ring.
void BM_ConvolverResidentMemory(benchmark::State& state)
{
    for (auto _ : state) {
        const double before = residentMiB();
        auto rig = std::make_unique<Rig>();
        const double constructed = residentMiB();
        rig->impulseLength = 340000;
        float* left = rig->conv.impulseBufferRef(0);
        float* right = rig->conv.impulseBufferRef(1);
        for (int i = 0; i < 340000; ++i)
            left[i] = right[i] = 1.0f / (1 + i);
        rig->conv.loadImpulse();
        const double loaded = residentMiB();
        for (int block = 0; block < 170; ++block)
            rig->runBlock(kHop);
        const double running = residentMiB();
        state.counters["MiB_constructed"] = constructed - before;
        state.counters["MiB_loaded"] = loaded - before;
        state.counters["MiB_running"] = running - before;
        state.counters["MiB_mapped"] = static_cast<double>(rig->conv.storageSize()) / (1024.0 * 1024.0);
    }
}
BENCHMARK(BM_ConvolverResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
