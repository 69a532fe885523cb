// Lustrana.lv2's DSP library loaded through lilv as a host loads it, against the VST 2.4
// plug-in loaded through our VST host and rendering offline: the same engine, values and
// input must give the same output sample for sample, whatever the host's block lengths
// (0, 1, 37, 4096), with the outputs written over the inputs, with no features at all (the
// plug-in builds its plate inside run) or with a worker that runs inside schedule_work (as
// Ardour's does while it exports).
#include "lv2/support/Lv2Host.h"
#include "support/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Values = std::vector<std::pair<int, float>>;

// A click at sample 0, a second one later, and a short noise burst in between.
StereoBuffer programme(size_t frames)
{
    StereoBuffer in(frames);
    in.left[0] = in.right[0] = 0.8f;
    in.left[frames / 2] = 0.5f;
    uint32_t state = 7;
    for (size_t i = frames / 4; i < frames / 4 + 2000; i++) {
        state = state * 1664525u + 1013904223u;
        in.left[i] = ((float)(state >> 8) / 16777216.0f - 0.5f) * 0.2f;
        in.right[i] = -in.left[i];
    }
    return in;
}

size_t firstDifference(const StereoBuffer& a, const StereoBuffer& b)
{
    for (size_t i = 0; i < a.size(); i++)
        if (!(a.left[i] == b.left[i]) || !(a.right[i] == b.right[i]))
            return i;
    return a.size();
}

// Short plates keep the renders quick.
const Values kSolidShort = {{kLength, 0.1f}, {kInputStage, 0.1f}, {kMix, 0.6f}};
const Values kTubeShort = {{kLength, 0.15f}, {kPlateType, 0.3f}, {kMode, 0.2f}};

} // namespace

