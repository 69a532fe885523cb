// QS_ConvolverP: uniformly partitioned overlap-save stereo convolver (transform 4096,
// partitions and hop of 2048, at most 394 partitions), driven one sample at a time.
//
// Lifecycle: everything is allocated by the constructor (the large arrays as zero pages that
// only become resident when written). [audio thread] processSample, which runs the block step
// and, at a block boundary, swapImpulse. [loader thread] writes the back impulse buffers
// through impulseBufferRef and calls loadImpulse. impulseReady is the only handshake:
// released by the loader, acquired by the audio thread.
#pragma once

#include <atomic>
#include <cstddef>

class RealFft;

class QS_ConvolverP {
public:
    static constexpr int kMaxPartitions = 394;          // usable partitions
    static constexpr int kRows = 395;                   // rows per partition array
    static constexpr int kImpulseCapacity = 1600000;    // samples per impulse buffer
    static constexpr float kImpulseScale = 0.05f;       // gain applied by loadImpulse

    QS_ConvolverP(const int& impulseLength, int fftSize, const float& inputLeft,
                  const float& inputRight);
    virtual ~QS_ConvolverP();
    QS_ConvolverP(const QS_ConvolverP&) = delete;
    QS_ConvolverP& operator=(const QS_ConvolverP&) = delete;

    virtual void processSample();                    // [audio thread]
    virtual float* outputCell(int channel);          // 0 left, other right
    virtual void loadImpulse();                      // [loader thread]
    virtual void swapImpulse();                      // [audio thread] at a block boundary
    virtual float*& impulseBufferRef(int channel);   // 1 right, other left

    // [loader thread] true while a loaded impulse still waits for its swap: the back set
    // belongs to the audio thread until then and must not be written.
    bool impulsePending() const { return impulseReady.load(std::memory_order_acquire); }

    int partitionsInUse() const { return frontCount; }   // [audio thread]
    int hopSize() const { return hop; }

private:
    void blockStep();

    // (fields are the implementation's; see QS_ConvolverP.cpp)
    struct Channel;
    const int& impulseLength;         // engine's impulse length, read by loadImpulse
    const float* input[2];            // the engine's input cells
    int fftSize;                      // transform length
    int half;                         // partition length
    int hop;                          // new samples per block
    int inPos;                        // write position in the current history row
    int frontCount;                   // partitions of the front impulse
    int backCount;                    // partitions of the back impulse
    int historyIndex[kMaxPartitions]; // history row of the spectrum i blocks old
    std::atomic<bool> impulseReady;   // a loaded back set waits for its swap
    double dither;                    // ±1e-24, flips every sample
    RealFft* processFft;              // audio thread's transform
    RealFft* loadFft;                 // loader thread's transform
    Channel* channels[2];             // per-channel storage
    void* storage;                    // one zero-page mapping holding the large arrays
    size_t storageBytes;              // its size
};
