// The diagonal (vectorised, AVX2 where available, and portable) dispersion cascade against the plain sample-by-sample loop on the
// same input: the same bits, whatever the stage counts and coefficients do from sample to
// sample, and with the state carried from one run into the next.
#include "dsp/AllpassCascade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct CascadeRun {
    std::vector<float> left, right, coefficient;
    std::vector<int> count;
};

CascadeRun makeRun(int n, unsigned seed, int minCount, int maxCount)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> v(-1.0f, 1.0f), c(0.0f, 0.97f);
    std::uniform_int_distribution<int> k(minCount, maxCount);
    CascadeRun r;
    for (int i = 0; i < n; i++) {
        r.left.push_back(v(gen));
        r.right.push_back(i % 7 == 0 ? 0.0f : v(gen));
        r.coefficient.push_back(c(gen));
        r.count.push_back(k(gen));
    }
    return r;
}

} // namespace

TEST(AllpassCascade, DiagonalRunEqualsTheSerialLoopBitForBit)
{
    // constant counts (the usual synthesis), counts that jump every sample, runs shorter
    // than the cascade, and the full 40 stages
    const struct { int n, lo, hi; } cases[] = {{1024, 37, 37}, {1000, 0, 40}, {5, 1, 40}, {300, 40, 40}, {64, 21, 21}, {2500, 30, 37}};
    unsigned seed = 1;
    for (const auto& cs : cases) {
        AllpassState inA{}, outA{}, inB{}, outB{}, inC{}, outC{};
        // two consecutive runs: the state left by the first feeds the second
        for (int pass = 0; pass < 2; pass++) {
            CascadeRun r = makeRun(cs.n, seed++, cs.lo, cs.hi);
            std::vector<float> l2 = r.left, r2 = r.right, l3 = r.left, r3 = r.right;
            float* portable[2] = {l3.data(), r3.data()};
            allpassCascadePortable(inC, outC, portable, r.coefficient.data(), r.count.data(), cs.n);
            float* fast[2] = {r.left.data(), r.right.data()};
            float* plain[2] = {l2.data(), r2.data()};
            allpassCascade(inA, outA, fast, r.coefficient.data(), r.count.data(), cs.n);
            allpassCascadeSerial(inB, outB, plain, r.coefficient.data(), r.count.data(), cs.n);
            ASSERT_EQ(0, std::memcmp(r.left.data(), l2.data(), sizeof(float) * cs.n)) << "n " << cs.n;
            ASSERT_EQ(0, std::memcmp(r.right.data(), r2.data(), sizeof(float) * cs.n)) << "n " << cs.n;
            ASSERT_EQ(0, std::memcmp(inA, inB, sizeof(AllpassState)));
            ASSERT_EQ(0, std::memcmp(outA, outB, sizeof(AllpassState)));
            ASSERT_EQ(0, std::memcmp(l3.data(), l2.data(), sizeof(float) * cs.n)) << "portable, n " << cs.n;
            ASSERT_EQ(0, std::memcmp(r3.data(), r2.data(), sizeof(float) * cs.n)) << "portable, n " << cs.n;
        }
    }
}

TEST(AllpassCascade, IsAnAllpassWithTheExpectedDelay)
{
    // An independent check of the recursion itself: one stage with c = 0 is a pure delay of
    // one sample, and 37 stages with c = 0.5 keep a sine's power (allpass), sampled after the
    // transient has died away.
    const int n = 4096;
    std::vector<float> l(n), r(n, 0.0f), c(n, 0.0f);
    std::vector<int> one(n, 1);
    for (int i = 0; i < n; i++)
        l[i] = (float)std::sin(0.05 * i);
    std::vector<float> original = l;
    AllpassState pin{}, pout{};
    float* rows[2] = {l.data(), r.data()};
    allpassCascade(pin, pout, rows, c.data(), one.data(), n);
    for (int i = 1; i < n; i++)
        ASSERT_EQ(l[i], original[i - 1]);

    std::vector<float> s(n), z(n, 0.0f), half(n, 0.5f);
    std::vector<int> many(n, 37);
    for (int i = 0; i < n; i++)
        s[i] = (float)std::sin(0.3 * i);
    AllpassState in2{}, out2{};
    float* rows2[2] = {s.data(), z.data()};
    allpassCascade(in2, out2, rows2, half.data(), many.data(), n);
    double power = 0.0;
    for (int i = 2048; i < n; i++)
        power += (double)s[i] * s[i];
    EXPECT_NEAR(power / (n - 2048), 0.5, 0.01);
}
