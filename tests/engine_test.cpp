// The engine end to end: latency, mix and power, routing, the meter, rebuild requests,
// pre-delay and ping, the limiter, sample rates and hostile input.
#include "support/Engine.h"

#include "core/InstanceRegistry.h"
#include "dsp/QS_ConvolverP.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

StereoBuffer noise(size_t n, float level, unsigned seed = 1)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-level, level);
    StereoBuffer b(n);
    for (size_t i = 0; i < n; i++) {
        b.left[i] = d(gen);
        b.right[i] = d(gen);
    }
    return b;
}


// "Mix" 0: the output is the raw input 2048 samples late, bit for bit, at any rate and with
// the power on or off; "Volume" does not touch the dry path.
TEST(DryPath, MixZeroAndPowerOffDelayByExactly2048)
{
    for (float rate : {44100.0f, 48000.0f}) {
        for (int variant = 0; variant < 3; variant++) {
            auto fx = newInstance();
            fx->setSampleRate(rate);
            if (variant == 0) {
                fx->setParameter(kMix, 0.0f);
                fx->setParameter(kVolume, 0.13f);
            } else {
                fx->setParameter(kPower, variant == 1 ? 0.0f : 0.49f);
                fx->setParameter(kMix, 0.37f);
                fx->setParameter(kVolume, 1.0f);
            }
            StereoBuffer in = noise(9000, 0.8f);
            StereoBuffer out = processBlocks(*fx, in, 333);
            for (size_t i = 0; i < 2048; i++)
                ASSERT_EQ(out.left[i], 0.0f);
            for (size_t i = 2048; i < in.size(); i++) {
                ASSERT_EQ(out.left[i], in.left[i - 2048]) << rate << " " << variant << " " << i;
                ASSERT_EQ(out.right[i], in.right[i - 2048]);
            }
        }
    }
}

TEST(DryPath, InPlaceProcessingMatchesOutOfPlace)
{
    auto a = newInstance();
    auto b = newInstance();
    for (auto* fx : {a.get(), b.get()})
        fx->setParameter(kMix, 0.0f);
    StereoBuffer in = noise(5000, 0.5f);
    StereoBuffer expected = processBlocks(*a, in, 256);
    StereoBuffer inPlace = in;
    for (size_t s = 0; s < in.size(); s += 256) {
        int n = (int)std::min<size_t>(256, in.size() - s);
        b->processStereo(inPlace.left.data() + s, inPlace.right.data() + s, n);
    }
    EXPECT_EQ(inPlace.left, expected.left);
    EXPECT_EQ(inPlace.right, expected.right);
}

TEST(Meter, DecibelMapping)
{
    auto fx = makeEffect();
    fx->setParameter(kInputStage, 0.1f);  // solid state: feed = routed × 0.25
    fx->setParameter(kGain, 1.0f);
    fx->setParameter(kMode, 0.1f);
    auto meterFor = [&](float level) {
        StereoBuffer in(256);
        std::fill(in.left.begin(), in.left.end(), level * 4.0f);
        std::fill(in.right.begin(), in.right.end(), level * 4.0f);
        run(*fx, in, 256);
        return *fx->getLevelToPlate();
    };
    EXPECT_NEAR(meterFor(2.0f), 1.0f, 1e-4f);
    EXPECT_NEAR(meterFor(2.0f * std::pow(10.0f, -36.0f / 20.0f)), 0.5f, 1e-3f);
    EXPECT_NEAR(meterFor(2.0f * std::pow(10.0f, -18.0f / 20.0f)), 0.75f, 1e-3f);
    EXPECT_EQ(meterFor(0.0f), 0.0f);      // silence with solid state: dither only
    EXPECT_EQ(meterFor(0.0004f), 0.0f);   // below -72 dB
    meterFor(1.0f);
    float* none[2] = {nullptr, nullptr};
    fx->processReplacing(none, none, 0);  // an empty block publishes 0
    EXPECT_EQ(*fx->getLevelToPlate(), 0.0f);
}

TEST(Meter, StereoToMonoWithOppositeChannelsCarriesOnlyDither)
{
    auto fx = makeEffect();
    fx->setParameter(kInputStage, 0.1f);
    fx->setParameter(kGain, 1.0f);
    fx->setParameter(kMode, 0.0f);
    StereoBuffer in = noise(2048, 0.9f);
    for (size_t i = 0; i < in.size(); i++)
        in.right[i] = -in.left[i];
    run(*fx, in, 2048);
    EXPECT_EQ(*fx->getLevelToPlate(), 0.0f);
    fx->setParameter(kMode, 0.1f);
    run(*fx, in, 2048);
    EXPECT_GT(*fx->getLevelToPlate(), 0.5f);
}

TEST(Controls, SampleRateRatios)
{
    auto fx = makeEffect();
    fx->setSampleRate(48000.0f);
    EXPECT_FLOAT_EQ(fx->getRateToRef(), 0.91875f);
    EXPECT_NEAR(fx->getRefToRate(), 1.0884354f, 1e-6f);
    fx->setSampleRate(44100.0f);
    EXPECT_EQ(fx->getRateToRef(), 1.0f);
    EXPECT_EQ(fx->getRefToRate(), 1.0f);
    // rates that are no rate are ignored
    for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), INFINITY}) {
        fx->setSampleRate(bad);
        EXPECT_EQ(fx->getRateToRef(), 1.0f);
    }
}

