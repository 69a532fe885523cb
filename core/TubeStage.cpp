#include "core/TubeStage.h"

#include "core/TubeTables.h"

TubeStage::TubeStage(const float& hostPeriod)
    : tables(TubeTables::instance()), tube1(tables.tube(0)), tube2(tables.tube(1)),
      hostPeriod(hostPeriod), kernel(tubeBlockKernel())
{
    reset();
}

void TubeStage::reset()
{
    state = tubeInitialState();
}

void TubeStage::process(float a, float b, float& ta, float& tb)
{
    kernel(state, tube1, tube2, &a, &b, hostPeriod, &ta, &tb, 1);
}

void TubeStage::processBlock(const float* a, const float* b, float* ta, float* tb, int count)
{
    kernel(state, tube1, tube2, a, b, hostPeriod, ta, tb, count);
}
