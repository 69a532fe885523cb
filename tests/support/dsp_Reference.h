// Double-precision references for the DSP tests: direct convolution, the DC blocker, and a
// driver that runs a QS_ConvolverP sample by sample.
#pragma once

#include <vector>

class QS_ConvolverP;

namespace dspref {

// y[t] = scale · Σ_m h[m] x[t - delay - m], for t = 0 .. x.size()-1 (x is zero before 0).
std::vector<double> delayedConvolution(const std::vector<float>& x, const std::vector<float>& h,
                                       double scale, int delay);

// y[n] = 0.996 y[n-1] + x[n] - x[n-1], starting from rest.
std::vector<double> dcBlock(const std::vector<double>& x);

// Noise in [-1, 1) whose samples come in equal pairs, so every even-aligned row of the
// convolver has an alternating sum of zero (nothing at the Nyquist bin).
std::vector<float> pairedNoise(int length, unsigned seed);

// Noise with an exponential decay over `length` samples, like a short plate tail.
std::vector<float> decayingNoise(int length, unsigned seed);

// Writes the two impulses (equal lengths) into the back buffers and calls loadImpulse.
void loadBoth(QS_ConvolverP& conv, int& impulseLength, const std::vector<float>& left,
              const std::vector<float>& right);

// One stereo stream through the convolver.
struct Stream {
    std::vector<float> inLeft, inRight;     // input samples
    std::vector<float> outLeft, outRight;   // output cells after each sample
};

// Runs samples [begin, end) of the stream, storing the output cells.
void run(QS_ConvolverP& conv, float& cellLeft, float& cellRight, Stream& s, int begin, int end);

} // namespace dspref