TEST(Lv2Dsp, OutputEqualsTheVst2PluginRenderingOffline)
{
    const StereoBuffer in = programme(50000);
    struct Case {
        const char* name;
        const Values* values;
        Lv2Render how;
    };
    const Case cases[] = {
        {"no features, blocks 0/1/37/4096", &kSolidShort, {WorkerMode::None, {0, 1, 37, 4096}, false}},
        {"no features, in place, blocks of 37", &kSolidShort, {WorkerMode::None, {37}, true}},
        {"synchronous worker, in place, blocks 0/1/37/4096", &kSolidShort,
         {WorkerMode::Synchronous, {0, 1, 37, 4096}, true}},
        {"synchronous worker, tube stage, blocks of 4096", &kTubeShort, {WorkerMode::Synchronous, {4096}, false}},
        {"no features, tube stage, 48 kHz, blocks of 1 and 4096", &kTubeShort,
         {WorkerMode::None, {1, 4096}, false, 48000.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StereoBuffer vst = renderVst(in, *c.values, {}, 512, (float)c.how.rate);
        const StereoBuffer lv2 = renderLv2(in, *c.values, {}, c.how);
        EXPECT_EQ(firstDifference(vst, lv2), in.size()) << "first sample that differs";
        // the click at sample 0 reverberates from the first block on: 2048 samples late,
        // far above the plug-in's noise before it
        EXPECT_GT(energyDb(lv2.left, 2048, 2048 + 4410), energyDb(lv2.left, 0, 2048) + 40.0);
    }
}

TEST(Lv2Dsp, ShapingChangesDuringTheRenderLandWhereTheVst2PluginLandsThem)
{
    // "Length" 0.5 -> 0.1 between blocks, "Tune" moving while that plate still waits for its
    // swap at the convolver's next block boundary, and "PlateType" later on: each change
    // takes effect at the block boundary where the offline VST 2.4 render takes it.
    StereoBuffer in(120000);
    for (size_t at : {0, 40000, 80000})
        in.left[at] = in.right[at] = 0.7f;
    const std::vector<PortChange> changes = {
        {20000, lv2port::portOf(kLength), 0.1f},
        {20500, lv2port::portOf(kTune), 0.3f},
        {60001, lv2port::portOf(kPlateType), 0.1f},
    };
    const Values values = {{kInputStage, 0.1f}};
    const StereoBuffer vst = renderVst(in, values, changes);
    for (WorkerMode mode : {WorkerMode::None, WorkerMode::Synchronous}) {
        SCOPED_TRACE(mode == WorkerMode::None ? "no features" : "synchronous worker");
        const StereoBuffer lv2 = renderLv2(in, values, changes, {mode, {37, 4096, 1}, false});
        EXPECT_EQ(firstDifference(vst, lv2), in.size()) << "first sample that differs";
    }
    // and the change is heard: 0.3 s after its click the 0.95 s plate has fallen some 38 dB,
    // the 3.76 s plate before it some 10 dB (both measured before the next swap)
    EXPECT_LT(energyDb(vst.left, 40000 + 2048 + 13230, 40000 + 2048 + 17640),
              energyDb(vst.left, 2048 + 13230, 2048 + 17640) - 15.0);
}

TEST(Lv2Dsp, EachRisingEdgeOfPingSendsOneUnitImpulseIntoThePlate)
{
    // With "Gain" 1, "Solid State" and "Mix" 1 an input sample of 4 feeds the plate exactly
    // 1, and the dry signal is not heard: a ping must sound as that input does.
    const Values values = {{kGain, 1.0f}, {kInputStage, 0.1f}, {kMix, 1.0f}, {kLength, 0.1f}};
    const size_t frames = 40000, first = 4096, second = 20480;
    const uint32_t ping = lv2port::kPing;
    // up for three blocks, down, up again; the host may also leave it up
    const std::vector<PortChange> changes = {{first, ping, 1.0f}, {first + 1536, ping, 0.0f},
                                             {second, ping, 1.0f}};
    StereoBuffer clicks(frames);
    clicks.left[first] = clicks.right[first] = 4.0f;
    clicks.left[second] = clicks.right[second] = 4.0f;
    const StereoBuffer vst = renderVst(clicks, values, {});
    for (WorkerMode mode : {WorkerMode::None, WorkerMode::Synchronous}) {
        const StereoBuffer lv2 = renderLv2(StereoBuffer(frames), values, changes, {mode, {512}, false});
        EXPECT_EQ(firstDifference(vst, lv2), frames) << "first sample that differs";
    }
}

TEST(Lv2Dsp, APingPortAlreadyUpWhenActivatedIsNoClick)
{
    // a session saved while the port was up restores it up: no click at the first sample
    Lv2Instance lv2(WorkerMode::None);
    ASSERT_TRUE(lv2.valid());
    lv2.control[lv2port::kPing] = 1.0f;
    lv2.control[lv2port::portOf(kInputStage)] = 0.1f;
    StereoBuffer in(8192), out(8192);
    lv2.connectAudio(in.left.data(), in.right.data(), out.left.data(), out.right.data());
    lv2.activate();
    lv2.run(8192);
    EXPECT_LT(energyDb(out.left, 0, 8192), -45.0);  // the plug-in's own noise, some -55 dB
    lv2.control[lv2port::kPing] = 0.0f;
    lv2.run(512);
    lv2.control[lv2port::kPing] = 1.0f;
    lv2.run(8192);  // a rising edge now: the click, 2048 samples late
    EXPECT_GT(energyDb(out.left, 2048, 8192), -30.0);
    lv2.deactivate();
}

TEST(Lv2Dsp, LatencyAndMeterPortsAreWrittenOnEveryRun)
{
    Lv2Instance lv2(WorkerMode::Synchronous);
    ASSERT_TRUE(lv2.valid());
    lv2.control[lv2port::kLatency] = -1.0f;
    lv2.control[lv2port::portOf(kGain)] = 1.0f;
    lv2.control[lv2port::portOf(kInputStage)] = 0.1f;
    StereoBuffer ones(512), out(512);
    std::fill(ones.left.begin(), ones.left.end(), 1.0f);
    std::fill(ones.right.begin(), ones.right.end(), 1.0f);
    lv2.connectAudio(ones.left.data(), ones.right.data(), out.left.data(), out.right.data());
    lv2.activate();
    lv2.run(0);
    EXPECT_EQ(lv2.control[lv2port::kLatency], 2048.0f);
    // a feed of 0.25 per channel: 20 log10(0.25 / 2) dB on the meter's -72 ... 0 dB scale
    lv2.run(512);
    const float expected = (float)((20.0 * std::log10(0.125) + 72.0) / 72.0);
    EXPECT_NEAR(lv2.control[lv2port::kLevel], expected, 1e-4);
    lv2.run(0);  // an empty block leaves the meter where it was
    EXPECT_NEAR(lv2.control[lv2port::kLevel], expected, 1e-4);
    std::fill(ones.left.begin(), ones.left.end(), 0.0f);
    std::fill(ones.right.begin(), ones.right.end(), 0.0f);
    lv2.control[lv2port::kLatency] = -1.0f;
    lv2.run(512);
    EXPECT_EQ(lv2.control[lv2port::kLevel], 0.0f);
    EXPECT_EQ(lv2.control[lv2port::kLatency], 2048.0f);
    lv2.deactivate();
}

TEST(Lv2Dsp, HostileControlValuesAndReactivationKeepTheOutputFinite)
{
    Lv2Instance lv2(WorkerMode::Synchronous);
    ASSERT_TRUE(lv2.valid());
    StereoBuffer in = programme(8192), out(8192);
    lv2.connectAudio(in.left.data(), in.right.data(), out.left.data(), out.right.data());
    lv2.activate();
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -1e30f, 1e30f, -0.0f};
    for (int round = 0; round < 5; round++) {
        for (uint32_t p = lv2port::kFirstParameter; p < lv2port::kLatency; p++)
            lv2.control[p] = hostile[(round + p) % 5];
        lv2.control[lv2port::kPing] = hostile[round];
        lv2.run(4096);
        lv2.run(4096);
        if (round == 2) {  // Ardour re-activates after an export
            lv2.deactivate();
            lv2.activate();
        }
    }
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
    EXPECT_GT(lv2.schedules(), 0);
    lv2.deactivate();
}

TEST(Lv2Dsp, WithAWorkerOnlyTheFirstActivationBuildsThePlate)
{
    // Ardour activates on its audio thread when a plug-in is switched back on while playing:
    // a plate changed meanwhile must then come from the worker, not from activate.
    Lv2Instance lv2(WorkerMode::Synchronous);
    ASSERT_TRUE(lv2.valid());
    StereoBuffer in(512), out(512);
    lv2.connectAudio(in.left.data(), in.right.data(), out.left.data(), out.right.data());
    lv2.activate();  // builds the plate, and what the first block asks for, itself
    lv2.run(512);
    EXPECT_EQ(lv2.schedules(), 0);
    lv2.deactivate();
    lv2.control[lv2port::portOf(kLength)] = 0.2f;
    lv2.activate();
    EXPECT_EQ(lv2.schedules(), 0);
    // the plate the first block asked for still waits for its swap, 2048 samples in: the
    // worker is asked as soon as the convolver's back buffers are free again
    StereoBuffer longIn(4096), longOut(4096);
    lv2.connectAudio(longIn.left.data(), longIn.right.data(), longOut.left.data(), longOut.right.data());
    lv2.run(4096);
    EXPECT_EQ(lv2.schedules(), 1);
    lv2.run(4096);
    EXPECT_EQ(lv2.schedules(), 1);
    lv2.deactivate();
}
