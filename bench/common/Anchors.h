// The reference points the plug-in is measured against in the same run:
// - ZitaUniform: zita-convolver (Debian libzita-convolver-dev) with two paths, uniform
//   partitions of 2048 at a quantum of 2048, its vector (SIMD) mode; only when CMake found it.
// - PlainMacFft: a plain split-layout multiply-accumulate (AVX2/FMA where the processor has
//   it) over the partitions of both channels plus one forward and one inverse transform per
//   channel per block (FFTW when present, else the plug-in's own RealFft): what a uniform
//   2048 convolution cannot do without.
// - dragonflyPlatePath(): where Debian's dragonfly-reverb-vst put its plate plug-in.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace bench {

constexpr int kPartition = 2048;

class ZitaUniform {
public:
    static bool available();
    explicit ZitaUniform(int impulseLength);   // noise impulse, both paths
    ~ZitaUniform();
    void block();                              // 2048 stereo samples in and out
    int partitions() const { return parts; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl;   // the Convproc and its buffers
    int parts = 0;                // 2048-sample partitions of the impulse
};

class PlainMacFft {
public:
    explicit PlainMacFft(int partitions);
    ~PlainMacFft();
    void block();                 // one 2048-sample block of both channels
    const char* describe() const; // kernel and transform in use

private:
    struct Impl;
    std::unique_ptr<Impl> impl;   // rows, transforms
};

std::string dragonflyPlatePath();   // empty if not installed

} // namespace bench
