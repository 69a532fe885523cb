// TubeStage: the oversampled two-tube input stage. Each host sample is held, interpolated up
// to a fixed internal clock of 192 kHz, stepped through a linear network with two table-driven
// tube elements per channel, freed of DC, faded in after a one-second warm-up, filtered down
// again and picked back at the host rate. [audio thread] process(); everything else is set up
// by the owner at construction.
#pragma once

class TubeStage {
public:
    static constexpr int kMaxSteps = 9;           // internal outputs kept per host sample
    static constexpr float kInternalRate = 192000.0f;

    explicit TubeStage(const float& hostPeriod);
    void reset();                                 // all state 0, warm-up restarts

    // One host sample: routed inputs a (left) and b (right) in, ta and tb out.
    void process(float a, float b, float& ta, float& tb);

    float warmupGain() const { return warmGain; }

private:
    struct Channel {
        float s[7];            // network state; s1 and s6 integrate the tube currents
        float i1, i2, i3, i4;  // tube currents of the latest step
        float upIn[8], upOut[8];     // upsampling filter memory, newest first
        float downIn[8], downOut[8]; // downsampling filter memory, newest first
        float dcIn, dcOut;     // DC blocker memory
        float outputs[kMaxSteps + 1]; // this host sample's internal outputs
        float lastOutput;      // last internal output of the previous host sample
    };

    float step(Channel& c, float x);  // one internal step of one channel

    const float& hostPeriod;   // 1 / fs, owned by the effect
    float internalStep;        // 1 / 192000 s
    float accumulator;         // internal time past the last host sample, seconds
    float warmCounter;         // internal steps since construction, up to 192000
    float warmGain;            // fade-in gain 0 … 1
    float warmCoefficient;     // 0.9999
    float dcCoefficient;       // expf(logf(0.996) × 0.25)
    Channel channel[2];        // left, right
};
