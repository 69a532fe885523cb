// QS_ConvolverP against a direct double-precision convolution: 0.05 × the impulse, one hop
// (2048 samples) late, followed by the DC blocker y = 0.996 y1 + x - x1.
//
// The block step drops the DC and Nyquist bins of every block. The dropped DC is a constant per
// block that the continuity offset puts back (the offset carries the difference between
// consecutive blocks), so only the Nyquist bin is a real deviation; the test input comes in
// equal sample pairs, which makes every row's Nyquist bin zero. What remains is single-precision
// rounding: about 1e-7 relative per transform stage and per product, summed over a few
// partitions and 2048-bin transforms, so errors of a few 1e-6 of the signal's peak; the
// tolerance of 2e-5 × peak leaves a margin, while any misplaced partition, wrong sign or
// off-by-one delay errs by the order of the signal itself.
#include "dsp/QS_ConvolverP.h"
#include "tests/support/dsp_Reference.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using dspref::Stream;

namespace {

constexpr int kHop = 2048;

struct Rig {
    int impulseLength = 0;
    float inLeft = 0.0f;
    float inRight = 0.0f;
    QS_ConvolverP conv{impulseLength, 4096, inLeft, inRight};

    void load(const std::vector<float>& left, const std::vector<float>& right)
    {
        dspref::loadBoth(conv, impulseLength, left, right);
    }
    void run(Stream& s, int begin, int end) { dspref::run(conv, inLeft, inRight, s, begin, end); }
};

Stream pairedStream(int length)
{
    Stream s;
    s.inLeft = dspref::pairedNoise(length, 1);
    s.inRight = dspref::pairedNoise(length, 2);
    return s;
}

double peak(const std::vector<double>& y)
{
    double m = 0.0;
    for (double v : y)
        m = std::max(m, std::fabs(v));
    return m;
}

// Largest deviation over [begin, end), in units of the reference's peak.
double relativeError(const std::vector<float>& out, const std::vector<double>& ref, int begin,
                     int end)
{
    double worst = 0.0;
    for (int t = begin; t < end; ++t)
        worst = std::max(worst, std::fabs(out[t] - ref[t]));
    return worst / peak(ref);
}

std::vector<float> truncated(const std::vector<float>& h)
{
    return std::vector<float>(h.begin(), h.begin() + h.size() / kHop * kHop);
}

size_t residentBytes(const QS_ConvolverP& conv)
{
    const long page = sysconf(_SC_PAGESIZE);
    const size_t pages = (conv.storageSize() + page - 1) / page;
    std::vector<unsigned char> map(pages);
    if (mincore(const_cast<void*>(conv.storageBase()), conv.storageSize(), map.data()) != 0)
        return 0;
    size_t resident = 0;
    for (unsigned char v : map)
        resident += v & 1;
    return resident * page;
}

} // namespace

TEST(ConvolverP, MatchesDirectConvolutionOneHopLate)
{
    // 4 whole partitions and 1000 samples that must be ignored; a 2048-sample unit impulse
    // on the right, which makes the wet signal 0.05 × the input, delayed.
    auto rig = std::make_unique<Rig>();
    const std::vector<float> hLeft = dspref::decayingNoise(4 * kHop + 1000, 3);
    std::vector<float> hRight(4 * kHop + 1000, 0.0f);
    hRight[0] = 1.0f;
    rig->load(hLeft, hRight);
    EXPECT_TRUE(rig->conv.impulsePending());

    const int length = 12 * kHop;
    Stream s = pairedStream(length);
    rig->run(s, 0, length);
    EXPECT_EQ(rig->conv.partitionsInUse(), 4);
    EXPECT_FALSE(rig->conv.impulsePending());

    const auto refLeft = dspref::dcBlock(dspref::delayedConvolution(s.inLeft, truncated(hLeft), 0.05, kHop));
    const auto refRight = dspref::dcBlock(dspref::delayedConvolution(s.inRight, truncated(hRight), 0.05, kHop));
    EXPECT_LT(relativeError(s.outLeft, refLeft, 0, length), 2e-5);
    EXPECT_LT(relativeError(s.outRight, refRight, 0, length), 2e-5);
    for (int t = 0; t < kHop; ++t)
        ASSERT_LT(std::fabs(s.outLeft[t]), 1e-20f) << "nothing before one hop";
}

