// SpectrumMac: the convolver's inner kernel, the complex multiply-accumulate of packed spectra
// (real parts in entries 0 .. half-1, imaginary parts in half .. 2 half-1) into an accumulator
// of the same layout. Two implementations: a portable one (whatever vectors the target has by
// default, SSE2 on x86) and an AVX2/FMA one in its own source file, compiled for those
// instructions only; spectrumMacRows() picks one at run time from what the processor supports,
// so the shipped binary needs neither AVX2 nor -march=native.
#pragma once

// acc += x · h over the bins k = 0 .. half-1; half must be a multiple of 8. The three rows must
// not overlap. The DC/Nyquist pair at k = 0 is treated as one complex number like the others.
void spectrumMultiplyAccumulate(float* acc, const float* x, const float* h, int half);

// acc = Σ_r x[r] · h[r] for r = 0 .. rows-1, summed in row order, then acc[0] = acc[half] = 0
// (the block's DC and Nyquist terms are dropped). Overwrites acc; rows may be 0.
using SpectrumMacRows = void (*)(float* acc, const float* const* x, const float* const* h,
                                 int rows, int half);

void spectrumMacRowsPortable(float* acc, const float* const* x, const float* const* h, int rows,
                             int half);
// Only callable where the processor has AVX2 and FMA; the fused products round once where the
// portable path rounds twice, so the two agree to single-precision rounding, not bit for bit.
void spectrumMacRowsAvx2(float* acc, const float* const* x, const float* const* h, int rows,
                         int half);

// acc += Σ_r x[r] · h[r], summed in row order, DC and Nyquist kept: for sums built in parts.
using SpectrumMacAdd = void (*)(float* acc, const float* const* x, const float* const* h, int rows,
                                int half);
void spectrumMacAddPortable(float* acc, const float* const* x, const float* const* h, int rows,
                            int half);
void spectrumMacAddAvx2(float* acc, const float* const* x, const float* const* h, int rows,
                        int half);

bool spectrumMacHasAvx2();            // the processor runs the AVX2/FMA kernel
SpectrumMacRows spectrumMacRows();    // the fastest kernel this processor runs
SpectrumMacAdd spectrumMacAdd();
