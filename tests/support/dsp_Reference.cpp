#include "tests/support/dsp_Reference.h"

#include "dsp/QS_ConvolverP.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace dspref {

std::vector<double> delayedConvolution(const std::vector<float>& x, const std::vector<float>& h,
                                       double scale, int delay)
{
    const int n = static_cast<int>(x.size());
    const int m = static_cast<int>(h.size());
    std::vector<double> y(n, 0.0);
    for (int t = delay; t < n; ++t) {
        const int last = std::min(m - 1, t - delay);
        double sum = 0.0;
        for (int j = 0; j <= last; ++j)
            sum += static_cast<double>(h[j]) * x[t - delay - j];
        y[t] = scale * sum;
    }
    return y;
}

std::vector<double> dcBlock(const std::vector<double>& x)
{
    std::vector<double> y(x.size());
    double previousIn = 0.0, previousOut = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        previousOut = 0.996 * previousOut + x[i] - previousIn;
        previousIn = x[i];
        y[i] = previousOut;
    }
    return y;
}

std::vector<float> pairedNoise(int length, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(length);
    for (int i = 0; i < length; i += 2) {
        x[i] = dist(gen);
        if (i + 1 < length)
            x[i + 1] = x[i];
    }
    return x;
}

std::vector<float> decayingNoise(int length, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> h(length);
    for (int i = 0; i < length; ++i)
        h[i] = dist(gen) * static_cast<float>(std::exp(-3.0 * i / length));
    return h;
}

void loadBoth(QS_ConvolverP& conv, int& impulseLength, const std::vector<float>& left,
              const std::vector<float>& right)
{
    float* bufferLeft = conv.impulseBufferRef(0);
    float* bufferRight = conv.impulseBufferRef(1);
    std::copy(left.begin(), left.end(), bufferLeft);
    std::copy(right.begin(), right.end(), bufferRight);
    impulseLength = static_cast<int>(left.size());
    conv.loadImpulse();
}

void run(QS_ConvolverP& conv, float& cellLeft, float& cellRight, Stream& s, int begin, int end)
{
    s.outLeft.resize(s.inLeft.size());
    s.outRight.resize(s.inLeft.size());
    const float* left = conv.outputCell(0);
    const float* right = conv.outputCell(1);
    for (int t = begin; t < end; ++t) {
        cellLeft = s.inLeft[t];
        cellRight = s.inRight[t];
        conv.processSample();
        s.outLeft[t] = *left;
        s.outRight[t] = *right;
    }
}

} // namespace dspref
