// TubeStage: the oversampled two-tube input stage. Each host sample is held, interpolated up
// to a fixed internal clock of 192 kHz, stepped through a linear network with two table-driven
// tube elements per channel, freed of DC, faded in after a one-second warm-up, filtered down
// again and picked back at the host rate. The arithmetic lives in TubeKernel (a portable and
// an AVX2 build of one source, chosen at construction, giving the same bits); a block of host
// samples at once is cheaper than the same samples one by one, with the same result.
//
// Lifecycle: the owner constructs it (this takes the process-wide tube tables, building them
// on first use) and keeps the host period it refers to up to date while processing is
// suspended. [audio thread] process() or processBlock(); they never allocate or wait.
// Denormals: the network is driven by the constant supply at every step and never comes to
// exact rest, so with silent input its output stays near 1e-10 and nothing here decays into
// the denormal range; the effect's dither keeps the input off exact zero as well.
// Rates: every host sample gets at least one internal step and at most 48 (the clock lags
// below 4 kHz); above 192 kHz the pick uses the latest internal output. The pick's earlier
// output is the one before the latest, from the previous host sample if need be.
#pragma once

#include "core/TubeKernel.h"

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
    // [audio thread] count host samples; ta and tb may be a and b.
    void processBlock(const float* a, const float* b, float* ta, float* tb, int count);

    float warmupGain() const { return state.warmGain; }
    float warmupCounter() const { return state.warmCounter; }
    bool usesAvx2() const { return kernel == tubeBlockAvx2; }

private:
    const TubeTables& tables;         // shared, read-only
    const float* tube1;               // its interleaved tables of tube 1 (A, B)
    const float* tube2;               // and of tube 2 (C, D)
    const float& hostPeriod;          // 1 / fs, owned by the effect
    TubeBlockKernel kernel;           // the build of the arithmetic for this processor
    TubeState state;                  // both channels, lane 0 left, lane 1 right
};
