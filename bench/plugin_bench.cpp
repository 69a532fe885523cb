// The whole plug-in as a host runs it: CPU seconds per second of stereo audio at 44.1 kHz
// for host blocks of 64, 512 and 4096 with either input stage, the worst single call at
// block 64, construction times, resident memory, and the plate synthesis per material.
// Run: build-bench/bench/plugin_bench [--benchmark_filter=...]
#include "core/Controlsgui.h"
#include "core/Parameters.h"
#include "tools/VstHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

VstLibrary& library()
{
    static VstLibrary lib(LUSTRANA_PLUGIN_PATH);
    return lib;
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

struct Noise {
    explicit Noise(int n) : left(n), right(n)
    {
        std::mt19937 gen(1);
        std::uniform_real_distribution<float> d(-0.3f, 0.3f);
        for (int i = 0; i < n; i++) {
            left[i] = d(gen);
            right[i] = d(gen);
        }
    }
    std::vector<float> left, right;
};

// An instance with its first plate impulse in use.
std::unique_ptr<VstInstance> primedInstance(float inputStage, float length)
{
    auto fx = library().instantiate();
    fx->setParameter(kInputStage, inputStage);
    fx->setParameter(kLength, length);
    std::vector<float> l(4096), r(4096);
    fx->processStereo(l.data(), r.data(), 512);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    fx->processStereo(l.data(), r.data(), 4096);
    return fx;
}

void BM_Process(benchmark::State& state)
{
    const int block = (int)state.range(0);
    const float stage = state.range(1) ? 0.1f : 0.0f;
    const float length = state.range(2) ? 1.0f : 0.5f;
    auto fx = primedInstance(stage, length);
    Noise in(block);
    std::vector<float> outL(block), outR(block);
    float* ins[2] = {in.left.data(), in.right.data()};
    float* outs[2] = {outL.data(), outR.data()};
    for (auto _ : state)
        fx->processReplacing(ins, outs, block);
    state.counters["cpu_s_per_audio_s"] =
        benchmark::Counter((double)block / 44100.0, benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    state.SetLabel(std::string(stage == 0.0f ? "tube" : "solid") + (length == 1.0f ? " length 1" : ""));
}
BENCHMARK(BM_Process)
    ->ArgsProduct({{64, 512, 4096}, {0, 1}, {0}})
    ->Args({512, 0, 1})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

// Every call timed on its own: the call that carries the convolver's block step is the
// audio thread's worst.
void BM_WorstCallBlock64(benchmark::State& state)
{
    auto fx = primedInstance(0.0f, state.range(0) ? 1.0f : 0.5f);
    Noise in(64);
    std::vector<float> outL(64), outR(64);
    float* ins[2] = {in.left.data(), in.right.data()};
    float* outs[2] = {outL.data(), outR.data()};
    std::vector<double> micros;
    micros.reserve(1 << 20);
    for (auto _ : state) {
        auto t0 = Clock::now();
        fx->processReplacing(ins, outs, 64);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_WorstCallBlock64)->Arg(0)->Arg(1)->MinTime(3.0);

// Plate synthesis plus loadImpulse, per material, at the default "Length" and at 1.
void BM_Synthesis(benchmark::State& state)
{
    static VstIntPtr (*host)(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) =
        [](AEffect*, VstInt32 op, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return op == 1 ? 2400 : 0; };
    Controlsgui fx(host);
    fx.setParameter(kPlateType, (float)state.range(0) * 0.1f);
    fx.setParameter(kLength, state.range(1) ? 1.0f : 0.5f);
    float* none[2] = {nullptr, nullptr};
    std::vector<float> silence(4096);
    float* io[2] = {silence.data(), silence.data()};
    for (auto _ : state) {
        fx.setParameter(kSound, fx.getParameter(kSound) == 0.3f ? 0.30001f : 0.3f);
        fx.processReplacing(none, none, 0);
        while (fx.rebuildPending())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        state.SetIterationTime((double)fx.lastSynthesisMicroseconds() * 1e-6);
        fx.processReplacing(io, io, 4096);  // swap it in so the next one may start
    }
    static const char* names[] = {"Standard Steel", "Thick Steel", "Thin Iron", "Thin Brass", "Elastic"};
    state.SetLabel(std::string(names[state.range(0)]) + (state.range(1) ? ", length 1" : ""));
}
BENCHMARK(BM_Synthesis)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void reportConstructionAndMemory()
{
    long base = residentKb();
    auto t0 = Clock::now();
    auto first = library().instantiate();
    auto t1 = Clock::now();
    auto second = library().instantiate();
    auto t2 = Clock::now();
    long afterTwo = residentKb();
    second.reset();
    std::printf("construction: first instance %.1f ms, second %.1f ms\n",
                std::chrono::duration<double, std::milli>(t1 - t0).count(),
                std::chrono::duration<double, std::milli>(t2 - t1).count());
    long beforePrime = residentKb();
    first->setParameter(kInputStage, 0.0f);
    std::vector<float> l(4096), r(4096);
    first->processStereo(l.data(), r.data(), 512);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    first->processStereo(l.data(), r.data(), 4096);
    std::printf("resident memory: library and two fresh instances +%ld kB; one instance with the "
                "default impulse in use +%ld kB over a fresh one\n",
                afterTwo - base, residentKb() - beforePrime);
}

} // namespace

int main(int argc, char** argv)
{
    reportConstructionAndMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
