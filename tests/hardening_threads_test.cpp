// Instances and threads as a busy session has them: 40 instances come and go in random order
// while others play on an audio thread and the timer synthesises.
#include "support/Engine.h"

#include "core/InstanceRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

namespace {

TEST(Threads, FortyInstancesComeAndGoWhileOthersPlay)
{
    auto a = newInstance();
    auto b = newInstance();
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        StereoBuffer in(128);
        for (size_t i = 0; i < in.size(); i++)
            in.left[i] = in.right[i] = std::sin(0.1f * (float)i) * 0.3f;
        int n = 0;
        while (!stop.load()) {
            for (VstInstance* fx : {a.get(), b.get()}) {
                StereoBuffer out = processBlocks(*fx, in, 128);
                for (size_t i = 0; i < out.size(); i++)
                    ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]));
            }
            // a host that automates from its audio thread
            a->setParameter(8, (float)(n++ % 100) / 100.0f);
        }
    });
    std::mt19937 gen(11);
    std::vector<std::unique_ptr<VstInstance>> live;
    int created = 0;
    while (created < 40 || !live.empty()) {
        if (created < 40 && (live.empty() || gen() % 3 != 0)) {
            live.push_back(newInstance());
            created++;
            StereoBuffer in(64);
            processBlocks(*live.back(), in, 64);  // asks for an impulse
        } else {
            size_t k = gen() % live.size();
            EXPECT_EQ(live[k]->close(), 1);
            live.erase(live.begin() + k);
        }
        if (created % 8 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop = true;
    audio.join();
}

// Beyond 20 instances the newcomers work, without a plate of their own.
TEST(Threads, InstancesBeyondTwentyWorkWithoutAnImpulse)
{
    std::vector<std::unique_ptr<Controlsgui>> fx;
    for (int i = 0; i < 22; i++)
        fx.push_back(makeEffect());
    Controlsgui& late = *fx.back();
    EXPECT_FALSE(late.isRegistered());
    late.setParameter(kMix, 0.5f);
    StereoBuffer in(8192);
    for (size_t i = 0; i < in.size(); i++)
        in.left[i] = in.right[i] = std::sin(0.02f * (float)i) * 0.5f;
    StereoBuffer out = run(late, in, 512);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    out = run(late, in, 512);
    EXPECT_TRUE(late.rebuildPending());  // asked, never served
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_NEAR(out.left[i], 0.5f * in.left[(i + in.size() - 2048) % in.size()], 1e-3f);
}

} // namespace
