#include "dsp/SpectrumMac.h"

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
