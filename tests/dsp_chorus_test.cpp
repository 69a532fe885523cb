// QS_CHORUS_1 driven with a ramp, so that the output reads back the delay it applied:
// out = t - delay exactly under linear interpolation (mix 1, no feedback).
#include "dsp/QS_CHORUS_1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

struct Rig {
    float in = 0.0f;
    float rho = 1.0f;
    ChorusParams params{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    QS_CHORUS_1 chorus{in, params, rho};

    float step(float x)
    {
        in = x;
        chorus.process();
        return *chorus.output();
    }
};

// Delay of the sweep at call t (0-based) for a given rate, by its definition: the phase
// advances by (2 rate + 0.11) · 2π / 48000 before each call.
double nominalDelay(int t, float rate, float sweepWidth)
{
    const double phase = (t + 1.0) * (2.0 * rate + 0.11) * 2.0 * M_PI / 48000.0;
    return (std::sin(phase) * 0.5 + 0.5) * sweepWidth * 1000.0;
}

} // namespace

TEST(Chorus1, ZeroSweepAndFullMixIsTheInputAcrossTheLineWrap)
{
    // A vanishing sweep reads just behind the write position, also where the write position
    // wraps to 0 and the read position rounds up to the line length.
    auto rig = std::make_unique<Rig>();
    rig->params.sweepWidth = 1e-9f;
    for (int t = 0; t < QS_CHORUS_1::kLineLength + 5000; ++t) {
        const float x = static_cast<float>(std::sin(0.01 * t));
        ASSERT_NEAR(rig->step(x), x, 1e-6f) << t;
    }
}

TEST(Chorus1, NoMixOrBypassPassesTheInput)
{
    auto rig = std::make_unique<Rig>();
    rig->params.sweepWidth = 0.3f;
    rig->params.rate = 3.0f;
    rig->params.mix = 0.0f;
    for (int t = 0; t < 5000; ++t)
        ASSERT_EQ(rig->step(static_cast<float>(t)), static_cast<float>(t));
    rig->params.mix = 0.7f;
    rig->params.active = 0.0f;
    for (int t = 0; t < 5000; ++t)
        ASSERT_EQ(rig->step(static_cast<float>(-t)), static_cast<float>(-t));
}

TEST(Chorus1, BypassFreezesTheState)
{
    auto paused = std::make_unique<Rig>();
    auto straight = std::make_unique<Rig>();
    for (Rig* r : {paused.get(), straight.get()}) {
        r->params.sweepWidth = 0.3f;
        r->params.rate = 0.5f;
        r->params.mix = 0.6f;
    }
    for (int t = 0; t < 3000; ++t) {
        paused->step(static_cast<float>(t));
        straight->step(static_cast<float>(t));
    }
    paused->params.active = 0.0f;
    for (int t = 0; t < 1000; ++t)
        paused->step(-1.0f);
    paused->params.active = 1.0f;
    for (int t = 3000; t < 6000; ++t)
        ASSERT_EQ(paused->step(static_cast<float>(t)), straight->step(static_cast<float>(t))) << t;
}

TEST(Chorus1, SweepFollowsTheOscillator)
{
    // rate 1: (2 + 0.11) · fs / 48000 Hz, whatever the sample rate. The phase accumulates in
    // single precision, so it drifts from the exact sine by a fraction of a percent per cycle;
    // the tolerance of 6 samples (of 300) allows that and still catches a wrong speed (the
    // 0.11 offset alone is worth 50 samples by the end of the run).
    auto rig = std::make_unique<Rig>();
    rig->params.sweepWidth = 0.3f;
    rig->params.rate = 1.0f;
    double worst = 0.0;
    for (int t = 0; t < 25000; ++t) {
        const float out = rig->step(static_cast<float>(t));
        if (t >= 400)   // the ramp reaches back before sample 0 until then
            worst = std::max(worst, std::fabs((t - out) - nominalDelay(t, 1.0f, 0.3f)));
    }
    EXPECT_LT(worst, 6.0);
}

TEST(Chorus1, SlowestSweepSpansZeroTo300SamplesOverOneCycle)
{
    // rate 0: one cycle in 48000 / 0.11 ≈ 436,364 samples; the ramp would lose precision,
    // so the delay is read from a sawtooth within the line instead.
    auto rig = std::make_unique<Rig>();
    rig->params.sweepWidth = 0.3f;
    double low = 1e9, high = -1e9;
    int lowAt = 0, highAt = 0;
    for (int t = 0; t < 440000; ++t) {
        const int local = t % 4096;
        const float out = rig->step(static_cast<float>(local));
        if (local < 400)
            continue;
        const double delay = local - out;
        ASSERT_GE(delay, -1e-3);
        ASSERT_LE(delay, 300.001);
        if (delay < low) { low = delay; lowAt = t; }
        if (delay > high) { high = delay; highAt = t; }
    }
    EXPECT_LT(low, 0.01);
    EXPECT_GT(high, 299.9);
    // sin peaks a quarter and bottoms three quarters into the cycle
    EXPECT_NEAR(highAt, 436364 / 4, 3000);
    EXPECT_NEAR(lowAt, 3 * 436364 / 4, 3000);
}

TEST(Chorus1, FeedbackRecirculatesAtZeroDelay)
{
    auto rig = std::make_unique<Rig>();
    rig->params.feedback = 0.5f;
    EXPECT_FLOAT_EQ(rig->step(1.0f), 1.0f);
    for (int t = 1; t < 10; ++t)
        EXPECT_FLOAT_EQ(rig->step(0.0f), std::pow(0.5f, t));
}

TEST(Chorus1, UncheckedSweepStaysInsideTheLine)
{
    for (float width : {-5.0f, 1000.0f, NAN}) {
        auto rig = std::make_unique<Rig>();
        rig->params.sweepWidth = width;
        rig->params.rate = 7.0f;
        for (int t = 0; t < 70000; ++t)
            ASSERT_TRUE(std::isfinite(rig->step(1.0f))) << width;
    }
}
