// QS_LowpassN: a chain of up to 10 identical one-pole low-pass stages y = a y1 + (1 - a) x.
#pragma once

class QS_LowpassN final {
public:
    static constexpr int kMaxStages = 10;

    QS_LowpassN(const float& input, int stages, const float& coefficient, const float& rateToRef);

    virtual float* output();
    virtual void updateCoefficient();
    virtual void process();

    // n samples of the row in place, sample j with the coefficient coefficient[j]: the same
    // bits and the same final state as n rounds of (coefficient cell = coefficient[j],
    // updateCoefficient, process). The stages run skewed (stage s on sample t - s), so the
    // stages' recursions overlap instead of waiting for each other. Not bound to the cells.
    void processRun(float* row, const float* coefficient, int n);
    // Two chains with the same coefficients, each on its own row, run side by side.
    static void processRuns(QS_LowpassN& left, float* leftRow, QS_LowpassN& right,
                            float* rightRow, const float* coefficient, int n);

private:
    void finishRun(const float* row, const float* coefficient, int n);

    const float& input;           // bound input cell
    const float& coefficient;     // bound coefficient cell
    const float& rateToRef;       // kept, not used
    int stages;                   // stage count, at most kMaxStages
    float a;                      // pole
    float oneMinusA;              // 1 - a
    float stageInput[kMaxStages]; // each stage's last input
    float stageOutput[kMaxStages];// each stage's previous output
    float out;                    // output cell
    double offset;                // ±1e-24 against denormals, flips every call
};