TEST(ConvolverP, SilentUntilTheFirstImpulse)
{
    auto rig = std::make_unique<Rig>();
    EXPECT_EQ(rig->conv.partitionsInUse(), 48);
    Stream s = pairedStream(5 * kHop);
    rig->run(s, 0, 5 * kHop);
    for (int t = 0; t < 5 * kHop; ++t) {
        ASSERT_LT(std::fabs(s.outLeft[t]), 1e-20f) << t;
        ASSERT_LT(std::fabs(s.outRight[t]), 1e-20f) << t;
    }
}

TEST(ConvolverP, PartitionCountFollowsTheImpulseLength)
{
    auto rig = std::make_unique<Rig>();
    std::vector<float> h(340000, 0.0f);
    h[0] = 1.0f;
    rig->load(h, h);
    Stream s = pairedStream(kHop);
    rig->run(s, 0, kHop);
    EXPECT_EQ(rig->conv.partitionsInUse(), 166);   // 339,968 samples, the last 32 ignored

    h.assign(QS_ConvolverP::kImpulseCapacity, 0.0f);
    rig->load(h, h);
    rig->run(s, 0, kHop);
    EXPECT_EQ(rig->conv.partitionsInUse(), QS_ConvolverP::kMaxPartitions);
}

TEST(ConvolverP, TwoLoadsBeforeABoundarySwapOnceWithTheSecond)
{
    auto rig = std::make_unique<Rig>();
    float* const initialBack = rig->conv.impulseBufferRef(0);
    std::vector<float> first(kHop, 0.0f), second(2 * kHop, 0.0f);
    first[0] = 2.0f;
    second[100] = 1.0f;
    rig->load(first, first);
    rig->load(second, second);

    const int length = 6 * kHop;
    Stream s = pairedStream(length);
    rig->run(s, 0, length);
    EXPECT_EQ(rig->conv.partitionsInUse(), 2);
    EXPECT_FALSE(rig->conv.impulsePending());
    // one swap leaves the former front buffer at the back; a second would bring the first back
    EXPECT_NE(rig->conv.impulseBufferRef(0), initialBack);

    const auto ref = dspref::dcBlock(dspref::delayedConvolution(s.inLeft, second, 0.05, kHop));
    EXPECT_LT(relativeError(s.outLeft, ref, 0, length), 2e-5);
}

// At the boundary where a new impulse takes over, the raw output continues from the last raw
// sample of the old impulse: raw = y_new + (y_old - y_new) at the last sample before the swap,
// and the DC blocker lets that offset fade. The new impulse meets the whole past input.
// Its older partitions are summed during the hop before it takes over; loaded in the first
// half of a hop it takes over at that hop's end, loaded later at the next one.
TEST(ConvolverP, ImpulseChangeHasNoStepAndKeepsTheInputHistory)
{
    struct Timing {
        int loadAt, lastOld;   // the load, and the last sample of the old impulse
    };
    for (Timing timing : {Timing{7 * kHop + 300, 8 * kHop - 1}, Timing{7 * kHop + 1900, 9 * kHop - 1}}) {
        SCOPED_TRACE(testing::Message() << "loaded at " << timing.loadAt);
        auto rig = std::make_unique<Rig>();
        const std::vector<float> hOld = dspref::decayingNoise(4 * kHop, 5);
        const std::vector<float> hNew = dspref::decayingNoise(3 * kHop, 6);
        rig->load(hOld, hOld);

        const int length = 14 * kHop;
        const int lastOld = timing.lastOld;
        Stream s = pairedStream(length);
        rig->run(s, 0, timing.loadAt);
        rig->load(hNew, hNew);
        rig->run(s, timing.loadAt, length);

        const auto yOld = dspref::delayedConvolution(s.inLeft, hOld, 0.05, kHop);
        const auto yNew = dspref::delayedConvolution(s.inLeft, hNew, 0.05, kHop);
        std::vector<double> raw(length);
        const double step = yOld[lastOld] - yNew[lastOld];
        for (int t = 0; t < length; ++t)
            raw[t] = t <= lastOld ? yOld[t] : yNew[t] + step;
        const auto ref = dspref::dcBlock(raw);
        EXPECT_LT(relativeError(s.outLeft, ref, 0, length), 2e-5);
        // and the output itself has no jump at the boundary beyond what the signal does
        EXPECT_LT(std::fabs(s.outLeft[lastOld + 1] - s.outLeft[lastOld]),
                  4.0 * std::fabs(ref[lastOld + 1] - ref[lastOld]) + 1e-4 * peak(ref));
    }
}

