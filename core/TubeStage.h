// TubeStage: the oversampled two-tube input stage. Each host sample is held, interpolated up
// to a fixed internal clock of 192 kHz, stepped through a linear network with two table-driven
// tube elements per channel, freed of DC, faded in after a one-second warm-up, filtered down
// again and picked back at the host rate.
//
// Lifecycle: the owner constructs it (this takes the process-wide tube tables, building them
// on first use) and keeps the host period it refers to up to date while processing is
// suspended. [audio thread] process(), once per host sample; it never allocates or waits.
// Denormals: the network is driven by the constant supply at every step and never comes to
// exact rest, so with silent input its output stays near 1e-10 and nothing here decays into
// the denormal range; the effect's dither keeps the input off exact zero as well.
// Rates: every host sample gets at least one internal step and at most 48 (the clock lags
// below 4 kHz); above 192 kHz the pick uses the latest internal output. The pick's earlier
// output is the one before the latest, from the previous host sample if need be.
#pragma once

struct TubeTables;

class TubeStage {
public:
    static constexpr float kInternalRate = 192000.0f;
    static constexpr float kWarmupSteps = 192000.0f;   // one second of internal time

    explicit TubeStage(const float& hostPeriod);
    void reset();                                     // all state 0, warm-up restarts

    // [audio thread] One host sample: routed inputs a (left) and b (right) in, ta and tb
    // out. A non-finite input counts as 0.
    void process(float a, float b, float& ta, float& tb);

    float warmupGain() const { return warmGain; }
    float warmupCounter() const { return warmCounter; }

private:
    static constexpr int kOrder = 8;  // the resampling low-passes

    // Both channels run in lockstep, left in lane 0 and right in lane 1: the two channels'
    // chains are independent, so each step issues them together.
    typedef float Pair __attribute__((vector_size(8)));
    // Two pairs side by side: two rows of the network's matrices for both channels at once.
    typedef float Quad __attribute__((vector_size(16)));

    struct Filter {                   // 8th-order low-pass, direct form I
        Pair in[2 * kOrder];          // last inputs, newest first from the history position,
        Pair out[2 * kOrder];         // last outputs, likewise; each written twice (k, k + 8)
    };

    struct Network {
        Quad s[7];                    // network state, each pair twice; s1 and s6 integrate
                                      // the tube currents
        Quad i2, i3, i4;              // tube currents of the latest step, each pair twice
        Filter up;                    // upsampling (interpolation) filter
        Filter down;                  // downsampling (anti-alias) filter
        int history;                  // position of the newest filter entries, 0 … 7
        Pair dcIn, dcOut;             // DC blocker memory: previous input and output
        Pair last, previous;          // the two latest internal outputs, across host samples
    };

    static Pair lowpass(Filter& f, int history, Pair x);
    Pair step(Pair x, float gain);    // one internal step of both channels
    void advanceWarmup();
    void restartChannel(int lane);    // zero one channel's network state

    const TubeTables& tables;         // shared, read-only
    const float& hostPeriod;          // 1 / fs, owned by the effect
    float internalStep;               // 1 / 192000 s
    float accumulator;                // internal time past the last host sample, seconds
    float warmCounter;                // internal steps since construction, up to 192000
    float warmGain;                   // fade-in gain 0 … 1
    float warmCoefficient;            // 0.9999
    float dcCoefficient;              // expf(logf(0.996) × 0.25)
    float rowScale1, colScale1;       // 1/150, 1/24: tube 1 look-up reciprocals
    float rowScale2, colScale2;       // 1/200, 1/40: tube 2 look-up reciprocals
    Network net;                      // both channels' state, lane 0 left, lane 1 right
};
