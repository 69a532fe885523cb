#include "dsp/RealFftBody.h"

#include "dsp/CpuFeatures.h"

#include <cmath>
#include <stdexcept>

void realFftForwardPortable(const RealFftTables& t, float* f, const float* x)
{
    forwardPasses<Quad>(t, f, x);
}

void realFftInversePortable(const RealFftTables& t, const float* f, float* x)
{
    inversePasses<Quad>(t, f, x);
}

#if !(defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)))
void realFftForwardAvx2(const RealFftTables& t, float* f, const float* x) { forwardPasses<Quad>(t, f, x); }
void realFftInverseAvx2(const RealFftTables& t, const float* f, float* x) { inversePasses<Quad>(t, f, x); }
#endif

RealFft::RealFft(int length)
    : tables{}, cosineCount(0), forwardPasses(realFftForwardPortable), inversePasses(realFftInversePortable)
{
    // Only powers of two are transformable; any other length would index past the tables.
    if (length < 1 || (length & (length - 1)) != 0)
        throw std::invalid_argument("RealFft length must be a power of two");

    const int n = length;
    const int bits = static_cast<int>(std::floor(logf(static_cast<float>(n)) / logf(2.0f) + 0.5f));

    const int size = 1 << bits;
    int* const reversal = new int[size];
    reversal[0] = 0;
    int r = 0;
    for (int c = 1; c < size; ++c) {
        // bit-reversed increment: carry from the top bit downwards
        int m = size >> 1;
        for (;;) {
            r ^= m;
            if (r & m)
                break;
            m >>= 1;
        }
        reversal[c] = r;
    }

    float* cosines = nullptr;
    if (bits > 3) {
        cosineCount = (1 << (bits - 1)) - 4;
        cosines = new float[cosineCount];
        const double pi = 4.0 * static_cast<double>(atanf(1.0f));
        for (int level = 3; level < bits; ++level) {
            float* entry = cosines + (1 << (level - 1)) - 4;
            const int count = 1 << (level - 1);
            for (int i = 0; i < count; ++i)
                entry[i] = static_cast<float>(std::cos(i * pi / (1 << level)));
        }
    }
    float* const scratch = bits > 2 ? new float[n]() : nullptr;
    tables = RealFftTables{n, bits, sqrtf(2.0f) * 0.5f, reversal, cosines, scratch};
    static const bool avx2 = cpuHasAvx2();
    if (avx2) {
        forwardPasses = realFftForwardAvx2;
        inversePasses = realFftInverseAvx2;
    }
}

RealFft::~RealFft()
{
    delete[] tables.reversal;
    delete[] tables.cosines;
    delete[] tables.scratch;
}

void RealFft::forward(float* f, const float* x)
{
    const int bits = tables.bits;
    if (bits < 3) {
        if (bits == 0) {
            f[0] = x[0];
        } else if (bits == 1) {
            f[0] = x[0] + x[1];
            f[1] = x[0] - x[1];
        } else {
            f[1] = x[0] - x[2];
            f[3] = x[1] - x[3];
            const float a = x[0] + x[2];
            const float c = x[1] + x[3];
            f[2] = a - c;
            f[0] = c + a;
        }
        return;
    }

    forwardPasses(tables, f, x);
}

void RealFft::inverse(const float* f, float* x)
{
    const int bits = tables.bits;
    if (bits < 3) {
        if (bits == 0) {
            x[0] = f[0];
        } else if (bits == 1) {
            x[0] = f[0] + f[1];
            x[1] = f[0] - f[1];
        } else {
            const float a = f[0] + f[2];
            const float c = f[0] - f[2];
            x[0] = a + 2.0f * f[1];
            x[2] = a - 2.0f * f[1];
            x[1] = c + 2.0f * f[3];
            x[3] = c - 2.0f * f[3];
        }
        return;
    }

    inversePasses(tables, f, x);
}

void RealFft::rescale(float* row) const
{
    const float scale = 1.0f / static_cast<float>(tables.n);
    for (int i = tables.n - 1; i >= 0; --i)
        row[i] *= scale;
}
