// RealFft against a naive double-precision DFT in the packed layout
// (f[k] = Re X_k for k <= N/2, f[N/2 + k] = -Im X_k), for every power of two up to 4096.
#include "dsp/RealFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Packed spectrum of x by the definition X_k = sum x_n e^(-2 pi i k n / N), in double.
std::vector<double> naivePacked(const std::vector<float>& x)
{
    const int n = static_cast<int>(x.size());
    std::vector<double> f(n, 0.0);
    for (int k = 0; k <= n / 2; ++k) {
        double re = 0.0, im = 0.0;
        for (int t = 0; t < n; ++t) {
            // reduce k t modulo N first so the angle stays exact for large products
            const double angle = 2.0 * M_PI * static_cast<double>((static_cast<long>(k) * t) % n) / n;
            re += x[t] * std::cos(angle);
            im -= x[t] * std::sin(angle);
        }
        f[k] = re;
        if (k > 0 && k < n / 2)
            f[n / 2 + k] = -im;
    }
    if (n == 1)
        f[0] = x[0];
    return f;
}

std::vector<float> noise(int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x)
        v = dist(gen);
    return x;
}

double rms(const std::vector<float>& x)
{
    double sum = 0.0;
    for (float v : x)
        sum += static_cast<double>(v) * v;
    return std::sqrt(sum / x.size());
}

} // namespace

// Single-precision rounding in log2 N passes: each bin's error stays within a small multiple of
// eps · sqrt(N) · rms(x) · log2 N; 1e-6 · sqrt(N) · (bits + 1) · rms leaves a margin of ~10.
TEST(RealFft, ForwardMatchesNaiveDftForEveryPowerOfTwo)
{
    for (int bits = 0; bits <= 12; ++bits) {
        const int n = 1 << bits;
        const std::vector<float> x = noise(n, 100 + bits);
        RealFft fft(n);
        ASSERT_EQ(fft.bitCount(), bits);
        std::vector<float> f(n);
        fft.forward(f.data(), x.data());
        const std::vector<double> ref = naivePacked(x);
        const double tol = 1e-6 * std::sqrt(static_cast<double>(n)) * (bits + 1) * rms(x);
        for (int k = 0; k < n; ++k)
            ASSERT_NEAR(f[k], ref[k], tol) << "N = " << n << ", k = " << k;
    }
}

TEST(RealFft, InverseThenRescaleRestoresTheRow)
{
    for (int bits = 0; bits <= 12; ++bits) {
        const int n = 1 << bits;
        const std::vector<float> x = noise(n, 200 + bits);
        RealFft fft(n);
        std::vector<float> f(n), y(n);
        fft.forward(f.data(), x.data());
        const std::vector<float> spectrum = f;
        fft.inverse(f.data(), y.data());
        EXPECT_EQ(f, spectrum) << "inverse must not modify its input";
        fft.rescale(y.data());
        for (int t = 0; t < n; ++t)
            ASSERT_NEAR(y[t], x[t], 4e-7 * (bits + 1)) << "N = " << n << ", t = " << t;
    }
}

TEST(RealFft, TablesForSize4096)
{
    RealFft fft(4096);
    EXPECT_EQ(fft.bitCount(), 12);
    EXPECT_EQ(fft.cosineTableSize(), 2044);
    const int* rev = fft.bitReversal();
    for (int c = 0; c < 4096; ++c) {
        int r = 0;
        for (int b = 0; b < 12; ++b)
            r |= ((c >> b) & 1) << (11 - b);
        ASSERT_EQ(rev[c], r) << c;
    }
    // level l (l = 3 .. 11) starts at 2^(l-1) - 4 and holds cos(i pi / 2^l)
    const float* cosines = fft.cosineTable();
    for (int level = 3; level < 12; ++level)
        for (int i = 0; i < (1 << (level - 1)); ++i)
            ASSERT_NEAR(cosines[(1 << (level - 1)) - 4 + i], std::cos(i * M_PI / (1 << level)), 1e-7);

    EXPECT_EQ(RealFft(8).cosineTableSize(), 0);
    EXPECT_EQ(RealFft(8).cosineTable(), nullptr);
    EXPECT_THROW(RealFft(3000), std::invalid_argument);
    EXPECT_THROW(RealFft(0), std::invalid_argument);
}

// The complex product of two packed spectra (pairs f[k], f[N/2 + k]; DC and Nyquist are real
// and multiply on their own) inverts to the circular convolution of the two rows.
TEST(RealFft, ProductOfSpectraIsCircularConvolution)
{
    const int n = 256;
    const std::vector<float> a = noise(n, 7), b = noise(n, 8);
    RealFft fft(n);
    std::vector<float> fa(n), fb(n), product(n), y(n);
    fft.forward(fa.data(), a.data());
    fft.forward(fb.data(), b.data());
    const int h = n / 2;
    product[0] = fa[0] * fb[0];
    product[h] = fa[h] * fb[h];
    for (int k = 1; k < h; ++k) {
        product[k] = fa[k] * fb[k] - fa[h + k] * fb[h + k];
        product[h + k] = fa[k] * fb[h + k] + fa[h + k] * fb[k];
    }
    fft.inverse(product.data(), y.data());
    fft.rescale(y.data());
    for (int t = 0; t < n; ++t) {
        double ref = 0.0;
        for (int j = 0; j < n; ++j)
            ref += static_cast<double>(a[j]) * b[(t - j + n) % n];
        ASSERT_NEAR(y[t], ref, 2e-5) << t;
    }
}
