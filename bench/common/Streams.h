// What the benchmarks stream audio through: a plug-in instance opened as a host opens it and
// fed noise in blocks, and the plug-in's two costly parts alone (the convolver driven sample
// by sample, the tube stage in chunks), as block processing drives them.
#pragma once

#include "core/TubeStage.h"
#include "dsp/QS_ConvolverP.h"
#include "tools/VstHost.h"

#include <memory>
#include <vector>

namespace bench {

// Uniform noise of the given amplitude, left and right.
struct Noise {
    Noise(int n, float amplitude, unsigned seed);
    std::vector<float> left, right;
};

// effOpen, 44.1 kHz, the block size, effMainsChanged: what a host does before it streams.
std::unique_ptr<VstInstance> openInstance(VstLibrary& lib, int maxBlock);

// A plug-in instance streaming noise (amplitude 0.3) in blocks of `block`.
struct Stream {
    Stream(std::unique_ptr<VstInstance> fx, int block);
    void run(int samples);
    std::unique_ptr<VstInstance> fx;
    int block;
    Noise in;
    std::vector<float> outL, outR;
};

// Lustrana (or an earlier build of it) at "Length" `length`, with its plate impulse in use
// and the convolver's input ring full.
std::unique_ptr<Stream> lustranaStream(VstLibrary& lib, int block, float length);
// Any other effect, after a second of audio.
std::unique_ptr<Stream> effectStream(VstLibrary& lib, int block);

// The convolver alone with a noise impulse of `length` samples, driven sample by sample.
struct ConvolverShare {
    explicit ConvolverShare(int length);
    void block();   // 2048 samples
    int impulseLength = 0;
    float inL = 0.0f, inR = 0.0f;
    QS_ConvolverP conv{impulseLength, 4096, inL, inR};
    Noise in{2048, 0.3f, 7};
};

// The tube stage alone, both channels, in chunks of 256 samples as the chain runs it.
struct TubeShare {
    void block();   // 2048 samples
    float period = 1.0f / 44100.0f;
    TubeStage tube{period};
    Noise in{2048, 0.3f, 9};
    float outL[2048], outR[2048];
    float sink = 0.0f;
};

} // namespace bench
