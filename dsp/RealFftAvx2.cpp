// RealFft's passes for AVX2. This file alone is compiled with -mavx2, -mno-fma and
// -ffp-contract=off (top CMakeLists.txt): eight entries at a time, the same roundings as the
// portable build. Nothing here runs unless the processor has AVX2.
#if defined(__AVX2__)

#if defined(__FMA__)
#error "the transform must not be built with fused multiply-add"
#endif

#include "dsp/RealFftBody.h"

void realFftForwardAvx2(const RealFftTables& t, float* f, const float* x)
{
    forwardPasses<Oct>(t, f, x);
}

void realFftInverseAvx2(const RealFftTables& t, const float* f, float* x)
{
    inversePasses<Oct>(t, f, x);
}

#endif
