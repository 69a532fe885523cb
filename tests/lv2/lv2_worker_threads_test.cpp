// Lustrana.lv2 with a worker on a thread of its own, as jalv and Ardour (in real time) run it:
// plate impulses are built in work() while run() goes on, run never builds one itself, and
// an instance whose values stay put sounds as the VST 2.4 plug-in does offline.
#include "lv2/support/Lv2Host.h"
#include "support/Engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace {

double threadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

} // namespace

TEST(Lv2Worker, AThreadedWorkerSoundsAsTheOfflineRenderWhileTheValuesStayPut)
{
    StereoBuffer in(30000);
    in.left[0] = in.right[0] = 0.8f;
    in.left[12345] = 0.3f;
    const std::vector<std::pair<int, float>> values = {{kLength, 0.1f}, {kInputStage, 0.1f}};
    const StereoBuffer vst = renderVst(in, values, {});
    const StereoBuffer lv2 = renderLv2(in, values, {}, {WorkerMode::Threaded, {256}, false});
    size_t differ = 0;
    for (size_t i = 0; i < in.size(); i++)
        differ += !(vst.left[i] == lv2.left[i]) || !(vst.right[i] == lv2.right[i]);
    EXPECT_EQ(differ, 0u);
}

TEST(Lv2Worker, ShapingChangesAreBuiltOnTheWorkerWhileRunGoesOn)
{
    StereoBuffer out;
    double longestRunMs = 0;
    int schedules = 0;
    std::thread audio([&] {
        Lv2Instance lv2(WorkerMode::Threaded);
        ASSERT_TRUE(lv2.valid());
        lv2.control[lv2port::portOf(kInputStage)] = 0.1f;
        lv2.control[lv2port::portOf(kGain)] = 1.0f;
        const uint32_t block = 256;
        StereoBuffer in(block), buffer(block);
        lv2.connectAudio(in.left.data(), in.right.data(), buffer.left.data(), buffer.right.data());
        lv2.activate();
        auto runBlock = [&](float click) {
            in.left[0] = in.right[0] = click;
            const double before = threadCpuMs();
            lv2.run(block);
            longestRunMs = std::max(longestRunMs, threadCpuMs() - before);
            out.left.insert(out.left.end(), buffer.left.begin(), buffer.left.end());
            out.right.insert(out.right.end(), buffer.right.begin(), buffer.right.end());
        };
        // "Length" and "Tune" moving every few blocks while the worker builds
        for (int b = 0; b < 120; b++) {
            if (b % 7 == 0) {
                lv2.control[lv2port::portOf(kLength)] = 0.05f + 0.01f * (float)(b % 5);
                lv2.control[lv2port::portOf(kTune)] = 0.3f + 0.05f * (float)(b % 3);
            }
            runBlock(0.0f);
        }
        // then a short plate, given time to arrive and to be swapped in
        // (a change that comes while a job runs is asked for once that job has answered:
        // a run delivers the answer, the next one may schedule again)
        lv2.control[lv2port::portOf(kLength)] = 0.05f;
        for (int b = 0; b < 8; b++) {
            runBlock(0.0f);
            lv2.waitForWorker();
        }
        for (int b = 0; b < 20; b++)
            runBlock(0.0f);
        out = StereoBuffer();  // from the click on
        runBlock(0.7f);
        for (int b = 0; b < 200; b++)
            runBlock(0.0f);
        schedules = lv2.schedules();
        lv2.deactivate();
    });
    audio.join();
    // changes that come while the worker builds are served by its next job: how many jobs
    // there were depends on the machine's speed
    EXPECT_GE(schedules, 2) << "the changes were sent to the worker";
    // the last change arrived: 0.3 s after the click (and the 2048 samples of latency) the
    // 0.6 s plate of "Length" 0.05 has fallen 60 dB, down to the plug-in's noise; the 0.88 s
    // plate of 0.09 before it would have fallen some 41 dB, the 3.76 s default 10 dB
    ASSERT_GT(out.size(), 2048u + 17640u);
    EXPECT_LT(energyDb(out.left, 2048 + 13230, 2048 + 17640), energyDb(out.left, 2048, 2048 + 4410) - 46.0);
#ifndef LUSTRANA_SANITIZED
    // a synthesis costs 15 ms of CPU and more: no run contained one
    EXPECT_LT(longestRunMs, 5.0);
#endif
    std::printf("longest run of 256 samples: %.2f ms of CPU\n", longestRunMs);
}
