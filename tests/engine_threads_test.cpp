// Threads: the synthesis timer against audio processing, instances coming and going while
// others play, and no thread of the plug-in left after the last close.
#include "support/Engine.h"

#include "core/InstanceRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <dirent.h>
#include <random>
#include <thread>

namespace {

int taskCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                n++;
        closedir(d);
    }
    return n;
}

TEST(Threads, LoadedPluginLeavesNoThreadAfterTheLastClose)
{
    newInstance()->close();  // sanitizer runtimes start their own helper thread with the first thread
    int before = taskCount();
    {
        auto a = newInstance();
        auto b = newInstance();
        EXPECT_EQ(taskCount(), before + 1);  // one timer for all instances
        StereoBuffer in(512);
        processBlocks(*a, in);
        a->close();
        EXPECT_EQ(taskCount(), before + 1);
    }
    EXPECT_EQ(taskCount(), before);
}

// The audio thread keeps processing and changing the shaping parameters while the timer
// synthesises, and other instances are created and destroyed on a third thread.
TEST(Threads, ProcessingSynthesisAndInstanceChurn)
{
    auto player = makeEffect();
    player->setParameter(kLength, 0.0f);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        StereoBuffer in(256), out(256);
        std::mt19937 gen(3);
        std::uniform_real_distribution<float> d(-0.5f, 0.5f);
        for (size_t i = 0; i < in.size(); i++)
            in.left[i] = in.right[i] = d(gen);
        int n = 0;
        while (!stop.load()) {
            float* ins[2] = {in.left.data(), in.right.data()};
            float* outs[2] = {out.left.data(), out.right.data()};
            player->processReplacing(ins, outs, 256);
            for (size_t i = 0; i < out.size(); i++)
                ASSERT_TRUE(std::isfinite(out.left[i]));
            if (++n % 64 == 0)
                player->setParameter(kTune, (float)(n % 640) / 640.0f);
            blocks++;
        }
    });
    std::mt19937 gen(7);
    std::vector<std::unique_ptr<Controlsgui>> others;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    while (std::chrono::steady_clock::now() < until) {
        if (others.size() < 4 && gen() % 2)
            others.push_back(makeEffect());
        else if (!others.empty())
            others.erase(others.begin() + gen() % others.size());
        if (!others.empty()) {
            StereoBuffer in(64);
            run(*others[gen() % others.size()], in, 64);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    others.clear();
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 10);
    player.reset();
    EXPECT_EQ(InstanceRegistry::count(), 0);
    EXPECT_FALSE(InstanceRegistry::timerRunning());
}

} // namespace
