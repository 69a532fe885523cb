#include "dsp/RealFft.h"

#include <cmath>
#include <stdexcept>

namespace {

// Four bins at a time in the table passes: the same operations on the same values as the
// scalar loop, so the same bits; the mirrored indices (n - i) are read and written as
// reversed vectors. SSE2 on x86; plain scalar code where the target has no vectors.
typedef float Quad __attribute__((vector_size(16)));

inline Quad loadQuad(const float* p)
{
    Quad v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
inline void storeQuad(float* p, Quad v) { __builtin_memcpy(p, &v, sizeof v); }
inline Quad reversed(Quad v) { return __builtin_shufflevector(v, v, 3, 2, 1, 0); }

} // namespace

RealFft::RealFft(int length)
    : n(length), bits(0), halfSqrt2(0.0f), reversal(nullptr), cosines(nullptr), cosineCount(0),
      scratch(nullptr)
{
    // Only powers of two are transformable; any other length would index past the tables.
    if (length < 1 || (length & (length - 1)) != 0)
        throw std::invalid_argument("RealFft length must be a power of two");

    bits = static_cast<int>(std::floor(logf(static_cast<float>(n)) / logf(2.0f) + 0.5f));
    halfSqrt2 = sqrtf(2.0f) * 0.5f;

    const int size = 1 << bits;
    reversal = new int[size];
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
    if (bits > 2)
        scratch = new float[n]();
}

RealFft::~RealFft()
{
    delete[] reversal;
    delete[] cosines;
    delete[] scratch;
}

void RealFft::forward(float* f, const float* x)
{
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

    // The passes ping-pong between f and the scratch row; the parity of b decides where the
    // first one writes so that the last one lands in f.
    float* d = (bits & 1) ? scratch : f;
    float* s = (bits & 1) ? f : scratch;

    // passes 1 and 2 as radix-4 butterflies on bit-reversed input
    for (int g = 0; g < n; g += 4) {
        const float x0 = x[reversal[g]];
        const float x1 = x[reversal[g + 1]];
        const float x2 = x[reversal[g + 2]];
        const float x3 = x[reversal[g + 3]];
        d[g + 1] = x0 - x1;
        d[g + 3] = x2 - x3;
        const float a = x0 + x1;
        const float c = x2 + x3;
        d[g] = a + c;
        d[g + 2] = a - c;
    }

    // pass 3: the only twiddle is √2/2
    for (int g = 0; g < n; g += 8) {
        s[g] = d[g] + d[g + 4];
        s[g + 4] = d[g] - d[g + 4];
        s[g + 2] = d[g + 2];
        s[g + 6] = d[g + 6];
        float v = (d[g + 5] - d[g + 7]) * halfSqrt2;
        s[g + 1] = d[g + 1] + v;
        s[g + 3] = d[g + 1] - v;
        v = (d[g + 5] + d[g + 7]) * halfSqrt2;
        s[g + 5] = v + d[g + 3];
        s[g + 7] = v - d[g + 3];
    }

    // table passes, each from s into d, then the roles change
    for (int p = 3; p < bits; ++p) {
        const int len = 1 << p;
        const int h = len >> 1;
        const float* level = cosines + h - 4;
        for (int g = 0; g < n; g += 2 * len) {
            const float* A = s + g;
            const float* B = A + len;
            float* D = d + g;
            D[0] = A[0] + B[0];
            D[len] = A[0] - B[0];
            D[h] = A[h];
            D[len + h] = B[h];
            const int scalarEnd = h < 8 ? h : 4;
            for (int i = 1; i < scalarEnd; ++i) {
                const float c = level[i];
                const float sn = level[h - i];
                const float v = B[i] * c - B[h + i] * sn;
                D[i] = A[i] + v;
                D[len - i] = A[i] - v;
                const float w = B[i] * sn + B[h + i] * c;
                D[len + i] = w + A[h + i];
                D[2 * len - i] = w - A[h + i];
            }
            for (int i = scalarEnd; i < h; i += 4) {
                const Quad c = loadQuad(level + i);
                const Quad sn = reversed(loadQuad(level + h - i - 3));
                const Quad b = loadQuad(B + i);
                const Quad bh = loadQuad(B + h + i);
                const Quad a = loadQuad(A + i);
                const Quad ah = loadQuad(A + h + i);
                const Quad v = b * c - bh * sn;
                storeQuad(D + i, a + v);
                storeQuad(D + len - i - 3, reversed(a - v));
                const Quad w = b * sn + bh * c;
                storeQuad(D + len + i, w + ah);
                storeQuad(D + 2 * len - i - 3, reversed(w - ah));
            }
        }
        float* t = s;
        s = d;
        d = t;
    }
}

void RealFft::inverse(const float* f, float* x)
{
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

    // Working rows x and scratch; the row read by the final scatter must be the scratch row.
    const float* src = f;
    float* dst = (bits & 1) ? scratch : x;
    float* other = (bits & 1) ? x : scratch;

    for (int p = bits - 1; p >= 3; --p) {
        const int len = 1 << p;
        const int h = len >> 1;
        const float* level = cosines + h - 4;
        for (int g = 0; g < n; g += 2 * len) {
            const float* S = src + g;
            const float* T = S + len;
            float* D1 = dst + g;
            float* D2 = D1 + len;
            D1[0] = S[0] + T[0];
            D2[0] = S[0] - T[0];
            D1[h] = 2.0f * S[h];
            D2[h] = 2.0f * T[h];
            const int scalarEnd = h < 8 ? h : 4;
            for (int i = 1; i < scalarEnd; ++i) {
                D1[i] = S[i] + S[len - i];
                D1[h + i] = T[i] - T[len - i];
                const float c = level[i];
                const float sn = level[h - i];
                const float vr = S[i] - S[len - i];
                const float vi = T[i] + T[len - i];
                D2[i] = vr * c + vi * sn;
                D2[h + i] = vi * c - vr * sn;
            }
            for (int i = scalarEnd; i < h; i += 4) {
                const Quad si = loadQuad(S + i);
                const Quad sm = reversed(loadQuad(S + len - i - 3));
                const Quad ti = loadQuad(T + i);
                const Quad tm = reversed(loadQuad(T + len - i - 3));
                storeQuad(D1 + i, si + sm);
                storeQuad(D1 + h + i, ti - tm);
                const Quad c = loadQuad(level + i);
                const Quad sn = reversed(loadQuad(level + h - i - 3));
                const Quad vr = si - sm;
                const Quad vi = ti + tm;
                storeQuad(D2 + i, vr * c + vi * sn);
                storeQuad(D2 + h + i, vi * c - vr * sn);
            }
        }
        src = dst;
        dst = other;
        other = const_cast<float*>(src);
    }

    // antepenultimate pass
    for (int g = 0; g < n; g += 8) {
        dst[g] = src[g] + src[g + 4];
        dst[g + 4] = src[g] - src[g + 4];
        dst[g + 2] = 2.0f * src[g + 2];
        dst[g + 6] = 2.0f * src[g + 6];
        dst[g + 1] = src[g + 1] + src[g + 3];
        dst[g + 3] = src[g + 5] - src[g + 7];
        const float vr = src[g + 1] - src[g + 3];
        const float vi = src[g + 5] + src[g + 7];
        dst[g + 5] = (vr + vi) * halfSqrt2;
        dst[g + 7] = (vi - vr) * halfSqrt2;
    }

    // last two passes, scattered to bit-reversed positions
    const float* t = dst;
    for (int g = 0; g < n; g += 4) {
        const float a = t[g] + t[g + 2];
        const float c = t[g] - t[g + 2];
        const float e = 2.0f * t[g + 1];
        const float q = 2.0f * t[g + 3];
        x[reversal[g]] = a + e;
        x[reversal[g + 1]] = a - e;
        x[reversal[g + 2]] = c + q;
        x[reversal[g + 3]] = c - q;
    }
}

void RealFft::rescale(float* row) const
{
    const float scale = 1.0f / static_cast<float>(n);
    for (int i = n - 1; i >= 0; --i)
        row[i] *= scale;
}
