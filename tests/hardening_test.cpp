// What real hosts and sessions do to a plug-in: every sample rate, stalled processing,
// sample-rate changes between blocks, saving and restoring an instance, unloading.
#include "support/Engine.h"

#include "dsp/QS_ConvolverP.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <dirent.h>
#include <thread>

namespace {

bool allFinite(const StereoBuffer& b, float bound)
{
    for (size_t i = 0; i < b.size(); i++)
        if (!std::isfinite(b.left[i]) || !std::isfinite(b.right[i]) || std::fabs(b.left[i]) > bound ||
            std::fabs(b.right[i]) > bound)
            return false;
    return true;
}

// Every rate a host may set, with the longest pre-delay: the output stays finite and bounded
// and the plate tail is there. Materials, input stages, routings and modulation modes rotate
// so that every one of them meets the extreme rates; the longest plate is built where it
// meets the impulse capacity (384 kHz) and at the reference rate.
TEST(SampleRates, EveryRateServesAPlate)
{
    struct Case {
        float rate;
        int material;
    };
    std::vector<Case> cases;
    const float rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000, 384000};
    for (float rate : rates)
        for (int material = 0; material < 5; material++)
            if (rate == 8000 || rate == 44100 || rate == 384000 || material == (int)cases.size() % 5)
                cases.push_back({rate, material});

    // In batches that fit the registry, so that one timer tick serves a whole batch.
    for (size_t first = 0; first < cases.size(); first += 10) {
        std::vector<std::unique_ptr<Controlsgui>> batch;
        for (size_t k = first; k < std::min(cases.size(), first + 10); k++) {
            const Case& c = cases[k];
            auto fx = makeEffect();
            fx->setSampleRate(c.rate);
            fx->setParameter(kPlateType, c.material * 0.1f);
            fx->setParameter(kInputStage, (k % 2) * 0.1f);
            fx->setParameter(kMode, (k % 6) * 0.1f);
            fx->setParameter(kModMode, (k % 4) * 0.1f);
            fx->setParameter(kModAmp, 0.5f);
            fx->setParameter(kPreDel, 1.0f);
            fx->setParameter(kLength, (c.rate == 384000 || c.rate == 44100) && c.material == 0 ? 1.0f : 0.1f);
            fx->setParameter(kMix, 1.0f);
            fx->setParameter(kGain, 1.0f);
            float* none[2] = {nullptr, nullptr};
            fx->processReplacing(none, none, 0);
            batch.push_back(std::move(fx));
        }
        for (size_t k = 0; k < batch.size(); k++) {
            Controlsgui& fx = *batch[k];
            const Case& c = cases[first + k];
            ASSERT_TRUE(primeImpulse(fx)) << c.rate;
            EXPECT_LE(fx.getImpulseLength(), QS_ConvolverP::kImpulseCapacity);
            // one second of warm-up for the tube stage, then a burst; listen past the pre-delay
            const int delay = fx.getPreDelaySamples();
            run(fx, StereoBuffer((size_t)c.rate + 2048), 512);
            StereoBuffer in(2048 + delay + 8192);
            for (int i = 0; i < 256; i++)
                in.left[i] = in.right[i] = (i % 2 ? 0.5f : -0.5f) * (1.0f - i / 256.0f) + 0.3f;
            StereoBuffer out = run(fx, in, 512);
            ASSERT_TRUE(allFinite(out, 100.0f)) << c.rate << " material " << c.material;
            double tail = energyDb(out.left, 2048 + delay + 2048, out.size()) +
                          energyDb(out.right, 2048 + delay + 2048, out.size());
            EXPECT_GT(tail, -160.0) << c.rate << " material " << c.material << " stage " << (first + k) % 2;
        }
    }
}

