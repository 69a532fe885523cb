// RealFft forward + inverse of 4096 points against FFTW's single-precision r2c + c2r of the
// same size, in the same run (FFTW planned with FFTW_MEASURE, out of place).
#include "dsp/RealFft.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#ifdef LUSTRANA_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr int kSize = 4096;

std::vector<float> noise(int n)
{
    std::mt19937 gen(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x)
        v = dist(gen);
    return x;
}

void BM_RealFftRoundTrip(benchmark::State& state)
{
    RealFft fft(kSize);
    std::vector<float> x = noise(kSize), f(kSize), y(kSize);
    for (auto _ : state) {
        fft.forward(f.data(), x.data());
        fft.inverse(f.data(), y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RealFftRoundTrip);

#ifdef LUSTRANA_HAVE_FFTW
void BM_FftwRoundTrip(benchmark::State& state)
{
    float* x = fftwf_alloc_real(kSize);
    float* y = fftwf_alloc_real(kSize);
    fftwf_complex* f = fftwf_alloc_complex(kSize / 2 + 1);
    fftwf_plan forward = fftwf_plan_dft_r2c_1d(kSize, x, f, FFTW_MEASURE);
    fftwf_plan inverse = fftwf_plan_dft_c2r_1d(kSize, f, y, FFTW_MEASURE);
    const std::vector<float> input = noise(kSize);
    std::copy(input.begin(), input.end(), x);
    for (auto _ : state) {
        fftwf_execute(forward);
        fftwf_execute(inverse);   // c2r overwrites f, which the next forward rewrites anyway
        benchmark::DoNotOptimize(y);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(inverse);
    fftwf_free(x);
    fftwf_free(y);
    fftwf_free(f);
}
BENCHMARK(BM_FftwRoundTrip);
#endif

} // namespace

BENCHMARK_MAIN();
