// The passes of RealFft's transforms, written once and compiled twice (RealFft.cpp with the
// target's default vectors, RealFftAvx2.cpp for AVX2). Include it only there: everything here
// has internal linkage. The table passes take four or eight entries at a time: the same
// operations on the same values as the scalar loop, so the same bits; the mirrored indices
// (n - i) are read and written as reversed vectors. Without vectors the code is scalar.
#pragma once

#include "dsp/RealFft.h"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"   // the octets never leave this file's inlined code
#endif

namespace {

typedef float Quad __attribute__((vector_size(16)));
typedef float Oct __attribute__((vector_size(32)));

template <typename V> inline V load(const float* p)
{
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
template <typename V> inline void store(float* p, V v) { __builtin_memcpy(p, &v, sizeof v); }
inline Quad reversed(Quad v) { return __builtin_shufflevector(v, v, 3, 2, 1, 0); }
inline Oct reversed(Oct v) { return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0); }

// Entries i … i + width - 1 of one group of a forward table pass.
template <typename V>
inline __attribute__((always_inline)) void forwardEntries(const float* A, const float* B, float* D,
                                                          const float* level, int len, int h, int i)
{
    constexpr int w = sizeof(V) / sizeof(float);
    const V c = load<V>(level + i);
    const V sn = reversed(load<V>(level + h - i - (w - 1)));
    const V b = load<V>(B + i);
    const V bh = load<V>(B + h + i);
    const V a = load<V>(A + i);
    const V ah = load<V>(A + h + i);
    const V v = b * c - bh * sn;
    store(D + i, a + v);
    store(D + len - i - (w - 1), reversed(a - v));
    const V x = b * sn + bh * c;
    store(D + len + i, x + ah);
    store(D + 2 * len - i - (w - 1), reversed(x - ah));
}

// Entries i … i + width - 1 of one group of an inverse table pass.
template <typename V>
inline __attribute__((always_inline)) void inverseEntries(const float* S, const float* T, float* D1, float* D2,
                                                          const float* level, int len, int h, int i)
{
    constexpr int w = sizeof(V) / sizeof(float);
    const V si = load<V>(S + i);
    const V sm = reversed(load<V>(S + len - i - (w - 1)));
    const V ti = load<V>(T + i);
    const V tm = reversed(load<V>(T + len - i - (w - 1)));
    store(D1 + i, si + sm);
    store(D1 + h + i, ti - tm);
    const V c = load<V>(level + i);
    const V sn = reversed(load<V>(level + h - i - (w - 1)));
    const V vr = si - sm;
    const V vi = ti + tm;
    store(D2 + i, vr * c + vi * sn);
    store(D2 + h + i, vi * c - vr * sn);
}

// Forward transform of a row of at least 8 entries (bits >= 3); Wide is the widest vector used.
template <typename Wide>
inline void forwardPasses(const RealFftTables& tables, float* f, const float* x)
{
    constexpr int kWidth = sizeof(Wide) / sizeof(float);
    const int n = tables.n, bits = tables.bits;
    const float halfSqrt2 = tables.halfSqrt2;
    const int* const reversal = tables.reversal;
    const float* const cosines = tables.cosines;
    float* const scratch = tables.scratch;
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
            // as many entries at a time as the vectors hold, from the first multiple of it
            int i = scalarEnd;
            for (; i < h && i % kWidth != 0; i += 4)
                forwardEntries<Quad>(A, B, D, level, len, h, i);
            for (; i < h; i += kWidth)
                forwardEntries<Wide>(A, B, D, level, len, h, i);
        }
        float* t = s;
        s = d;
        d = t;
    }
}

// Inverse transform of a row of at least 8 entries.
template <typename Wide>
inline void inversePasses(const RealFftTables& tables, const float* f, float* x)
{
    constexpr int kWidth = sizeof(Wide) / sizeof(float);
    const int n = tables.n, bits = tables.bits;
    const float halfSqrt2 = tables.halfSqrt2;
    const int* const reversal = tables.reversal;
    const float* const cosines = tables.cosines;
    float* const scratch = tables.scratch;
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
            int i = scalarEnd;
            for (; i < h && i % kWidth != 0; i += 4)
                inverseEntries<Quad>(S, T, D1, D2, level, len, h, i);
            for (; i < h; i += kWidth)
                inverseEntries<Wide>(S, T, D1, D2, level, len, h, i);
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

} // namespace
