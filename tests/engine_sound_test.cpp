// The signal chain heard through a real plate impulse: routing, ping and pre-delay,
// the limiter, rebuild requests and the tail across suspend and resume.
#include "support/Engine.h"

#include "dsp/QS_ConvolverP.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <thread>

namespace {

StereoBuffer burst(size_t n, size_t length, float left, float right, unsigned seed = 5)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    StereoBuffer b(n);
    for (size_t i = 0; i < length; i++) {
        float v = d(gen);
        b.left[i] = v * left;
        b.right[i] = d(gen) * right;
    }
    return b;
}

std::unique_ptr<Controlsgui> primed(float mode, float width = 1.0f)
{
    auto fx = makeEffect();
    setMeasuring(*fx);
    fx->setParameter(kLength, 0.0f);
    fx->setParameter(kMode, mode);
    fx->setParameter(kWidth, width);
    fx->setParameter(kGain, 1.0f);
    EXPECT_TRUE(primeImpulse(*fx));
    return fx;
}

// Wet energy of each channel in the 8000 samples after the convolver's hop.
std::pair<double, double> wetEnergy(Controlsgui& fx, const StereoBuffer& in)
{
    StereoBuffer out = run(fx, in, 512);
    return {energyDb(out.left, 2048, 2048 + 8000), energyDb(out.right, 2048, 2048 + 8000)};
}

TEST(Routing, EachModeFeedsThePlatesAsWired)
{
    StereoBuffer leftOnly = burst(12000, 1000, 0.5f, 0.0f);
    {
        auto fx = primed(0.1f);  // split: left stays left
        auto [l, r] = wetEnergy(*fx, leftOnly);
        EXPECT_GT(l, r + 50.0);
    }
    {
        auto fx = primed(0.3f);  // cross split: left goes to the right plate
        auto [l, r] = wetEnergy(*fx, leftOnly);
        EXPECT_GT(r, l + 50.0);
    }
    {
        auto fx = primed(0.0f);  // stereo to mono: both plates get the sum
        auto [l, r] = wetEnergy(*fx, leftOnly);
        EXPECT_NEAR(l, r, 6.0);
    }
    {
        auto fx = primed(0.2f);  // true stereo: 10% crosstalk, -20 dB
        auto [l, r] = wetEnergy(*fx, leftOnly);
        EXPECT_NEAR(l - r, 19.1, 6.0);
    }
}

TEST(Routing, PannedMonoFollowsWidth)
{
    StereoBuffer both = burst(12000, 1000, 0.5f, 0.5f);
    auto fx = primed(0.4f, 0.0f);
    auto [l0, r0] = wetEnergy(*fx, both);
    EXPECT_GT(l0, r0 + 50.0);
    fx->setParameter(kWidth, 1.0f);  // a pan move, no new impulse
    auto [l1, r1] = wetEnergy(*fx, both);
    EXPECT_FALSE(fx->rebuildPending());
    EXPECT_GT(r1, l1 + 50.0);
}

TEST(Rebuild, WidthInPannedMonoWaitsUntilTheModeChanges)
{
    auto fx = primed(0.4f, 0.3f);
    fx->setParameter(kWidth, 0.8f);
    run(*fx, StereoBuffer(64), 64);
    EXPECT_FALSE(fx->rebuildPending());
    fx->setParameter(kMode, 0.1f);
    run(*fx, StereoBuffer(64), 64);
    EXPECT_TRUE(fx->rebuildPending());
}

TEST(Rebuild, ASecondMoveWaitsForTheFirstSynthesis)
{
    auto fx = primed(0.1f);
    fx->setParameter(kLength, 0.2f);
    run(*fx, StereoBuffer(64), 64);
    ASSERT_TRUE(fx->rebuildPending());
    const int first = fx->getImpulseLength();
    fx->setParameter(kLength, 0.3f);
    run(*fx, StereoBuffer(64), 64);
    EXPECT_EQ(fx->getImpulseLength(), first);  // the pending request keeps its length
    ASSERT_TRUE(primeImpulse(*fx));            // serves the first, swaps it in
    run(*fx, StereoBuffer(64), 64);
    EXPECT_TRUE(fx->rebuildPending());         // the second is raised now
    EXPECT_EQ(fx->getImpulseLength(), (int)(0.3f * 310000.0f + 11025.0f));
}

