#include "dsp/ComplexMac.h"

#include "dsp/CpuFeatures.h"

#include <cstring>

namespace {

// Eight bins; the fixed trip count and the restrict-qualified parameters let the compiler
// turn this into whole vectors even under -O2's cheap vectoriser (no epilogue, no alias check).
inline void macEight(float* __restrict accRe, float* __restrict accIm,
                     const float* __restrict xRe, const float* __restrict xIm,
                     const float* __restrict hRe, const float* __restrict hIm)
{
    for (int k = 0; k < 8; ++k) {
        accRe[k] += xRe[k] * hRe[k] - xIm[k] * hIm[k];
        accIm[k] += xIm[k] * hRe[k] + xRe[k] * hIm[k];
    }
}

} // namespace

void spectrumMultiplyAccumulate(float* acc, const float* x, const float* h, int half)
{
    for (int k = 0; k < half; k += 8)
        macEight(acc + k, acc + half + k, x + k, x + half + k, h + k, h + half + k);
}

void spectrumMacRowsPortable(float* acc, const float* const* x, const float* const* h, int rows,
                             int half)
{
    std::memset(acc, 0, sizeof(float) * 2 * half);
    for (int r = 0; r < rows; ++r)
        spectrumMultiplyAccumulate(acc, x[r], h[r], half);
    acc[0] = 0.0f;
    acc[half] = 0.0f;
}

void spectrumMacAddPortable(float* acc, const float* const* x, const float* const* h, int rows,
                            int half)
{
    for (int r = 0; r < rows; ++r)
        spectrumMultiplyAccumulate(acc, x[r], h[r], half);
}

bool spectrumMacHasAvx2()
{
    return cpuHasAvx2() && cpuHasFma();
}

// Off x86 the AVX2 names stand for the portable kernel.
#if !(defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)))

void spectrumMacRowsAvx2(float* acc, const float* const* x, const float* const* h, int rows,
                         int half)
{
    spectrumMacRowsPortable(acc, x, h, rows, half);
}
void spectrumMacAddAvx2(float* acc, const float* const* x, const float* const* h, int rows,
                        int half)
{
    spectrumMacAddPortable(acc, x, h, rows, half);
}

#endif

SpectrumMacRows spectrumMacRows()
{
    static const SpectrumMacRows chosen =
        spectrumMacHasAvx2() ? spectrumMacRowsAvx2 : spectrumMacRowsPortable;
    return chosen;
}

SpectrumMacAdd spectrumMacAdd()
{
    static const SpectrumMacAdd chosen =
        spectrumMacHasAvx2() ? spectrumMacAddAvx2 : spectrumMacAddPortable;
    return chosen;
}
