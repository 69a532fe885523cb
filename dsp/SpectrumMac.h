// SpectrumMac: the convolver's inner kernel, the complex multiply-accumulate of two packed
// spectra (real parts in entries 0 .. half-1, imaginary parts in half .. 2 half-1) into an
// accumulator of the same layout. Kept apart so that the kernel can get its own compile flags.
#pragma once

// acc += x · h over the bins k = 0 .. half-1; half must be a multiple of 8. The three rows must
// not overlap. The DC/Nyquist pair at k = 0 is treated as one complex number like the others.
void spectrumMultiplyAccumulate(float* acc, const float* x, const float* h, int half);
