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

namespace {

// One diagonal t of the skewed run: stage s takes sample t - s, in descending order so that
// carry[s] still holds stage s - 1's output of the previous diagonal. Lanes whose sample lies
// outside 0 .. n-1 are skipped unless the caller knows all are inside (Full).
template <int Stages, bool Full>
__attribute__((always_inline)) inline void diagonal(int t, int n, int stages, float* carry,
                                                    float* stageInput, float* stageOutput,
                                                    const float* coefficient, double first)
{
    const int count = Stages > 0 ? Stages : stages;
    for (int s = count - 1; s >= 0; --s) {
        const int j = t - s;
        if (!Full && (j < 0 || j >= n))
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
}

// Lanes of one chain: its row, state and the offset of its sample 0.
struct Lane {
    float* row;
    float* stageInput;
    float* stageOutput;
    double first;
    float carry[QS_LowpassN::kMaxStages + 1];   // carry[s]: the value entering stage s
};

// Runs Chains chains with the same coefficients side by side: their recursions are
// independent, so the processor overlaps them.
template <int Stages, int Chains>
void run(Lane (&lanes)[Chains], const float* coefficient, int n, int stages)
{
    const int count = Stages > 0 ? Stages : stages;
    int t = 0;
    auto ragged = [&](int t) {
        for (Lane& l : lanes) {
            if (t < n)
                l.carry[0] = l.row[t];
            diagonal<Stages, false>(t, n, stages, l.carry, l.stageInput, l.stageOutput, coefficient, l.first);
            const int leaving = t - (count - 1);
            if (leaving >= 0)
                l.row[leaving] = l.carry[count];
        }
    };
    // filling: the later stages have no sample yet
    for (; t < n + count - 1 && t < count - 1; t++)
        ragged(t);
    // every stage busy
    for (; t < n; t++) {
        for (Lane& l : lanes) {
            l.carry[0] = l.row[t];
            diagonal<Stages, true>(t, n, stages, l.carry, l.stageInput, l.stageOutput, coefficient, l.first);
            l.row[t - (count - 1)] = l.carry[count];
        }
    }
    // draining
    for (; t < n + count - 1; t++)
        ragged(t);
}

} // namespace

void QS_LowpassN::processRun(float* row, const float* coefficient, int n)
{
    if (n <= 0)
        return;
    // Each sample flips the offset once, as each process call does.
    Lane lanes[1] = {{row, stageInput, stageOutput, -offset, {}}};
    if (stages == 6)
        run<6, 1>(lanes, coefficient, n, stages);
    else if (stages > 0)
        run<0, 1>(lanes, coefficient, n, stages);
    finishRun(row, coefficient, n);
}

void QS_LowpassN::processRuns(QS_LowpassN& left, float* leftRow, QS_LowpassN& right,
                              float* rightRow, const float* coefficient, int n)
{
    if (left.stages != right.stages) {
        left.processRun(leftRow, coefficient, n);
        right.processRun(rightRow, coefficient, n);
        return;
    }
    if (n <= 0)
        return;
    Lane lanes[2] = {{leftRow, left.stageInput, left.stageOutput, -left.offset, {}},
                     {rightRow, right.stageInput, right.stageOutput, -right.offset, {}}};
    if (left.stages == 6)
        run<6, 2>(lanes, coefficient, n, left.stages);
    else if (left.stages > 0)
        run<0, 2>(lanes, coefficient, n, left.stages);
    left.finishRun(leftRow, coefficient, n);
    right.finishRun(rightRow, coefficient, n);
}

void QS_LowpassN::finishRun(const float* row, const float* coefficient, int n)
{
    // the state n process calls leave: the last coefficient, the offset flipped n times
    a = coefficient[n - 1];
    oneMinusA = 1.0f - a;
    if (n & 1)
        offset = -offset;
    out = row[n - 1];
}
