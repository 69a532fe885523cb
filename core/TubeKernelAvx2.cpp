// The tube stage's block for AVX2. This file alone is compiled with -mavx2, -mno-fma and
// -ffp-contract=off (top CMakeLists.txt): wider registers and three-operand instructions, the
// same roundings as the portable build. Nothing here runs unless tubeKernelHasAvx2() said yes.
#if defined(__AVX2__)

#if defined(__FMA__)
#error "the tube stage must not be built with fused multiply-add"
#endif

#include "core/TubeKernelBody.h"

void tubeBlockAvx2(TubeState& state, const float* tube1, const float* tube2, const float* a,
                   const float* b, float period, float* ta, float* tb, int count)
{
    runBlock(state, tube1, tube2, a, b, period, ta, tb, count);
}

#endif
