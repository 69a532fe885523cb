// RealFft: radix-2 decimation-in-time transform of a real row of N floats into its packed
// spectrum and back, for one power-of-two size fixed at construction.
//
// Packing: f[k] = Re X_k for k = 0..N/2, f[N/2 + k] = -Im X_k for k = 1..N/2-1.
// Neither direction scales; rescale() multiplies by 1/N. A transform writes the scratch row,
// so one object serves one thread. No allocation and no trigonometry during a transform.
// The passes come in two builds of one source (RealFftBody.h), for the target's default
// vectors and for AVX2, chosen at construction; both give the same bits.
#pragma once

// What the passes work with.
struct RealFftTables {
    int n;                 // transform length N
    int bits;              // b = log2 N
    float halfSqrt2;       // √2/2 in single precision
    const int* reversal;   // 2^b bit-reversed indices
    const float* cosines;  // levels 3..b-1 of cos(iπ/2^l)
    float* scratch;        // working row of N floats
};

using RealFftForward = void (*)(const RealFftTables& t, float* f, const float* x);
using RealFftInverse = void (*)(const RealFftTables& t, const float* f, float* x);
// Rows of 8 or more entries; the AVX2 build only where the processor has it.
void realFftForwardPortable(const RealFftTables& t, float* f, const float* x);
void realFftInversePortable(const RealFftTables& t, const float* f, float* x);
void realFftForwardAvx2(const RealFftTables& t, float* f, const float* x);
void realFftInverseAvx2(const RealFftTables& t, const float* f, float* x);

class RealFft {
public:
    explicit RealFft(int length);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    void forward(float* f, const float* x);  // f and x must be different rows
    void inverse(const float* f, float* x);  // inverse(forward(x)) = N x
    void rescale(float* row) const;          // × 1/N, last entry first

    int length() const { return tables.n; }
    int bitCount() const { return tables.bits; }
    const int* bitReversal() const { return tables.reversal; }
    const float* cosineTable() const { return tables.cosines; }
    int cosineTableSize() const { return cosineCount; }

private:
    RealFftTables tables;  // owned here; cosines null when b <= 3, scratch null when b <= 2
    int cosineCount;       // 2^(b-1) - 4, or 0
    RealFftForward forwardPasses;   // the build of the passes for this processor
    RealFftInverse inversePasses;
};
