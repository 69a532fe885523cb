#include "dsp/QS_ConvolverP.h"

#include "dsp/RealFft.h"
#include "dsp/ComplexMac.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

constexpr size_t kPage = 4096;
// The products of the partitions older than the newest input do not need that input: they
// are summed in this many slices spread over the hop, so that the call which carries the
// block step only transforms, adds the newest partition and transforms back. A loaded
// impulse is summed so too, from the slice that first sees it: then it takes over at the
// coming boundary, unless that slice comes in the hop's second half (it waits a block).
constexpr int kSlices = 32;
constexpr int kRowPadding = 16;   // floats; keeps rows 64-byte aligned and off a 16 KiB stride

size_t pageRound(size_t bytes) { return (bytes + kPage - 1) / kPage * kPage; }

} // namespace

QS_ConvolverP::QS_ConvolverP(const int& impulseLength_, int fftSize_, const float& inputLeft,
                             const float& inputRight)
    : impulseLength(impulseLength_), input{&inputLeft, &inputRight}, fftSize(fftSize_),
      half(fftSize_ / 2), hop(fftSize_ - fftSize_ / 2), stride(0), storage(nullptr),
      storageBytes(0), inPos(0), frontCount(0), validRows(0), historyIndex{}, dither(1e-24),
      processFft(nullptr), mac(spectrumMacRows()), macInput{}, macImpulse{}, macAdd(spectrumMacAdd()), sliceLength(1),
      nextPartitions(0), partialDone(1), partialValid(false), partialBack(false), backwards(false), nextInput{}, nextImpulse{}, backCount(0), loadFft(nullptr), loadRow(nullptr), channels{},
      impulseReady(false)
{
    if (fftSize < 16 || fftSize > kMaxFftSize || (fftSize & (fftSize - 1)) != 0)
        throw std::invalid_argument("QS_ConvolverP transform length");

    stride = static_cast<size_t>(fftSize) + kRowPadding;
    const size_t impulseBytes = pageRound(sizeof(float) * kImpulseCapacity);
    const size_t rowsBytes = pageRound(sizeof(float) * stride * kMaxPartitions);
    const size_t rowBytes = pageRound(sizeof(float) * stride);
    const size_t channelBytes = 2 * impulseBytes + 3 * rowsBytes + 4 * rowBytes;
    storageBytes = 2 * channelBytes + rowBytes;

    // Anonymous memory arrives zero-filled and untouched; a page becomes resident only when
    // it is first written, so only the partitions in use cost memory.
    void* mapping = mmap(nullptr, storageBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        throw std::bad_alloc();
    storage = mapping;

    char* next = static_cast<char*>(storage);
    auto carve = [&next](size_t bytes) {
        float* block = reinterpret_cast<float*>(next);
        next += bytes;
        return block;
    };
    for (Channel& ch : channels) {
        ch.impulse[0] = carve(impulseBytes);
        ch.impulse[1] = carve(impulseBytes);
        ch.spectra[0] = carve(rowsBytes);
        ch.spectra[1] = carve(rowsBytes);
        ch.inputSpectra = carve(rowsBytes);
        ch.inputRow = carve(rowBytes);
        ch.accumulator = carve(rowBytes);
        ch.outputRow = carve(rowBytes);
        ch.partial = carve(rowBytes);
        ch.continuityOffset = 0.0f;
        ch.lastRaw = 0.0f;
        ch.dcPreviousIn = 0.0f;
        ch.dcPreviousOut = 0.0f;
        ch.dcCoefficient = 0.996f;
        ch.out = 0.0f;
    }
    loadRow = carve(rowBytes);

    try {
        processFft = new RealFft(fftSize);
        loadFft = new RealFft(fftSize);
    } catch (...) {
        delete processFft;
        munmap(storage, storageBytes);
        throw;
    }

    for (int i = 0; i < kMaxPartitions; ++i)
        historyIndex[i] = i;
    inPos = hop;
    sliceLength = std::max(hop / kSlices, 1);
    // Empty start: a ring of 100000 samples' worth of zero partitions, silent until the
    // first impulse is swapped in.
    frontCount = std::min(100000 / half, kMaxPartitions);
}

QS_ConvolverP::~QS_ConvolverP()
{
    delete processFft;
    delete loadFft;
    munmap(storage, storageBytes);
}

float* QS_ConvolverP::outputCell(int channel)
{
    return &channels[channel == 0 ? 0 : 1].out;
}

float*& QS_ConvolverP::impulseBufferRef(int channel)
{
    return channels[channel == 1 ? 1 : 0].impulse[1];
}

void QS_ConvolverP::processSample()
{
    const int p = inPos;
    dither = -dither;
    for (int c = 0; c < 2; ++c) {
        Channel& ch = channels[c];
        const float raw = ch.continuityOffset + ch.outputRow[p];
        // DC blocker y = 0.996 y1 + x - x1, with the flipping 1e-24 against denormals
        const double y = static_cast<double>(ch.dcCoefficient * ch.dcPreviousOut) + dither +
                         static_cast<double>(raw - ch.dcPreviousIn);
        ch.dcPreviousIn = raw;
        ch.dcPreviousOut = static_cast<float>(y);
        ch.out = ch.dcPreviousOut;
        ch.lastRaw = raw;
        ch.inputRow[p] = *input[c];
    }
    if ((p - hop) % sliceLength == 0)
        accumulateSlice((p - hop) / sliceLength);
    if (++inPos < fftSize)
        return;
    blockStep();
}

void QS_ConvolverP::accumulateSlice(int slice)
{
    const int slices = hop / sliceLength;
    // The loader leaves the back set alone while it waits for its swap (acquire).
    if (!partialBack && 2 * slice < slices && impulseReady.load(std::memory_order_acquire))
        startPartial(1);
    if (!partialValid || partialDone >= nextPartitions)
        return;
    // the rows left, spread evenly over the slices left
    const int rows = (nextPartitions - partialDone + slices - slice - 1) / (slices - slice);
    for (int c = 0; c < 2; ++c)
        macAdd(channels[c].partial, nextInput[c] + partialDone, nextImpulse[c] + partialDone, rows, half);
    partialDone += rows;
}

void QS_ConvolverP::startPartial(int set)
{
    // Set 1 (the back set) as it will be after its swap: its own count and ring length.
    const int count = set == 0 ? frontCount : backCount;
    nextPartitions = std::min(validRows + 1, count);
    // Every other block runs through the partitions backwards: the rows read last in one
    // block are read first in the next, while they are still in the cache. (The sum's order
    // alternates with it; the difference is single-precision rounding.)
    if (set == 0)
        backwards = !backwards;
    for (int c = 0; c < 2; ++c) {
        Channel& ch = channels[c];
        std::memset(ch.partial, 0, sizeof(float) * fftSize);
        for (int k = 1; k < nextPartitions; ++k) {
            const int i = backwards ? nextPartitions - k : k;
            nextInput[c][k] = row(ch.inputSpectra, historyIndex[i]);
            nextImpulse[c][k] = row(ch.spectra[set], i);
        }
    }
    partialDone = 1;
    partialValid = true;
    partialBack = set == 1;
}

void QS_ConvolverP::blockStep()
{
    // 1. A loaded impulse takes over at this boundary if this hop's partial sums were made
    // with it (or there are none to keep). The input ring keeps its order, so the new impulse
    // meets the same past input as the old one did; a longer ring grows into rows that only
    // count once they have received input (validRows).
    if ((partialBack || !partialValid) && impulseReady.load(std::memory_order_acquire))
        swapImpulse();
    validRows = std::min(validRows + 1, ringLength());
    const int partitions = std::min(validRows, frontCount);

    const int current = historyIndex[0];
    for (Channel& ch : channels) {
        // 2. spectrum of the newest input row into the ring (older input rows are not kept:
        // only their spectra are used again)
        processFft->forward(row(ch.inputSpectra, current), ch.inputRow);

        // 3., 4. sum of the partition products, DC and Nyquist dropped; rows never written
        // since a ring change (validRows) hold no input yet and are skipped. Normally the
        // older partitions were summed during the hop and only the newest is added here.
        if (partialValid && nextPartitions == partitions && partitions > 0) {
            const int c = static_cast<int>(&ch - channels);
            if (partialDone < partitions)
                macAdd(ch.partial, nextInput[c] + partialDone, nextImpulse[c] + partialDone,
                       partitions - partialDone, half);
            std::memcpy(ch.accumulator, ch.partial, sizeof(float) * fftSize);
            const float* newestInput = row(ch.inputSpectra, current);
            const float* newestImpulse = row(ch.spectra[0], 0);
            macAdd(ch.accumulator, &newestInput, &newestImpulse, 1, half);
            ch.accumulator[0] = 0.0f;
            ch.accumulator[half] = 0.0f;
        } else {
            for (int i = 0; i < partitions; ++i) {
                macInput[i] = row(ch.inputSpectra, historyIndex[i]);
                macImpulse[i] = row(ch.spectra[0], i);
            }
            mac(ch.accumulator, macInput, macImpulse, partitions, half);
        }

        // 5. back to time (the inverse writes the whole row): entries hop .. fftSize-1 are
        // the next block's output
        processFft->inverse(ch.accumulator, ch.outputRow);
        processFft->rescale(ch.outputRow);

        // 6. the new block starts where the old one ended, whatever changed in between
        ch.continuityOffset = ch.lastRaw - ch.outputRow[hop - 1];
    }

    // 7. rotate the ring of the first ringLength() rows: the oldest row takes the new input
    const int last = ringLength() - 1;
    const int oldest = historyIndex[last];
    std::memmove(historyIndex + 1, historyIndex, sizeof(int) * last);
    historyIndex[0] = oldest;
    // what the oldest row held is gone: should the ring grow later, that row counts again
    // only once it holds new input
    validRows = std::min(validRows, last);

    // 8. the new input row starts with the hop just transformed
    for (Channel& ch : channels)
        std::memcpy(ch.inputRow, ch.inputRow + half, sizeof(float) * hop);
    inPos = hop;
    startPartial(0);
}

void QS_ConvolverP::loadImpulse()
{
    backCount = std::clamp(impulseLength / half, 0, kMaxPartitions);
    // loadRow's second half is never written: the zero padding of the linear convolution.
    for (Channel& ch : channels) {
        const float* source = ch.impulse[1];
        for (int p = 0; p < backCount; ++p) {
            const float* part = source + static_cast<size_t>(p) * half;
            for (int k = 0; k < half; ++k)
                loadRow[k] = part[k] * kImpulseScale;
            loadFft->forward(row(ch.spectra[1], p), loadRow);
        }
    }
    impulseReady.store(true, std::memory_order_release);
}

bool QS_ConvolverP::adoptImpulse()
{
    if (!impulseReady.load(std::memory_order_acquire))
        return false;
    swapImpulse();
    partialValid = false;   // the next block step sums every partition of the new impulse
    return true;
}

void QS_ConvolverP::swapImpulse()
{
    for (Channel& ch : channels) {
        std::swap(ch.impulse[0], ch.impulse[1]);
        std::swap(ch.spectra[0], ch.spectra[1]);
    }
    std::swap(frontCount, backCount);
    // partial sums made with the old impulse are of no use any more
    partialValid = partialValid && partialBack;
    partialBack = false;
    impulseReady.store(false, std::memory_order_release);
}