// A ping enters both pre-delay rings once, after the pre-delay, bypassing the meter.
TEST(Ping, OneImpulseAfterThePreDelay)
{
    for (float rate : {44100.0f, 96000.0f}) {
        auto fx = makeEffect();
        fx->setSampleRate(rate);
        setMeasuring(*fx);
        fx->setParameter(kLength, 0.0f);
        fx->setParameter(kPreDel, 1.0f);
        ASSERT_TRUE(primeImpulse(*fx));
        const int delay = (int)(fx->getRefToRate() * 1.0f * 8819.0f);
        fx->requestPing();
        StereoBuffer out = run(*fx, StereoBuffer(2048 + delay + 4096), 512);
        EXPECT_EQ(*fx->getLevelToPlate(), 0.0f);
        size_t onset = 0;
        while (onset < out.size() && std::fabs(out.left[onset]) < 1e-3f && std::fabs(out.right[onset]) < 1e-3f)
            onset++;
        // the first impulse samples pass the tone sections' and dispersion allpasses, so the
        // energy arrives a few samples after the nominal onset, never before it
        EXPECT_GE((double)onset, 2048.0 + delay) << rate;
        EXPECT_LT((double)onset, 2048.0 + delay + 40.0) << rate;
        EXPECT_GT(energyDb(out.right, onset, onset + 2048), energyDb(out.right, 0, onset) + 60.0);
        // consumed: a second run without a ping stays quiet
        StereoBuffer after = run(*fx, StereoBuffer(2048 + delay + 8000), 512);
        EXPECT_LT(energyDb(after.left, 2048 + delay, after.size()), energyDb(out.left, onset, out.size()) - 40.0);
    }
}

// Above -6 dB the limiter lets through a tenth of the level change.
TEST(Limiter, CompressesLoudWet)
{
    auto level = [](float amplitude) {
        auto fx = makeEffect();
        setMeasuring(*fx);
        fx->setParameter(kLength, 0.0f);
        fx->setParameter(kGain, 1.0f);
        EXPECT_TRUE(primeImpulse(*fx));
        StereoBuffer in = burst(2048 + 16384, 16384, amplitude, amplitude);
        StereoBuffer out = run(*fx, in, 512);
        return energyDb(out.left, 2048 + 8192, 2048 + 16384);
    };
    double quiet = level(0.001f), lessQuiet = level(0.01f), loud = level(30.0f), louder = level(300.0f);
    EXPECT_NEAR(lessQuiet - quiet, 20.0, 1.5) << "a quiet range where the limiter rests";
    EXPECT_LT(louder - loud, 6.0) << "compression above the threshold";
    EXPECT_GT(louder - loud, 0.5);
}

TEST(Lifecycle, SuspendAndResumeDoNotCutTheTail)
{
    auto fx = newInstance();
    fx->setParameter(kLength, 0.3f);
    fx->setParameter(kInputStage, 0.1f);
    fx->setParameter(kMix, 1.0f);
    processBlocks(*fx, StereoBuffer(512));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    processBlocks(*fx, StereoBuffer(4096));
    StereoBuffer out = processBlocks(*fx, burst(2048 + 20000, 500, 0.8f, 0.8f), 512);
    double before = energyDb(out.left, out.size() - 4000, out.size());
    fx->dispatch(effMainsChanged, 0, 0);
    fx->dispatch(effMainsChanged, 0, 1);
    StereoBuffer more = processBlocks(*fx, StereoBuffer(4000), 512);
    double after = energyDb(more.left, 0, 4000);
    EXPECT_GT(before, -40.0);
    EXPECT_NEAR(after, before, 10.0);
}

} // namespace
