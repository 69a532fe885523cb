#include "bench/common/Streams.h"

#include "core/Parameters.h"

#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>

namespace bench {

Noise::Noise(int n, float amplitude, unsigned seed) : left(n), right(n)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-amplitude, amplitude);
    for (int i = 0; i < n; i++) {
        left[i] = d(gen);
        right[i] = d(gen);
    }
}

std::unique_ptr<VstInstance> openInstance(VstLibrary& lib, int maxBlock)
{
    auto fx = lib.instantiate();
    if (!fx)
        throw std::runtime_error("the plug-in declined to instantiate");
    fx->hostBlockSize = maxBlock;
    fx->dispatch(effOpen);
    fx->setSampleRate(44100.0f);
    fx->dispatch(effSetBlockSize, 0, maxBlock);
    fx->dispatch(effMainsChanged, 0, 1);
    return fx;
}

Stream::Stream(std::unique_ptr<VstInstance> f, int b) : fx(std::move(f)), block(b), in(b, 0.3f, 1), outL(b), outR(b)
{
}

void Stream::run(int samples)
{
    float* ins[2] = {in.left.data(), in.right.data()};
    float* outs[2] = {outL.data(), outR.data()};
    for (int done = 0; done < samples; done += block)
        fx->processReplacing(ins, outs, block);
}

std::unique_ptr<Stream> lustranaStream(VstLibrary& lib, int block, float length)
{
    auto fx = openInstance(lib, block);
    fx->setParameter(kLength, length);
    auto s = std::make_unique<Stream>(std::move(fx), block);
    s->run(4096);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    s->run(170 * 2048);
    return s;
}

std::unique_ptr<Stream> effectStream(VstLibrary& lib, int block)
{
    auto s = std::make_unique<Stream>(openInstance(lib, block), block);
    s->run(44100);
    return s;
}

ConvolverShare::ConvolverShare(int length)
{
    Noise h(length, 1.0f, 8);
    impulseLength = length;
    std::memcpy(conv.impulseBufferRef(0), h.left.data(), sizeof(float) * length);
    std::memcpy(conv.impulseBufferRef(1), h.right.data(), sizeof(float) * length);
    conv.loadImpulse();
    for (int b = 0; b < length / 2048 + 3; b++)
        block();
}

void ConvolverShare::block()
{
    for (int i = 0; i < 2048; i++) {
        inL = in.left[i];
        inR = in.right[i];
        conv.processSample();
    }
}

void TubeShare::block()
{
    for (int i = 0; i < 2048; i += 256)
        tube.processBlock(in.left.data() + i, in.right.data() + i, outL + i, outR + i, 256);
    sink += outL[100] + outR[2000];
}

} // namespace bench
