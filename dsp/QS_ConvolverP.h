// QS_ConvolverP: uniformly partitioned overlap-save stereo convolver (transform 4096,
// partitions and hop of 2048, at most 394 partitions), driven one sample at a time.
// The wet output is one hop late and scaled by 0.05; a DC blocker follows the convolution.
// A loaded impulse takes over at the boundary after the hop whose first half saw it: its older
// partitions are summed in slices during that hop, as every block's are, so no call carries
// a whole sum.
//
// Lifecycle: everything is allocated by the constructor, the large arrays as one anonymous
// mapping of zero pages that only become resident when written, so resident memory follows
// the partitions in use. [audio thread] processSample, which runs the block step and, at a
// block boundary, swapImpulse. [loader thread] writes the back impulse buffers through
// impulseBufferRef and calls loadImpulse, but only while impulsePending() is false.
// impulseReady is the only handshake: set with release by the loader and read with acquire
// by the audio thread; cleared with release by swapImpulse and read with acquire by the loader.
#pragma once

#include "dsp/ComplexMac.h"

#include <atomic>
#include <cstddef>

class RealFft;

class QS_ConvolverP {
public:
    static constexpr int kMaxPartitions = 394;          // usable partitions
    static constexpr int kRows = 395;                   // former row count; kMaxPartitions rows are stored
    static constexpr int kImpulseCapacity = 1600000;    // samples per impulse buffer
    static constexpr float kImpulseScale = 0.05f;       // gain applied by loadImpulse
    static constexpr int kMaxFftSize = 4096;            // largest transform the rows can hold

    // fftSize must be a power of two from 16 to kMaxFftSize (std::invalid_argument otherwise);
    // throws std::bad_alloc when the storage cannot be mapped.
    QS_ConvolverP(const int& impulseLength, int fftSize, const float& inputLeft,
                  const float& inputRight);
    virtual ~QS_ConvolverP();
    QS_ConvolverP(const QS_ConvolverP&) = delete;
    QS_ConvolverP& operator=(const QS_ConvolverP&) = delete;

    virtual void processSample();                    // [audio thread]
    virtual float* outputCell(int channel);          // 0 left, other right
    virtual void loadImpulse();                      // [loader thread]
    virtual void swapImpulse();                      // [audio thread] at a block boundary
    // [audio thread, or any thread while processing is stopped] makes a loaded impulse
    // current at once instead of at the next block boundary; false if none was waiting.
    bool adoptImpulse();
    // [audio thread] samples until the next block step, where a loaded impulse is swapped in
    // (one loaded in the second half of a hop waits for the step after): after processing
    // this many samples the back set is free again, or after one more hop.
    int samplesToBlockStep() const { return fftSize - inPos; }
    virtual float*& impulseBufferRef(int channel);   // 1 right, other left

    // [loader thread] true while a loaded impulse still waits for its swap: the back set
    // belongs to the audio thread until then and must not be written.
    bool impulsePending() const { return impulseReady.load(std::memory_order_acquire); }

    int partitionsInUse() const { return frontCount; }   // [audio thread]
    int hopSize() const { return hop; }
    const void* storageBase() const { return storage; }  // the zero-page mapping
    size_t storageSize() const { return storageBytes; }

private:
    // The front set, the input row and spectra, the accumulator and the output row belong to
    // the audio thread; the back set (impulse[1], spectra[1]) to the loader until the swap.
    struct Channel {
        float* impulse[2];        // time-domain impulse buffers: [0] front, [1] back
        float* spectra[2];        // partition spectra, kMaxPartitions rows: [0] front, [1] back
        float* inputRow;          // transform input: the previous hop, then the new hop
        float* inputSpectra;      // kMaxPartitions rows, the ring of past input spectra
        float* accumulator;       // the block's summed spectrum
        float* outputRow;         // inverse transform of the accumulator, scaled
        float* partial;           // the next block's products of partitions 1.., summed
                                  // slice by slice during the hop
        float continuityOffset;   // added to every raw output of the block
        float lastRaw;            // raw output of the most recent sample
        float dcPreviousIn;       // DC blocker: previous raw input
        float dcPreviousOut;      // DC blocker: previous output
        float dcCoefficient;      // DC blocker pole, 0.996
        float out;                // output cell, DC-blocked
    };

    void blockStep();
    void accumulateSlice(int slice);  // slice 0 … of the hop: next block's older partitions
    // the next block's rows of the front (0) or the loaded back set (1), their sum at 0
    void startPartial(int set);
    // the input ring keeps one row even while an impulse shorter than a partition is in use
    int ringLength() const { return frontCount > 0 ? frontCount : 1; }
    float* row(float* base, int r) const { return base + static_cast<size_t>(r) * stride; }

    // fixed at construction
    const int& impulseLength;         // engine's impulse length, read by loadImpulse
    const float* input[2];            // the engine's input cells
    int fftSize;                      // transform length
    int half;                         // partition length
    int hop;                          // new samples per block
    size_t stride;                    // floats between rows (transform length + padding)
    void* storage;                    // one anonymous mapping holding the large arrays
    size_t storageBytes;              // its size

    // [audio thread]
    int inPos;                        // write position in the input row
    int frontCount;                   // partitions of the front impulse
    int validRows;                    // ring positions 0.. holding spectra of real input
    int historyIndex[kMaxPartitions]; // permutation of spectrum rows; entry i < ringLength()
                                      // is the row i blocks old, the rest are free rows
    double dither;                    // ±1e-24, flips every sample
    RealFft* processFft;              // audio thread's transform
    SpectrumMacRows mac;              // multiply-accumulate kernel for this processor
    const float* macInput[kMaxPartitions];   // the block's input-spectrum rows, newest first
    const float* macImpulse[kMaxPartitions]; // the matching impulse-spectrum rows
    SpectrumMacAdd macAdd;            // accumulate-only kernel
    int sliceLength;                  // samples between two slices of the partial sums
    int nextPartitions;               // partitions the next block will use (without a swap)
    int partialDone;                  // partitions 1 .. partialDone-1 are in the partial sums
    bool partialValid;                // false after a swap: the next block sums everything
    bool partialBack;                 // the partial sums are the loaded back set's
    bool backwards;                   // this hop's partial sums run from the oldest partition
    const float* nextInput[2][kMaxPartitions];   // per channel, the next block's rows 1..
    const float* nextImpulse[2][kMaxPartitions];

    // [loader thread] until the swap
    int backCount;                    // partitions of the back impulse
    RealFft* loadFft;                 // loader thread's transform
    float* loadRow;                   // zero-padded time-domain partition being transformed

    Channel channels[2];              // left, right
    std::atomic<bool> impulseReady;   // a loaded back set waits for its swap
};
