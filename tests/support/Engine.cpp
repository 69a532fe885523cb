#include "support/Engine.h"

#include "dsp/QS_ConvolverP.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace {

VstIntPtr stubHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

std::unique_ptr<Controlsgui> makeEffect()
{
    return std::make_unique<Controlsgui>(stubHost);
}

StereoBuffer run(Controlsgui& fx, const StereoBuffer& in, int block)
{
    StereoBuffer out(in.size());
    for (size_t start = 0; start < in.size(); start += block) {
        int n = (int)std::min<size_t>(block, in.size() - start);
        float* inputs[2] = {const_cast<float*>(in.left.data() + start), const_cast<float*>(in.right.data() + start)};
        float* outputs[2] = {out.left.data() + start, out.right.data() + start};
        fx.processReplacing(inputs, outputs, n);
    }
    return out;
}

bool primeImpulse(Controlsgui& fx, double timeoutSeconds)
{
    StereoBuffer silence(64);
    run(fx, silence, 64);
    auto start = std::chrono::steady_clock::now();
    while (fx.rebuildPending()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > timeoutSeconds)
            return false;
    }
    StereoBuffer more(4096);
    run(fx, more, 512);
    return !fx.getConvolver()->impulsePending();
}

void setMeasuring(Controlsgui& fx)
{
    fx.setParameter(kInputStage, 0.1f);
    fx.setParameter(kMix, 1.0f);
    fx.setParameter(kVolume, 1.0f);
    fx.setParameter(kHipass, 0.0f);
    fx.setParameter(kLowpass, 1.0f);
    fx.setParameter(kPreDel, 0.0f);
    fx.setParameter(kModMode, 0.0f);
    fx.setParameter(kModAmp, 0.0f);
}

double energyDb(const std::vector<float>& x, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to && i < x.size(); i++)
        sum += (double)x[i] * x[i];
    return sum > 0.0 ? 10.0 * std::log10(sum) : -300.0;
}
