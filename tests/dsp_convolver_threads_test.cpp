// The convolver's loader and audio threads running at once: the loader writes a new impulse
// whenever no loaded one waits for its swap, the audio thread processes without pause. Each
// impulse is a single tap whose position and gain identify it, so a torn hand-over (half old,
// half new, or a back set written while it was being swapped) shows up in the output.
#include "dsp/QS_ConvolverP.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Rig {
    int impulseLength = 0;
    float inLeft = 0.0f;
    float inRight = 0.0f;
    QS_ConvolverP conv{impulseLength, 4096, inLeft, inRight};
};

constexpr int kHop = 2048;
constexpr int kLoads = 12;

int tapOf(int load) { return 1 + 37 * load; }
float gainOf(int load) { return 1.0f + 0.25f * load; }

} // namespace

TEST(ConvolverThreads, LoaderAndAudioThreadHandOverEveryImpulse)
{
    auto rig = std::make_unique<Rig>();
    std::atomic<int> loadsDone{0};

    std::thread loader([&] {
        for (int load = 0; load < kLoads; ++load) {
            // a new impulse waits until the previous one has been swapped in
            while (rig->conv.impulsePending())
                std::this_thread::yield();
            float* left = rig->conv.impulseBufferRef(0);
            float* right = rig->conv.impulseBufferRef(1);
            const int length = (1 + load % 3) * kHop;
            for (int i = 0; i < length; ++i)
                left[i] = right[i] = 0.0f;
            left[tapOf(load)] = gainOf(load);
            right[tapOf(load)] = -gainOf(load);
            rig->impulseLength = length;
            rig->conv.loadImpulse();
            loadsDone.store(load + 1, std::memory_order_release);
        }
    });

    // The audio thread runs blocks of a constant input, 1.0 left and 1.0 right, until every
    // load has been swapped in; a constant input makes the DC-free raw output constant too.
    const float* outLeft = rig->conv.outputCell(0);
    const float* outRight = rig->conv.outputCell(1);
    long samples = 0;
    bool consistent = true;
    while (loadsDone.load(std::memory_order_acquire) < kLoads || rig->conv.impulsePending()) {
        for (int i = 0; i < kHop; ++i) {
            rig->inLeft = 1.0f;
            rig->inRight = 1.0f;
            rig->conv.processSample();
            // the two channels always hold mirror impulses of the same load
            if (std::fabs(*outLeft + *outRight) > 1e-3f)
                consistent = false;
        }
        samples += kHop;
        ASSERT_LT(samples, 100L * 1000 * 1000) << "a load was never swapped in";
    }
    loader.join();
    EXPECT_TRUE(consistent);
    EXPECT_EQ(rig->conv.partitionsInUse(), 1 + (kLoads - 1) % 3);

    // After the last swap the wet signal is 0.05 · gain · x delayed by hop + tap, plus a constant
    // left by the swap. The blocker's recursion gives y(t) - 0.996 y(t-1) = raw(t) - raw(t-1),
    // which drops that constant, so compare differences of the delayed input.
    std::vector<float> x(6 * kHop), yl(x.size());
    for (size_t t = 0; t < x.size(); ++t)
        x[t] = (t / 2) % 3 == 0 ? 1.0f : -0.5f;
    for (size_t t = 0; t < x.size(); ++t) {
        rig->inLeft = x[t];
        rig->inRight = x[t];
        rig->conv.processSample();
        yl[t] = *outLeft;
    }
    const int tap = tapOf(kLoads - 1);
    const double g = 0.05 * gainOf(kLoads - 1);
    double worst = 0.0;
    for (size_t t = 5 * kHop; t < x.size(); ++t) {
        const double expected = g * (x[t - kHop - tap] - x[t - 1 - kHop - tap]);
        worst = std::max(worst, std::fabs((yl[t] - 0.996 * yl[t - 1]) - expected));
    }
    EXPECT_LT(worst, 1e-4);
}
