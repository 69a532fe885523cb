#include "core/TubeStage.h"

TubeStage::TubeStage(const float& hostPeriod) : hostPeriod(hostPeriod)
{
    reset();
}

void TubeStage::reset()
{
    internalStep = 1.0f / kInternalRate;
    accumulator = 0.0f;
    warmCounter = 0.0f;
    warmGain = 0.0f;
    warmCoefficient = 0.9999f;
    dcCoefficient = 0.0f;
    for (Channel& c : channel)
        c = Channel{};
}

void TubeStage::process(float, float, float& ta, float& tb)
{
    ta = 0.0f;
    tb = 0.0f;
}

float TubeStage::step(Channel&, float)
{
    return 0.0f;
}
