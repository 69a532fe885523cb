#include "dsp/QS_LowpassN.h"

#include <algorithm>

QS_LowpassN::QS_LowpassN(const float& input_, int stages_, const float& coefficient_,
                         const float& rateToRef_)
    : input(input_), coefficient(coefficient_), rateToRef(rateToRef_),
      stages(std::clamp(stages_, 0, kMaxStages)), a(0.5f), oneMinusA(0.5f), stageInput{},
      stageOutput{}, out(0.0f), offset(1e-24)
{
}

float* QS_LowpassN::output() { return &out; }

void QS_LowpassN::updateCoefficient()
{
    a = coefficient;
    oneMinusA = 1.0f - a;
}

void QS_LowpassN::process()
{
    offset = -offset;   // flipping 1e-24 keeps the decaying stages out of denormals
    float x = input;
    for (int s = 0; s < stages; ++s) {
        stageInput[s] = x;
        const double y = static_cast<double>(a * stageOutput[s]) + offset +
                         static_cast<double>(oneMinusA * x);
        stageOutput[s] = static_cast<float>(y);
        x = stageOutput[s];
    }
    out = x;
}
