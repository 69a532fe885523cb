// Cost of the tube stage per second of stereo audio at 44.1 kHz and 96 kHz, and of one
// build of the tube tables.
#include "core/TubeStage.h"
#include "core/TubeTables.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

void stageOneSecond(benchmark::State& state)
{
    const float rate = static_cast<float>(state.range(0));
    float period = 1.0f / rate;
    TubeStage stage(period);
    const int samples = static_cast<int>(rate);
    std::vector<float> in(samples);
    for (int n = 0; n < samples; ++n)
        in[n] = 0.3f * std::sin(2.0f * 3.14159265f * 441.0f * n / rate);
    // Past the warm-up, so the fade is running as in normal use.
    float a, b;
    for (int n = 0; n < samples * 2; ++n)
        stage.process(in[n % samples], -in[n % samples], a, b);
    for (auto _ : state) {
        float sum = 0.0f;
        for (int n = 0; n < samples; ++n) {
            stage.process(in[n], -in[n], a, b);
            sum += a + b;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetLabel("time per iteration = CPU seconds per second of stereo audio");
}
BENCHMARK(stageOneSecond)->Arg(44100)->Arg(96000)->Unit(benchmark::kMillisecond);

void tableBuild(benchmark::State& state)
{
    auto tables = std::make_unique<TubeTables>();
    for (auto _ : state) {
        TubeTables::fill(*tables);
        benchmark::DoNotOptimize(tables->pairs[0][0][0][0]);
    }
}
BENCHMARK(tableBuild)->Unit(benchmark::kMillisecond);

// The plain fill, one powf per term, for comparison.
void tableBuildPlain(benchmark::State& state)
{
    auto tables = std::make_unique<TubeTables>();
    const TubeTables& ref = TubeTables::instance();
    const float step = 2.0f / 44099.0f;
    for (auto _ : state) {
        for (int t = 0; t < TubeTables::kTables; ++t)
            for (int r = 0; r < TubeTables::kRows; ++r)
                for (int c = 0; c <= TubeTables::kLastColumn; ++c) {
                    const float x = static_cast<float>(c) * step - 1.0f;
                    float sum = 0.0f;
                    for (int k = 0; k <= 20; ++k)
                        sum += powf(x, static_cast<float>(k)) * ref.at(t, r, 0);   // cost only
                    tables->pairs[t / 2][r][c][t % 2] = sum;
                }
        benchmark::DoNotOptimize(tables->pairs[0][0][0][0]);
    }
}
BENCHMARK(tableBuildPlain)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