TEST(ConvolverP, ImpulseShorterThanAPartitionSilencesAndALaterOneRecovers)
{
    auto rig = std::make_unique<Rig>();
    const std::vector<float> h = dspref::decayingNoise(2 * kHop, 7);
    rig->load(h, h);
    const int length = 16 * kHop;
    Stream s = pairedStream(length);
    rig->run(s, 0, 3 * kHop);
    rig->load(std::vector<float>(2000, 1.0f), std::vector<float>(2000, 1.0f));
    rig->run(s, 3 * kHop, 8 * kHop);
    EXPECT_EQ(rig->conv.partitionsInUse(), 0);
    // the raw output holds its last value; the DC blocker takes it to nothing
    for (int t = 6 * kHop; t < 8 * kHop; ++t)
        ASSERT_LT(std::fabs(s.outLeft[t]), 1e-6f) << t;

    rig->load(h, h);
    rig->run(s, 8 * kHop, length);
    EXPECT_EQ(rig->conv.partitionsInUse(), 2);
    // once the ring has refilled and the continuity offset has faded, the output is the plain
    // convolution again (its own DC-blocked form, as the offset is a constant)
    const auto ref = dspref::dcBlock(dspref::delayedConvolution(s.inLeft, h, 0.05, kHop));
    double worst = 0.0;
    for (int t = 13 * kHop; t < length; ++t)
        worst = std::max(worst, std::fabs(s.outLeft[t] - ref[t]));
    EXPECT_LT(worst / peak(ref), 1e-4);
}

// A shorter impulse keeps a shorter ring of past input spectra; when a longer one takes over
// again, the ring grows into rows that held input before the shrink. What the ring dropped
// is gone: the longer impulse must meet silence there, not the stale spectra of long ago.
TEST(ConvolverP, ARingThatGrowsAgainForgetsWhatItDropped)
{
    auto rig = std::make_unique<Rig>();
    std::vector<float> longEcho(20 * kHop, 0.0f), shortEcho(2 * kHop, 0.0f);
    longEcho[19 * kHop] = 1.0f;   // heard 20 blocks after the input
    shortEcho[0] = 1.0f;
    rig->load(longEcho, longEcho);
    const int noise = 25 * kHop, length = noise + 40 * kHop;
    Stream s = pairedStream(length);
    std::fill(s.inLeft.begin() + noise, s.inLeft.end(), 0.0f);
    std::fill(s.inRight.begin() + noise, s.inRight.end(), 0.0f);
    rig->run(s, 0, noise);
    rig->load(shortEcho, shortEcho);
    rig->run(s, noise, noise + 6 * kHop);
    rig->load(longEcho, longEcho);
    rig->run(s, noise + 6 * kHop, length);
    EXPECT_EQ(rig->conv.partitionsInUse(), 20);
    // The short echo has long died away by then; only the continuity offset of the swaps
    // fades in the DC blocker.
    double worst = 0.0;
    for (int t = noise + 12 * kHop; t < length; ++t)
        worst = std::max({worst, (double)std::fabs(s.outLeft[t]), (double)std::fabs(s.outRight[t])});
    EXPECT_LT(worst, 1e-4);
}

TEST(ConvolverP, ResidentMemoryFollowsThePartitionsInUse)
{
    auto rig = std::make_unique<Rig>();
    // the full capacity is mapped: per channel two impulse buffers and three sets of
    // 394 spectrum rows (front, back, input ring)
    const size_t capacity = 2 * sizeof(float) *
        (2 * size_t{QS_ConvolverP::kImpulseCapacity} + 3 * size_t{QS_ConvolverP::kMaxPartitions} * 4096);
    EXPECT_GE(rig->conv.storageSize(), capacity);
    EXPECT_EQ(residentBytes(rig->conv), 0u);

    std::vector<float> h(340000, 0.0f);
    h[0] = 1.0f;
    rig->load(h, h);
    // two impulse buffers of 340,000 floats and two sets of 166 spectrum rows, about 8 MB
    const size_t loaded = residentBytes(rig->conv);
    EXPECT_GT(loaded, size_t{7} << 20);
    EXPECT_LT(loaded, size_t{10} << 20);
}

TEST(ConvolverP, RejectsTransformSizesItCannotHold)
{
    int length = 0;
    float l = 0.0f, r = 0.0f;
    EXPECT_THROW(QS_ConvolverP(length, 8192, l, r), std::invalid_argument);
    EXPECT_THROW(QS_ConvolverP(length, 3000, l, r), std::invalid_argument);
}
