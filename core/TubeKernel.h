// TubeKernel: the arithmetic of the tube stage (TubeStage.h outlines the model), a
// block of host samples of both channels per call. Two builds of one source
// (TubeKernelBody.h): a portable one, compiled for the target's default vectors (SSE2 on x86),
// and one compiled for AVX2 without FMA, which only runs where the processor has AVX2. Both
// make every lane compute the model's sequence of single-precision operations, in the same
// order, so they give the same bits; tubeBlockKernel() picks one at run time.
//
// The two resampling filters share their quads: lanes (up left, up right, down left, down
// right). The upsampling filter only depends on the held input, so within a block it runs
// kTubeLead internal steps ahead of the network, and its step for a later moment is computed
// together with the downsampling filter's step for the present one. At a block's start it
// catches up alone; at its end the downsampling filter finishes alone.
#pragma once

typedef float TubePair __attribute__((vector_size(8)));   // left, right
typedef float TubeQuad __attribute__((vector_size(16)));  // two pairs

constexpr int kTubeLead = 3;   // internal steps the upsampling filter runs ahead

// Everything the stage carries from one block to the next; all zero at the start but for
// the DC blocker's pole and the downsampling filter's ring position.
struct TubeState {
    TubeQuad in[16];          // filter inputs, (up, down) × (left, right); a ring written twice
                              // (k, k + 8), so the eight newest lie side by side from a position
    TubeQuad out[16];         // filter outputs, likewise
    int upPosition;           // ring position of the upsampling filter's newest entries
    int downPosition;         // and of the downsampling filter's: the same while both run
                              // together (kTubeLead steps apart in time)
    TubeQuad s[7];            // network state, each pair twice; s1 and s6 integrate the
                              // tube currents
    TubeQuad i2, i3, i4;      // tube currents of the latest step, each pair twice
    TubePair dcIn, dcOut;     // DC blocker memory: previous input and output
    TubePair last, previous;  // the two latest internal outputs, across host samples
    float accumulator;        // internal time past the last host sample, seconds
    float warmCounter;        // internal steps since construction, up to 192000
    float warmGain;           // fade-in gain 0 … 1
    float dcCoefficient;      // DC blocker pole, expf(logf(0.996) × 0.25); constant
};

// A fresh state: everything zero, the pole set.
TubeState tubeInitialState();

// [audio thread] count host samples: the routed inputs a (left) and b (right), non-finite
// values taken as 0, and the host period (1 / fs, positive or not) in; the internal steps run
// and the host-rate picks go to ta and tb (which may be a and b). A channel whose network
// overflowed (an input beyond what it can hold) starts afresh. tube1 and tube2:
// TubeTables::tube(0) and (1).
using TubeBlockKernel = void (*)(TubeState& state, const float* tube1, const float* tube2,
                                 const float* a, const float* b, float period, float* ta,
                                 float* tb, int count);

void tubeBlockPortable(TubeState& state, const float* tube1, const float* tube2, const float* a,
                       const float* b, float period, float* ta, float* tb, int count);
// Only callable where the processor has AVX2.
void tubeBlockAvx2(TubeState& state, const float* tube1, const float* tube2, const float* a,
                   const float* b, float period, float* ta, float* tb, int count);

bool tubeKernelHasAvx2();           // the processor runs the AVX2 build
TubeBlockKernel tubeBlockKernel();  // the fastest build this processor runs
