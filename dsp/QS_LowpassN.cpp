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

void QS_LowpassN::processRun(float* row, const float* coefficient, int n)
{
    if (n <= 0)
        return;
    // Each sample flips the offset once, as each process call does.
    const double first = -offset;   // the offset of sample 0; sample j uses ±first
    float carry[kMaxStages + 1];     // carry[s]: the value entering stage s on this diagonal
    for (int t = 0; t < n + stages - 1; t++) {
        if (t < n)
            carry[0] = row[t];
        // Descending, so that carry[s] still holds stage s - 1's output of the previous
        // diagonal when stage s reads it.
        for (int s = stages - 1; s >= 0; --s) {
            const int j = t - s;
            if (j < 0 || j >= n)
                continue;
            const float aj = coefficient[j];
            const float oneMinus = 1.0f - aj;
            const double off = (j & 1) ? -first : first;
            const float x = carry[s];
            stageInput[s] = x;
            const double y = static_cast<double>(aj * stageOutput[s]) + off +
                             static_cast<double>(oneMinus * x);
            stageOutput[s] = static_cast<float>(y);
            carry[s + 1] = stageOutput[s];
        }
        const int leaving = t - (stages - 1);
        if (stages > 0 && leaving >= 0)
            row[leaving] = carry[stages];
    }
    a = coefficient[n - 1];
    oneMinusA = 1.0f - a;
    offset = ((n - 1) & 1) ? -first : first;
    out = row[n - 1];
}