TEST(Controls, PreDelayInSamples)
{
    auto fx = makeEffect();
    fx->setParameter(kPreDel, 1.0f);
    StereoBuffer in(16);
    run(*fx, in);
    EXPECT_EQ(fx->getPreDelaySamples(), 8819);
    fx->setSampleRate(48000.0f);
    run(*fx, in);
    EXPECT_EQ(fx->getPreDelaySamples(), 9598);
    fx->setSampleRate(384000.0f);
    run(*fx, in);
    EXPECT_EQ(fx->getPreDelaySamples(), (int)(fx->getRefToRate() * 1.0f * 8819.0f));
    EXPECT_LT(fx->getPreDelaySamples(), Controlsgui::kPreDelayCapacity);
}

TEST(Controls, FirstBlockRequestsAnImpulseOfTheDefaultLength)
{
    auto fx = makeEffect();
    EXPECT_FALSE(fx->rebuildPending());
    StereoBuffer in(0);
    float* none[2] = {nullptr, nullptr};
    fx->processReplacing(none, none, 0);  // a block of no samples still runs the control update
    EXPECT_TRUE(fx->rebuildPending());
    EXPECT_EQ(fx->getImpulseLength(), (int)(0.5f * 310000.0f + 11025.0f));
}

TEST(Controls, ImpulseLengthFollowsTheRateAndIsBounded)
{
    auto fx = makeEffect();
    fx->setSampleRate(384000.0f);
    fx->setParameter(kLength, 1.0f);
    float* none[2] = {nullptr, nullptr};
    fx->processReplacing(none, none, 0);
    EXPECT_EQ(fx->getImpulseLength(), QS_ConvolverP::kImpulseCapacity);
}

TEST(Registry, TwentySlotsThenUnregistered)
{
    int before = InstanceRegistry::count();
    ASSERT_EQ(before, 0);
    std::vector<std::unique_ptr<Controlsgui>> fx;
    for (int i = 0; i < 21; i++)
        fx.push_back(makeEffect());
    EXPECT_EQ(InstanceRegistry::count(), 20);
    EXPECT_TRUE(InstanceRegistry::timerRunning());
    for (int i = 0; i < 20; i++) {
        EXPECT_TRUE(fx[i]->isRegistered());
        EXPECT_EQ(fx[i]->getRegistrySlot(), i);
    }
    EXPECT_FALSE(fx[20]->isRegistered());
    EXPECT_EQ(fx[20]->getRegistrySlot(), -1);

    fx[5].reset();  // later entries move down
    for (int i = 6; i < 20; i++)
        EXPECT_EQ(fx[i]->getRegistrySlot(), i - 1);
    for (int i = 0; i < 19; i++)
        EXPECT_NE(InstanceRegistry::entry(i), nullptr);
    EXPECT_EQ(InstanceRegistry::entry(19), nullptr);
    fx.push_back(makeEffect());
    EXPECT_TRUE(fx.back()->isRegistered());
    EXPECT_EQ(fx.back()->getRegistrySlot(), 19);

    fx.clear();
    EXPECT_EQ(InstanceRegistry::count(), 0);
    EXPECT_FALSE(InstanceRegistry::timerRunning());
}

// A block of NaN, of infinities, of 1e30: the output is finite at once, and the dry path
// carries on unharmed afterwards.
TEST(HostileInput, NonFiniteAndHugeSamplesNeverPoisonTheOutput)
{
    auto fx = newInstance();
    fx->setParameter(kMix, 0.5f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bad : {nan, INFINITY, -INFINITY, 1e30f, -1e30f}) {
        StereoBuffer in(1024);
        std::fill(in.left.begin(), in.left.end(), bad);
        std::fill(in.right.begin(), in.right.end(), -bad);
        StereoBuffer out = processBlocks(*fx, in, 512);
        for (size_t i = 0; i < out.size(); i++)
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << bad;
    }
    StereoBuffer in = noise(20000, 0.5f);
    StereoBuffer out = processBlocks(*fx, in, 512);
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]));
    // once the hostile samples have left the dry ring, the dry half is the input again
    for (size_t i = 4096; i < in.size(); i++)
        ASSERT_NEAR(out.left[i], 0.5f * in.left[i - 2048], 1.0f);
}

TEST(HostileInput, ParameterValuesOutsideTheRangeKeepTheOutputFinite)
{
    auto fx = newInstance();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    StereoBuffer in = noise(4096, 0.5f);
    for (float v : {nan, INFINITY, -INFINITY, -1e9f, 1e9f, -0.0f, 2.0f, -1.0f}) {
        for (int p = 0; p < kNumParams; p++)
            fx->setParameter(p, v);
        StereoBuffer out = processBlocks(*fx, in, 512);
        for (size_t i = 0; i < out.size(); i++)
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << v;
    }
}

} // namespace
