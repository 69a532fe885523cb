// RealFft with its vectorised table passes against a plain scalar rendering of the same
// radix-2 passes written here: the same operations on the same values, so the same bits, for
// every size from 8 to 4096 and both directions. (The transform's correctness against a naive
// DFT is dsp_fft_test's business.)
#include "dsp/RealFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Plain {
    int n, bits;
    float halfSqrt2;
    std::vector<int> rev;
    std::vector<float> cosines, scratch;

    explicit Plain(int length) : n(length), bits(0), rev(length), scratch(length)
    {
        while ((1 << bits) < n)
            bits++;
        halfSqrt2 = sqrtf(2.0f) * 0.5f;
        for (int c = 0; c < n; c++) {
            int r = 0;
            for (int b = 0; b < bits; b++)
                if (c & (1 << b))
                    r |= 1 << (bits - 1 - b);
            rev[c] = r;
        }
        const double pi = 4.0 * (double)atanf(1.0f);
        for (int l = 3; l < bits; l++)
            for (int i = 0; i < (1 << (l - 1)); i++)
                cosines.push_back((float)std::cos(i * pi / (1 << l)));
    }
    const float* level(int p) const { return cosines.data() + (1 << (p - 1)) - 4; }

    void forward(float* f, const float* x)
    {
        float* d = (bits & 1) ? scratch.data() : f;
        float* s = (bits & 1) ? f : scratch.data();
        for (int g = 0; g < n; g += 4) {
            const float x0 = x[rev[g]], x1 = x[rev[g + 1]], x2 = x[rev[g + 2]], x3 = x[rev[g + 3]];
            d[g + 1] = x0 - x1;
            d[g + 3] = x2 - x3;
            const float a = x0 + x1, c = x2 + x3;
            d[g] = a + c;
            d[g + 2] = a - c;
        }
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
        for (int p = 3; p < bits; p++) {
            const int len = 1 << p, h = len / 2;
            for (int g = 0; g < n; g += 2 * len) {
                const float* A = s + g;
                const float* B = A + len;
                float* D = d + g;
                D[0] = A[0] + B[0];
                D[len] = A[0] - B[0];
                D[h] = A[h];
                D[len + h] = B[h];
                for (int i = 1; i < h; i++) {
                    const float c = level(p)[i], sn = level(p)[h - i];
                    const float v = B[i] * c - B[h + i] * sn;
                    D[i] = A[i] + v;
                    D[len - i] = A[i] - v;
                    const float w = B[i] * sn + B[h + i] * c;
                    D[len + i] = w + A[h + i];
                    D[2 * len - i] = w - A[h + i];
                }
            }
            std::swap(s, d);
        }
    }

    void inverse(const float* f, float* x)
    {
        const float* src = f;
        float* dst = (bits & 1) ? scratch.data() : x;
        float* other = (bits & 1) ? x : scratch.data();
        for (int p = bits - 1; p >= 3; p--) {
            const int len = 1 << p, h = len / 2;
            for (int g = 0; g < n; g += 2 * len) {
                const float* S = src + g;
                const float* T = S + len;
                float* D1 = dst + g;
                float* D2 = D1 + len;
                D1[0] = S[0] + T[0];
                D2[0] = S[0] - T[0];
                D1[h] = 2.0f * S[h];
                D2[h] = 2.0f * T[h];
                for (int i = 1; i < h; i++) {
                    D1[i] = S[i] + S[len - i];
                    D1[h + i] = T[i] - T[len - i];
                    const float c = level(p)[i], sn = level(p)[h - i];
                    const float vr = S[i] - S[len - i], vi = T[i] + T[len - i];
                    D2[i] = vr * c + vi * sn;
                    D2[h + i] = vi * c - vr * sn;
                }
            }
            src = dst;
            dst = other;
            other = const_cast<float*>(src);
        }
        for (int g = 0; g < n; g += 8) {
            dst[g] = src[g] + src[g + 4];
            dst[g + 4] = src[g] - src[g + 4];
            dst[g + 2] = 2.0f * src[g + 2];
            dst[g + 6] = 2.0f * src[g + 6];
            dst[g + 1] = src[g + 1] + src[g + 3];
            dst[g + 3] = src[g + 5] - src[g + 7];
            const float vr = src[g + 1] - src[g + 3], vi = src[g + 5] + src[g + 7];
            dst[g + 5] = (vr + vi) * halfSqrt2;
            dst[g + 7] = (vi - vr) * halfSqrt2;
        }
        for (int g = 0; g < n; g += 4) {
            const float a = dst[g] + dst[g + 2], c = dst[g] - dst[g + 2];
            const float e = 2.0f * dst[g + 1], q = 2.0f * dst[g + 3];
            x[rev[g]] = a + e;
            x[rev[g + 1]] = a - e;
            x[rev[g + 2]] = c + q;
            x[rev[g + 3]] = c - q;
        }
    }
};

} // namespace

TEST(RealFftPasses, VectorisedPassesGiveTheBitsOfThePlainPasses)
{
    std::mt19937 gen(4);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int n = 8; n <= 4096; n *= 2) {
        std::vector<float> x(n), f(n), g(n), y(n), z(n);
        for (float& v : x)
            v = d(gen);
        RealFft fft(n);
        Plain plain(n);
        fft.forward(f.data(), x.data());
        plain.forward(g.data(), x.data());
        ASSERT_EQ(0, std::memcmp(f.data(), g.data(), sizeof(float) * n)) << "forward, N " << n;
        fft.inverse(f.data(), y.data());
        plain.inverse(g.data(), z.data());
        ASSERT_EQ(0, std::memcmp(y.data(), z.data(), sizeof(float) * n)) << "inverse, N " << n;
        // the portable passes too, wherever the AVX2 ones run
        if (n >= 8) {
            std::vector<float> scratch(n), p(n), q(n);
            const RealFftTables tables{n, fft.bitCount(), sqrtf(2.0f) * 0.5f, fft.bitReversal(), fft.cosineTable(),
                                       scratch.data()};
            realFftForwardPortable(tables, p.data(), x.data());
            ASSERT_EQ(0, std::memcmp(p.data(), g.data(), sizeof(float) * n)) << "portable forward, N " << n;
            realFftInversePortable(tables, p.data(), q.data());
            ASSERT_EQ(0, std::memcmp(q.data(), z.data(), sizeof(float) * n)) << "portable inverse, N " << n;
        }
        // and the round trip is the identity up to rounding, so the reference is sound
        for (int i = 0; i < n; i++)
            ASSERT_NEAR(y[i] / n, x[i], 1e-5f) << "N " << n;
    }
}
