// QS_Peaking_1b and QS_LowpassN measured with sines (amplitude and phase fitted by least squares
// after the transient) against the analytic responses of an allpass and of a one-pole chain.
#include "dsp/QS_LowpassN.h"
#include "dsp/QS_Peaking_1b.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>

namespace {

// Gain and phase of a steady-state sine response: fit out ≈ A sin(ωt + φ) over the last
// `window` samples of `length`.
std::complex<double> measure(double omega, int length, int window,
                             const std::function<float(float)>& step)
{
    double c = 0.0, s = 0.0;
    for (int t = 0; t < length; ++t) {
        const float y = step(static_cast<float>(std::sin(omega * t)));
        if (t >= length - window) {
            c += y * std::cos(omega * t);
            s += y * std::sin(omega * t);
        }
    }
    // y = g sin(ωt + φ) = g cos φ sin ωt + g sin φ cos ωt
    return std::complex<double>(s, c) * (2.0 / window);
}

// A window of whole periods keeps the fit free of leakage.
int wholePeriods(double omega, int around)
{
    const double period = 2.0 * M_PI / omega;
    return static_cast<int>(std::round(std::round(around / period) * period));
}

double centreOmega(float c0, float rho)
{
    return (c0 * 0.899 + 0.001) * M_PI * rho;
}

} // namespace

TEST(Peaking1b, AllpassKeepsAmplitudeEverywhereAndInvertsAtTheCentre)
{
    float in1 = 0.0f, in2 = 0.0f;
    const float rho = 1.0f;
    const float settings[][3] = {{0.3f, 0.5f, 0.0f}, {0.8163f, 0.0f, 0.0f}, {0.05f, 1.0f, 0.0f}};
    for (const auto& controls : settings) {
        QS_Peaking_1b filter(in1, in2, controls, rho);
        filter.updateCoefficients();
        for (double omega : {0.01, 0.2, 1.0, 2.5, centreOmega(controls[0], rho)}) {
            const int window = wholePeriods(omega, 20000);
            // channel 1 carries the sine, channel 2 its negative: the channels share nothing
            const auto g = measure(omega, 60000, window, [&](float x) {
                in1 = x;
                in2 = -x;
                filter.process();
                EXPECT_NEAR(*filter.output2(), -*filter.output1(), 1e-6f);
                return *filter.output1();
            });
            EXPECT_NEAR(std::abs(g), 1.0, 2e-3) << "c0 " << controls[0] << " omega " << omega;
            if (omega == centreOmega(controls[0], rho)) {
                EXPECT_NEAR(std::abs(std::arg(g)), M_PI, 5e-3) << "c0 " << controls[0];
            }
        }
    }
}

TEST(Peaking1b, CentreIsInHertzAtAnySampleRate)
{
    // fs = 88200: ρ = 0.5 keeps the centre of c0 = 0.3 at (0.3 · 0.899 + 0.001) / 2 · 44100 Hz
    float in1 = 0.0f, in2 = 0.0f;
    const float controls[3] = {0.3f, 0.2f, 0.0f};
    const float rho = 0.5f;
    QS_Peaking_1b filter(in1, in2, controls, rho);
    filter.updateCoefficients();
    const double hz = (0.3 * 0.899 + 0.001) / 2.0 * 44100.0;
    const double omega = 2.0 * M_PI * hz / 88200.0;
    const auto g = measure(omega, 80000, wholePeriods(omega, 30000), [&](float x) {
        in1 = x;
        filter.process();
        return *filter.output1();
    });
    EXPECT_NEAR(std::abs(g), 1.0, 2e-3);
    EXPECT_NEAR(std::abs(std::arg(g)), M_PI, 5e-3);
}

TEST(Peaking1b, CoefficientsForAKnownSetting)
{
    float in1 = 0.0f, in2 = 0.0f;
    const float controls[3] = {0.8163f, 0.0f, 0.5f};
    const float rho = 1.0f;
    QS_Peaking_1b filter(in1, in2, controls, rho);
    filter.updateCoefficients();
    // d = -cos ω_c: the centre sits at about 0.367 of the sample rate
    EXPECT_NEAR(std::acos(-filter.coefficientD()) / (2.0 * M_PI), 0.3674, 5e-4);
    EXPECT_NEAR(filter.coefficientK(), -0.396, 1e-3);
}

TEST(LowpassN, ZeroCoefficientCopiesTheInput)
{
    float in = 0.0f, a = 0.0f;
    const float rho = 1.0f;
    QS_LowpassN chain(in, 6, a, rho);
    chain.updateCoefficient();
    for (int t = 0; t < 1000; ++t) {
        in = static_cast<float>(std::sin(0.37 * t)) * 0.8f;
        chain.process();
        ASSERT_NEAR(*chain.output(), in, 1e-20f) << t;   // apart from the 1e-24 offsets
    }
}

TEST(LowpassN, UnityDcGainAndTheChainsResponse)
{
    float in = 0.0f, a = 0.9f;
    const float rho = 1.0f;
    QS_LowpassN chain(in, 6, a, rho);
    chain.updateCoefficient();
    in = 0.7f;
    for (int t = 0; t < 3000; ++t)
        chain.process();
    EXPECT_NEAR(*chain.output(), 0.7f, 1e-6f);

    // |H(ω)| = |(1 - a) / (1 - a e^-iω)|^6 for six stages
    for (double omega : {0.02, 0.1, 0.5}) {
        QS_LowpassN fresh(in, 6, a, rho);
        fresh.updateCoefficient();
        const auto g = measure(omega, 40000, wholePeriods(omega, 20000), [&](float x) {
            in = x;
            fresh.process();
            return *fresh.output();
        });
        const double stage = std::abs((1.0 - a) / (1.0 - static_cast<double>(a) * std::polar(1.0, -omega)));
        EXPECT_NEAR(std::abs(g) / std::pow(stage, 6), 1.0, 1e-3) << omega;
    }
}

TEST(LowpassN, StageCountIsLimitedToTheArrays)
{
    float in = 1.0f, a = 0.5f;
    const float rho = 1.0f;
    QS_LowpassN chain(in, 50, a, rho);   // more than kMaxStages: clamped, not overrun
    chain.updateCoefficient();
    chain.process();
    EXPECT_NEAR(*chain.output(), std::pow(0.5, QS_LowpassN::kMaxStages), 1e-9);
}
