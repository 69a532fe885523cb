// The convolver's multiply-accumulate kernels against a double-precision sum of complex
// products, and against each other on the same rows: the AVX2/FMA kernel fuses each product
// into the sum (one rounding instead of two), so it may differ from the portable kernel by
// single-precision rounding of the summed terms, never by a misplaced bin, row or sign.
#include "dsp/ComplexMac.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kHalf = 2048;
constexpr int kStride = 2 * kHalf + 16;

struct Rows {
    std::vector<float> x, h;
    std::vector<const float*> xp, hp;
    Rows(int rows, unsigned seed) : x(size_t(rows) * kStride + 3), h(x.size())
    {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<float> d(-1.0f, 1.0f);
        for (size_t i = 0; i < x.size(); ++i) {
            x[i] = d(gen);
            h[i] = d(gen);
        }
        for (int r = 0; r < rows; ++r) {
            // odd offsets: the kernels must not assume aligned rows
            xp.push_back(x.data() + size_t(r) * kStride + (r % 3));
            hp.push_back(h.data() + size_t(r) * kStride + ((r + 1) % 3));
        }
    }
};

// Σ_r x_r h_r in double, with DC and Nyquist dropped; also Σ |terms| for the error bound.
void reference(const Rows& rows, std::vector<double>& sum, std::vector<double>& magnitude)
{
    sum.assign(2 * kHalf, 0.0);
    magnitude.assign(2 * kHalf, 0.0);
    for (size_t r = 0; r < rows.xp.size(); ++r) {
        const float* x = rows.xp[r];
        const float* h = rows.hp[r];
        for (int k = 0; k < kHalf; ++k) {
            const double xr = x[k], xi = x[kHalf + k], hr = h[k], hi = h[kHalf + k];
            sum[k] += xr * hr - xi * hi;
            sum[kHalf + k] += xi * hr + xr * hi;
            magnitude[k] += std::fabs(xr * hr) + std::fabs(xi * hi);
            magnitude[kHalf + k] += std::fabs(xi * hr) + std::fabs(xr * hi);
        }
    }
    sum[0] = sum[kHalf] = 0.0;
}

void expectClose(const std::vector<float>& acc, const Rows& rows, const char* kernel)
{
    std::vector<double> sum, magnitude;
    reference(rows, sum, magnitude);
    const double eps = std::ldexp(1.0, -24);
    for (int k = 0; k < 2 * kHalf; ++k) {
        // every product and partial sum rounds once or twice per row
        const double bound = 4.0 * eps * magnitude[k] * (double)(rows.xp.size() + 1) + 1e-30;
        ASSERT_NEAR(acc[k], sum[k], bound) << kernel << " bin " << k << " rows " << rows.xp.size();
    }
}

} // namespace

TEST(SpectrumMac, BothKernelsMatchTheDoubleSumForEveryRowCount)
{
    // 0 rows, fewer than one group of four, whole groups and groups plus a remainder
    for (int count : {0, 1, 3, 4, 7, 8, 13}) {
        Rows rows(count, 10 + count);
        std::vector<float> acc(2 * kHalf + 8, 123.0f);   // stale contents are overwritten
        spectrumMacRowsPortable(acc.data(), rows.xp.data(), rows.hp.data(), count, kHalf);
        expectClose(acc, rows, "portable");
        EXPECT_EQ(acc[2 * kHalf], 123.0f) << "wrote past the row";
        if (spectrumMacHasAvx2()) {
            std::vector<float> fused(2 * kHalf + 8, -5.0f);
            spectrumMacRowsAvx2(fused.data(), rows.xp.data(), rows.hp.data(), count, kHalf);
            expectClose(fused, rows, "avx2");
            EXPECT_EQ(fused[2 * kHalf], -5.0f) << "wrote past the row";
        }
    }
}

TEST(SpectrumMac, PortableKernelIsTheRowByRowSum)
{
    // The portable path is the plain recipe: zero, add each row's products in order, drop the
    // DC/Nyquist pair. Same operations, same order, so the same bits.
    Rows rows(5, 3);
    std::vector<float> acc(2 * kHalf);
    spectrumMacRowsPortable(acc.data(), rows.xp.data(), rows.hp.data(), 5, kHalf);
    std::vector<float> plain(2 * kHalf, 0.0f);
    for (int r = 0; r < 5; ++r)
        for (int k = 0; k < kHalf; ++k) {
            const float* x = rows.xp[r];
            const float* h = rows.hp[r];
            plain[k] += x[k] * h[k] - x[kHalf + k] * h[kHalf + k];
            plain[kHalf + k] += x[kHalf + k] * h[k] + x[k] * h[kHalf + k];
        }
    plain[0] = plain[kHalf] = 0.0f;
    EXPECT_EQ(acc, plain);
}

TEST(SpectrumMac, RunTimeChoiceFollowsTheProcessor)
{
    const SpectrumMacRows chosen = spectrumMacRows();
    EXPECT_EQ(chosen, spectrumMacHasAvx2() ? &spectrumMacRowsAvx2 : &spectrumMacRowsPortable);
    if (!spectrumMacHasAvx2())
        GTEST_LOG_(INFO) << "no AVX2/FMA here: only the portable kernel was checked";
}
