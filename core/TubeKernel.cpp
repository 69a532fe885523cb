// The tube stage's block for the target's default vectors, its initial state, and the
// run-time choice of build.
#include "core/TubeKernelBody.h"
#include "dsp/CpuFeatures.h"

TubeState tubeInitialState()
{
    TubeState state{};
    state.dcCoefficient = std::exp(std::log(0.996f) * 0.25f);
    // The downsampling filter's ring position trails by the lead: after the upsampling filter's
    // first steps ahead, both write the same ring entries.
    state.downPosition = kOrder - kTubeLead;
    return state;
}

void tubeBlockPortable(TubeState& state, const float* tube1, const float* tube2, const float* a,
                       const float* b, float period, float* ta, float* tb, int count)
{
    runBlock(state, tube1, tube2, a, b, period, ta, tb, count);
}

bool tubeKernelHasAvx2()
{
    return cpuHasAvx2();
}

// Off x86 the AVX2 name stands for the portable block.
#if !(defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)))

void tubeBlockAvx2(TubeState& state, const float* tube1, const float* tube2, const float* a,
                   const float* b, float period, float* ta, float* tb, int count)
{
    runBlock(state, tube1, tube2, a, b, period, ta, tb, count);
}

#endif

TubeBlockKernel tubeBlockKernel()
{
    static const TubeBlockKernel chosen = tubeKernelHasAvx2() ? tubeBlockAvx2 : tubeBlockPortable;
    return chosen;
}
