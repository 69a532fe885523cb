// The AVX2/FMA multiply-accumulate. This file alone is compiled with -mavx2 -mfma (top
// CMakeLists.txt); nothing here runs unless spectrumMacHasAvx2() said yes.
#include "dsp/ComplexMac.h"

#if defined(__AVX2__) && defined(__FMA__)

#include <immintrin.h>

namespace {

// acc (8 re + 8 im bins) += x · h for one row, fused: re = acc + xr hr - xi hi,
// im = acc + xi hr + xr hi.
inline void macStep(__m256& re, __m256& im, const float* x, const float* h, int k, int half)
{
    const __m256 xr = _mm256_loadu_ps(x + k);
    const __m256 xi = _mm256_loadu_ps(x + half + k);
    const __m256 hr = _mm256_loadu_ps(h + k);
    const __m256 hi = _mm256_loadu_ps(h + half + k);
    re = _mm256_fnmadd_ps(xi, hi, _mm256_fmadd_ps(xr, hr, re));
    im = _mm256_fmadd_ps(xr, hi, _mm256_fmadd_ps(xi, hr, im));
}

} // namespace

// Four rows per sweep over the bins: the accumulator is loaded and stored once per four
// partitions, and the rows are still read front to back, which the prefetchers follow.
// Rows are summed in order, as the portable kernel does.
void spectrumMacAddAvx2(float* acc, const float* const* x, const float* const* h, int rows,
                        int half)
{
    int r = 0;
    for (; r + 4 <= rows; r += 4) {
        const float *x0 = x[r], *x1 = x[r + 1], *x2 = x[r + 2], *x3 = x[r + 3];
        const float *h0 = h[r], *h1 = h[r + 1], *h2 = h[r + 2], *h3 = h[r + 3];
        for (int k = 0; k < half; k += 8) {
            __m256 re = _mm256_loadu_ps(acc + k);
            __m256 im = _mm256_loadu_ps(acc + half + k);
            macStep(re, im, x0, h0, k, half);
            macStep(re, im, x1, h1, k, half);
            macStep(re, im, x2, h2, k, half);
            macStep(re, im, x3, h3, k, half);
            _mm256_storeu_ps(acc + k, re);
            _mm256_storeu_ps(acc + half + k, im);
        }
    }
    for (; r < rows; ++r) {
        for (int k = 0; k < half; k += 8) {
            __m256 re = _mm256_loadu_ps(acc + k);
            __m256 im = _mm256_loadu_ps(acc + half + k);
            macStep(re, im, x[r], h[r], k, half);
            _mm256_storeu_ps(acc + k, re);
            _mm256_storeu_ps(acc + half + k, im);
        }
    }
}

void spectrumMacRowsAvx2(float* acc, const float* const* x, const float* const* h, int rows,
                         int half)
{
    for (int k = 0; k < 2 * half; k += 8)
        _mm256_storeu_ps(acc + k, _mm256_setzero_ps());
    spectrumMacAddAvx2(acc, x, h, rows, half);
    acc[0] = 0.0f;
    acc[half] = 0.0f;
}

#endif
