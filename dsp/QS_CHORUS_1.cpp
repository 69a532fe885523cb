#include "dsp/QS_CHORUS_1.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr float kPhaseStep = 0.00013089969f;   // 2π / 48000: the rate does not follow fs
} // namespace

QS_CHORUS_1::QS_CHORUS_1(const float& input_, const ChorusParams& params_, const float& rateToRef_)
    : input(input_), params(params_), rateToRef(rateToRef_), line(new float[kLineLength]()),
      writeIndex(1), writePosition(1.0f), readPosition(0.0f), readIndex(0), nextIndex(1),
      fraction(0.0f), phase(0.0f), sine(0.0f), delayed(0.0f), out(0.0f)
{
}

QS_CHORUS_1::~QS_CHORUS_1()
{
    delete[] line;
}

float* QS_CHORUS_1::output() { return &out; }

void QS_CHORUS_1::process()
{
    const float x = input;
    if (params.active == 0.0f) {
        out = x;
        return;
    }

    phase += ((params.rate * 2.0f + 0.1f) + 0.01f) * kPhaseStep;
    if (static_cast<double>(phase) >= kTwoPi)
        phase = static_cast<float>(static_cast<double>(phase) - kTwoPi);
    sine = sinf(phase);

    writePosition += 1.0f;
    if (++writeIndex >= kLineLength) {
        writeIndex -= kLineLength;
        writePosition -= static_cast<float>(kLineLength);
    }
    line[writeIndex] = params.feedback * delayed + x;

    // The sweep reaches back at most to the oldest sample still in the line; a negative or
    // NaN width (unchecked parameter) reads the sample just written.
    float delay = (sine * 0.5f + 0.5f) * params.sweepWidth * 1000.0f;
    if (!(delay > 0.0f))
        delay = 0.0f;
    else if (delay > static_cast<float>(kLineLength - 2))
        delay = static_cast<float>(kLineLength - 2);
    readPosition = writePosition - delay;
    if (readPosition < 0.0f) {
        readPosition += static_cast<float>(kLineLength);
        // a delay just above 0 at write position 0 rounds up to the line length itself
        if (readPosition >= static_cast<float>(kLineLength))
            readPosition = 0.0f;
    }

    readIndex = static_cast<int>(readPosition);
    nextIndex = readIndex + 1;
    if (nextIndex >= kLineLength)
        nextIndex = 0;
    fraction = readPosition - static_cast<float>(readIndex);

    delayed = line[readIndex] + (line[nextIndex] - line[readIndex]) * fraction;
    out = (1.0f - params.mix) * x + delayed * params.mix;
}