// The host stops processing for seconds while a loaded impulse waits for its swap; the
// timer must not write into the waiting impulse meanwhile, and processing resumes with it.
TEST(HostBehaviour, StalledProcessingWithAWaitingImpulse)
{
    auto fx = makeEffect();
    float* none[2] = {nullptr, nullptr};
    fx->processReplacing(none, none, 0);
    while (fx->rebuildPending())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(fx->getConvolver()->impulsePending());
    std::vector<float> waiting(fx->getConvolver()->impulseBufferRef(0),
                               fx->getConvolver()->impulseBufferRef(0) + fx->getImpulseLength());
    // a new request that cannot be served while the swap is outstanding
    fx->setParameter(kTune, 0.1f);
    fx->processReplacing(none, none, 0);
    EXPECT_TRUE(fx->rebuildPending());
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_TRUE(fx->rebuildPending());  // still waiting, buffers untouched
    EXPECT_TRUE(std::equal(waiting.begin(), waiting.end(), fx->getConvolver()->impulseBufferRef(0)));
    // processing resumes: the waiting impulse is swapped in, then the new one is built
    run(*fx, StereoBuffer(4096), 512);
    EXPECT_FALSE(fx->getConvolver()->impulsePending());
    auto start = std::chrono::steady_clock::now();
    while (fx->rebuildPending() && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(fx->rebuildPending());
}

TEST(HostBehaviour, SampleRateChangesBetweenBlocks)
{
    auto fx = newInstance();
    fx->setParameter(kMix, 0.5f);
    StereoBuffer in(1024);
    for (size_t i = 0; i < in.size(); i++)
        in.left[i] = in.right[i] = std::sin(0.01f * (float)i) * 0.5f;
    for (float rate : {44100.0f, 8000.0f, 384000.0f, 96000.0f, 11025.0f, 48000.0f, 192000.0f}) {
        fx->setSampleRate(rate);
        StereoBuffer out = processBlocks(*fx, in, 256);
        ASSERT_TRUE(allFinite(out, 100.0f)) << rate;
    }
}

// A host saves an instance as its 17 values, current program and program names, and
// restores them into a fresh instance.
TEST(HostBehaviour, SaveAndRestoreGivesIdenticalState)
{
    auto a = newInstance();
    a->dispatch(effSetProgram, 0, 7);
    a->dispatch(effSetProgramName, 0, 0, (void*)"Big Hall Plate");
    for (int i = 0; i < 17; i++)
        a->setParameter(i, (float)((i * 37) % 100) / 100.0f);
    a->dispatch(effSetProgram, 0, 2);
    a->dispatch(effSetProgramName, 0, 0, (void*)"Init");
    a->setParameter(kTune, 0.123f);

    // save
    std::vector<std::string> names;
    for (int p = 0; p < 50; p++)
        names.push_back(a->programNameIndexed(p));
    VstIntPtr current = a->dispatch(effGetProgram);
    std::vector<std::vector<float>> bank(50, std::vector<float>(17));
    for (int p = 0; p < 50; p++) {
        a->dispatch(effSetProgram, 0, p);
        for (int i = 0; i < 17; i++)
            bank[p][i] = a->getParameter(i);
    }
    a->dispatch(effSetProgram, 0, current);
    std::vector<float> values(17);
    std::vector<std::string> displays;
    for (int i = 0; i < 17; i++) {
        values[i] = a->getParameter(i);
        displays.push_back(a->parameterDisplay(i));
    }

    // restore, as hosts do: each program's name and values, then the current program
    auto b = newInstance();
    for (int p = 0; p < 50; p++) {
        b->dispatch(effSetProgram, 0, p);
        std::string name = names[p] == "Init 3" ? "Init" : names[p];
        b->dispatch(effSetProgramName, 0, 0, (void*)name.c_str());
        for (int i = 0; i < 17; i++)
            b->setParameter(i, bank[p][i]);
    }
    b->dispatch(effSetProgram, 0, current);
    for (int i = 0; i < 17; i++)
        b->setParameter(i, values[i]);
    EXPECT_EQ(b->dispatch(effGetProgram), 2);
    for (int i = 0; i < 17; i++) {
        EXPECT_EQ(b->getParameter(i), values[i]) << i;
        EXPECT_EQ(b->parameterDisplay(i), displays[i]) << i;
    }
    for (int p = 0; p < 50; p++)
        EXPECT_EQ(b->programNameIndexed(p), names[p]) << p;
}

int taskCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// Hosts unload the library right after closing the last instance, and load it again.
TEST(Unloading, RepeatedLoadsLeaveNoThreads)
{
    newInstance()->close();  // sanitizer runtimes start their own helper thread with the first thread
    const int before = taskCount();
    for (int round = 0; round < 20; round++) {
        VstLibrary library(LUSTRANA_PLUGIN_PATH);
        auto fx = library.instantiate();
        ASSERT_NE(fx, nullptr);
        StereoBuffer in(512);
        processBlocks(*fx, in);
        fx->close();
        EXPECT_EQ(taskCount(), before) << round;
    }
}

} // namespace
