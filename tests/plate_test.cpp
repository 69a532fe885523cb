// The plate impulse as synthesised for each material, read from the convolver's back
// buffers right after the timer's synthesis, and heard through the whole effect.
#include "support/Engine.h"

#include "dsp/QS_ConvolverP.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <thread>

namespace {

struct Impulse {
    std::vector<float> left, right;
};

// Raises a request and waits for the synthesis; the new impulse then waits in the back
// buffers for its swap, and nothing else touches them while no block is processed.
Impulse synthesise(Controlsgui& fx)
{
    float* none[2] = {nullptr, nullptr};
    fx.processReplacing(none, none, 0);
    EXPECT_TRUE(fx.rebuildPending());
    auto start = std::chrono::steady_clock::now();
    while (fx.rebuildPending() &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(fx.getConvolver()->impulsePending());
    const int L = fx.getImpulseLength();
    const float* l = fx.getConvolver()->impulseBufferRef(0);
    const float* r = fx.getConvolver()->impulseBufferRef(1);
    return {std::vector<float>(l, l + L), std::vector<float>(r, r + L)};
}

// Swaps the waiting impulse in, so the next request can be served.
void swapIn(Controlsgui& fx)
{
    StereoBuffer silence(2048);
    run(fx, silence, 2048);
}

// Energy in dB of consecutive windows.
std::vector<double> windowEnergy(const std::vector<float>& x, size_t window)
{
    std::vector<double> e;
    for (size_t s = 0; s + window <= x.size(); s += window)
        e.push_back(energyDb(x, s, s + window));
    return e;
}

// Least-squares slope of the windowed energy between two fractions of the impulse, in dB
// per sample.
double decaySlope(const std::vector<float>& x, double from, double to)
{
    const size_t window = 256;
    std::vector<double> e = windowEnergy(x, window);
    size_t a = (size_t)(from * e.size()), b = (size_t)(to * e.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = a; i < b; i++) {
        double t = (i + 0.5) * window;
        sx += t;
        sy += e[i];
        sxx += t * t;
        sxy += t * e[i];
    }
    double n = (double)(b - a);
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

std::unique_ptr<Controlsgui> plate(float plateType, float length = 0.0f)
{
    auto fx = makeEffect();
    fx->setParameter(kPlateType, plateType);
    fx->setParameter(kLength, length);
    return fx;
}

TEST(Plate, StandardSteelDecays120DbOverItsLength)
{
    auto fx = plate(0.0f, 0.1f);
    Impulse h = synthesise(*fx);
    const double L = (double)h.left.size();
    EXPECT_EQ(h.left.size(), (size_t)(0.1f * 310000.0f + 11025.0f));
    // the envelope falls 120 dB over L; the darkening low-pass makes the broadband energy fall
    // a little faster
    double slope = decaySlope(h.left, 0.1, 0.6);
    EXPECT_LT(slope, -120.0 / L * 0.9);
    EXPECT_GT(slope, -120.0 / L * 1.6);
    EXPECT_NEAR(decaySlope(h.right, 0.1, 0.6), slope, std::fabs(slope) * 0.2);
}

TEST(Plate, ThickSteelDecaysTwiceAsFast)
{
    auto steel = plate(0.0f, 0.1f);
    auto thick = plate(0.1f, 0.1f);
    double s = decaySlope(synthesise(*steel).left, 0.1, 0.4);
    double t = decaySlope(synthesise(*thick).left, 0.1, 0.4);
    EXPECT_NEAR(t / s, 2.0, 0.35);
}

// The envelope shapes set how deep the end of the impulse lies: e² puts Thick Steel's last
// samples far below Standard Steel's, the cubic shapes a few dB below.
TEST(Plate, EnvelopeShapesSetTheEndLevel)
{
    auto endLevel = [](float type) {
        auto fx = plate(type, 0.1f);
        Impulse h = synthesise(*fx);
        size_t L = h.left.size();
        return energyDb(h.left, L * 97 / 100, L) - energyDb(h.left, 0, L * 3 / 100);
    };
    double standard = endLevel(0.0f), thick = endLevel(0.1f), elastic = endLevel(0.4f);
    EXPECT_LT(standard, -100.0);
    EXPECT_LT(thick, standard - 60.0);
    EXPECT_LT(elastic, -100.0);
}

// Thin Iron's tone section is fixed: "Tune" changes nothing of its character.
TEST(Plate, ThinIronIgnoresTune)
{
    auto a = plate(0.2f);
    a->setParameter(kTune, 0.0f);
    auto b = plate(0.2f);
    b->setParameter(kTune, 1.0f);
    Impulse ha = synthesise(*a);
    Impulse hb = synthesise(*b);
    // different noise, same envelope: the energies of matching stretches agree closely
    for (size_t from = 0; from + 2000 <= ha.left.size(); from += 2000)
        EXPECT_NEAR(energyDb(ha.left, from, from + 2000), energyDb(hb.left, from, from + 2000), 3.0);
}

TEST(Plate, ModeFollowTheSourceGivesAMonoImpulse)
{
    auto fx = plate(0.0f);
    fx->setParameter(kMode, 0.5f);
    Impulse h = synthesise(*fx);
    EXPECT_EQ(h.left, h.right);
    auto stereo = plate(0.0f);
    Impulse s = synthesise(*stereo);
    EXPECT_NE(s.left, s.right);
}

TEST(Plate, WidthZeroEndsInAMonoSum)
{
    auto fx = plate(0.0f);
    fx->setParameter(kWidth, 0.0f);
    Impulse h = synthesise(*fx);
    // w falls from 1 to 0 over the impulse: the channels become equal towards the end
    const size_t L = h.left.size();
    double diffEnd = 0, sumEnd = 0, diffStart = 0, sumStart = 0;
    for (size_t i = L * 95 / 100; i < L; i++) {
        diffEnd += std::pow(h.left[i] - h.right[i], 2);
        sumEnd += std::pow(h.left[i] + h.right[i], 2);
    }
    for (size_t i = 0; i < L / 10; i++) {
        diffStart += std::pow(h.left[i] - h.right[i], 2);
        sumStart += std::pow(h.left[i] + h.right[i], 2);
    }
    EXPECT_LT(diffEnd / sumEnd, 0.01);
    EXPECT_GT(diffStart / sumStart, 0.1);
}

TEST(Plate, EverySynthesisIsNewAndTheFirstOfAProcessIsReproducible)
{
    auto fx = plate(0.0f);
    Impulse a = synthesise(*fx);
    swapIn(*fx);
    fx->setParameter(kSound, 0.3f + 1e-6f);  // a change that asks for a rebuild
    Impulse b = synthesise(*fx);
    ASSERT_EQ(a.left.size(), b.left.size());
    EXPECT_NE(a.left, b.left);
    double energyA = energyDb(a.left, 0, a.left.size());
    double energyB = energyDb(b.left, 0, b.left.size());
    EXPECT_NEAR(energyA, energyB, 1.5);  // same character
}

// The spectrum of Tune 1 over that of Tune 0: section 2's band moves from about 740 Hz to
// about 3.6 kHz, so the ratio peaks near 3.6 kHz and dips near 740 Hz. The band rings
// longest, so it shows in the second half of the impulse.
TEST(Plate, TuneMovesTheToneBand)
{
    auto spectrum = [](const std::vector<float>& x, size_t from, size_t n, double hz) {
        std::complex<double> s = 0;
        for (size_t i = 0; i < n; i++) {
            double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / n);
            s += w * (double)x[from + i] * std::polar(1.0, -2 * M_PI * hz * i / 44100.0);
        }
        return std::norm(s);
    };
    auto bandEnergy = [&](const Impulse& h, double hz) {
        double e = 0;
        for (size_t from = h.left.size() / 2; from + 4096 <= h.left.size() * 9 / 10; from += 512)
            e += spectrum(h.left, from, 4096, hz) + spectrum(h.right, from, 4096, hz);
        return e;
    };
    auto low = plate(0.0f);
    low->setParameter(kTune, 0.0f);
    low->setParameter(kSound, 0.0f);
    auto high = plate(0.0f);
    high->setParameter(kTune, 1.0f);
    high->setParameter(kSound, 0.0f);
    Impulse a = synthesise(*low);
    Impulse b = synthesise(*high);
    double ratioAt740 = bandEnergy(b, 740) / bandEnergy(a, 740);
    double ratioAt3600 = bandEnergy(b, 3600) / bandEnergy(a, 3600);
    EXPECT_GT(ratioAt3600 / ratioAt740, 4.0);
}

// Through the whole effect: a ping after the first impulse is in gives a tail that lasts
// about the impulse length.
TEST(Plate, PingReverberates)
{
    auto fx = makeEffect();
    setMeasuring(*fx);
    fx->setParameter(kLength, 0.0f);  // 11025 samples
    ASSERT_TRUE(primeImpulse(*fx));
    fx->requestPing();
    StereoBuffer out = run(*fx, StereoBuffer(2048 + 11025 + 4096), 512);
    double before = energyDb(out.left, 0, 2000);
    double onset = energyDb(out.left, 2048, 2048 + 1024);
    double tail = energyDb(out.left, 2048 + 11025 + 1024, out.size());
    EXPECT_GT(onset, before + 60.0);
    EXPECT_GT(onset, tail + 60.0);
}

} // namespace
