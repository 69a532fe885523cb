// When and where the plate impulse is built, heard through the loaded plug-in with our host
// playing the host's part: ready at the first sample after a resume, in step with the audio
// when the host renders offline, never synchronously in real time, and the same sound
// whichever thread built it.
#include "core/Parameters.h"
#include "support/Plugin.h"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

namespace {

constexpr int kLatency = 2048;

// Settings a session might hold, as Ardour sends them: every parameter, in index order.
void sendSession(VstInstance& fx, float inputStage, float length)
{
    const float values[kNumParams] = {0.2f, 0.7f, 1.0f, 0.0f, 1.0f, 0.0f, length, 0.3f, 0.6f,
                                      0.4f, 0.0f, 1.0f, 0.1f, 0.0f, 0.0f, inputStage, 1.0f};
    for (int i = 0; i < kNumParams; i++)
        fx.setParameter(i, values[i]);
}

// Ardour 7's export of a freshly loaded instance: open, rate, block size, resume, the
// session's values, resume again; then processing.
std::unique_ptr<VstInstance> ardourInstance(float rate, float inputStage, float length)
{
    auto fx = newInstance();
    fx->dispatch(effOpen);
    fx->setSampleRate(rate);
    fx->dispatch(effSetBlockSize, 0, 1024);
    fx->dispatch(effMainsChanged, 0, 1);
    sendSession(*fx, inputStage, length);
    fx->dispatch(effMainsChanged, 0, 1);
    return fx;
}

// Runs `in` through the instance back to back in Ardour's varying block sizes.
StereoBuffer exportBlocks(VstInstance& fx, const StereoBuffer& in)
{
    static const int sizes[] = {1024, 768, 256, 1024, 1024, 512, 1000, 24};
    StereoBuffer out(in.size());
    size_t at = 0;
    for (int k = 0; at < in.size(); k++) {
        int n = (int)std::min<size_t>(sizes[k % 8], in.size() - at);
        float* inputs[2] = {const_cast<float*>(in.left.data() + at), const_cast<float*>(in.right.data() + at)};
        float* outputs[2] = {out.left.data() + at, out.right.data() + at};
        fx.processReplacing(inputs, outputs, n);
        at += n;
    }
    return out;
}

StereoBuffer clickAt(size_t frames, size_t at, float level = 1.0f)
{
    StereoBuffer b(frames);
    b.left[at] = b.right[at] = level;
    return b;
}

StereoBuffer noiseBurst(size_t frames, size_t from, size_t length, float level)
{
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> d(-level, level);
    StereoBuffer b(frames);
    for (size_t i = from; i < from + length && i < frames; i++) {
        b.left[i] = d(gen);
        b.right[i] = d(gen);
    }
    return b;
}

double energyDb(const std::vector<float>& x, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to && i < x.size(); i++)
        sum += (double)x[i] * x[i];
    return sum > 0.0 ? 10.0 * std::log10(sum) : -300.0;
}

size_t onset(const std::vector<float>& x, size_t from, float threshold)
{
    for (size_t i = from; i < x.size(); i++)
        if (std::fabs(x[i]) > threshold)
            return i;
    return x.size();
}

float peak(const std::vector<float>& x, size_t from = 0)
{
    float p = 0.0f;
    for (size_t i = from; i < x.size(); i++)
        p = std::max(p, std::fabs(x[i]));
    return p;
}

// Reverberation time of the response from `from` on: Schroeder's backward integral, a line
// fitted between -5 and -25 dB, extrapolated to 60 dB.
double decayTime(const std::vector<float>& x, size_t from, double rate)
{
    std::vector<double> edc(x.size() - from + 1, 0.0);
    for (size_t i = x.size(); i-- > from;)
        edc[i - from] = edc[i - from + 1] + (double)x[i] * x[i];
    const double total = edc[0];
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i + 1 < edc.size(); i += 16) {
        double db = 10.0 * std::log10(edc[i] / total + 1e-300);
        if (db > -5.0)
            continue;
        if (db < -25.0)
            break;
        double t = (double)i / rate;
        n++, sx += t, sy += db, sxx += t * t, sxy += t * db;
    }
    double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return n > 8 && slope < 0.0 ? -60.0 / slope : 0.0;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

// Runs `work` on a thread of its own: a fresh thread starts the plug-in's dither sequence
// afresh, so two instances processed this way see the same dither.
void onFreshThread(const std::function<void()>& work)
{
    std::thread thread(work);
    thread.join();
}

} // namespace

// The export renders faster than real time and says nothing of it; the click at sample 0 of
// a fresh instance reverberates as it does on an instance that had all the time it wanted.
TEST(ReadyAtTheFirstSample, ArdoursExportOrderGivesTheFullResponseFromSampleZero)
{
    const float rate = 48000.0f;
    const size_t frames = (size_t)(2.6 * rate);
    auto exported = ardourInstance(rate, 0.1f, 0.3f);
    StereoBuffer out = exportBlocks(*exported, clickAt(frames, 0));

    // The instance that had time: given its values, switched on, played in real time with
    // time for the timer, and clicked at a block boundary well after its plate was in place.
    // (Its values come before the switch-on, so the plate in place has the session's length
    // however long the timer takes on a loaded machine.)
    auto patient = newInstance();
    patient->setSampleRate(rate);
    patient->processLevel = kVstProcessLevelRealtime;
    sendSession(*patient, 0.1f, 0.3f);
    patient->dispatch(effMainsChanged, 0, 1);
    processBlocks(*patient, StereoBuffer(512), 512);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    processBlocks(*patient, StereoBuffer(4096 - 512), 512);
    StereoBuffer reference = processBlocks(*patient, clickAt(frames, 0), 512);

    for (int c = 0; c < 2; c++) {
        const std::vector<float>& x = c ? out.right : out.left;
        const std::vector<float>& y = c ? reference.right : reference.left;
        EXPECT_EQ(peak(x, 0), peak(x, kLatency)) << "nothing before the latency, channel " << c;
        const float threshold = 0.01f * peak(y);
        EXPECT_NEAR((double)onset(x, 0, threshold), (double)onset(y, 0, threshold), 48.0) << "channel " << c;
        // Energy in the early part and in the tail, window by window.
        const size_t edges[] = {kLatency, kLatency + 2400, kLatency + 12000, kLatency + 48000, frames};
        for (int w = 0; w < 4; w++)
            EXPECT_NEAR(energyDb(x, edges[w], edges[w + 1]), energyDb(y, edges[w], edges[w + 1]), 1.5)
                << "channel " << c << ", window " << w;
        const double rt = decayTime(x, kLatency, rate), rtRef = decayTime(y, kLatency, rate);
        EXPECT_GT(rtRef, 0.5);
        EXPECT_NEAR(rt, rtRef, 0.1 * rtRef) << "channel " << c;
    }
}

// With the tube stage, the model's first second of silence and its fade-in have already run
// at the resume.
TEST(ReadyAtTheFirstSample, TheTubeStageIsWarmAtTheFirstSample)
{
    const float rate = 48000.0f;
    const size_t frames = (size_t)(1.2 * rate);
    StereoBuffer burst = noiseBurst(frames, 0, (size_t)rate, 0.5f);
    auto exported = ardourInstance(rate, 0.0f, 0.1f);
    StereoBuffer out = exportBlocks(*exported, burst);

    auto warm = newInstance();
    warm->setSampleRate(rate);
    warm->processLevel = kVstProcessLevelRealtime;
    sendSession(*warm, 0.0f, 0.1f);
    processBlocks(*warm, StereoBuffer(512), 512);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    processBlocks(*warm, StereoBuffer((size_t)(2 * rate)), 512);  // the warm-up, in real processing
    // Switched off and on: a plate the timer has not built yet on a loaded machine is built
    // now; the tube stage, which has processed audio, is left as it is.
    warm->dispatch(effMainsChanged, 0, 0);
    warm->dispatch(effMainsChanged, 0, 1);
    processBlocks(*warm, StereoBuffer(4096), 512);
    StereoBuffer reference = processBlocks(*warm, burst, 512);

    for (int c = 0; c < 2; c++) {
        const std::vector<float>& x = c ? out.right : out.left;
        const std::vector<float>& y = c ? reference.right : reference.left;
        for (size_t from = kLatency; from + 12000 <= kLatency + (size_t)rate; from += 12000)
            EXPECT_NEAR(energyDb(x, from, from + 12000), energyDb(y, from, from + 12000), 2.0)
                << "channel " << c << " at " << from;
    }
}

// A "Length" change during an offline render takes effect at the next 2048-sample boundary
// on every machine: whether the host says it renders offline or only runs ahead of the clock.
TEST(OfflineInStep, AutomationDuringAnOfflineRenderChangesThePlateInStep)
{
    const float rate = 44100.0f;
    for (VstIntPtr level : {(VstIntPtr)kVstProcessLevelOffline, (VstIntPtr)0}) {
        SCOPED_TRACE(level == 0 ? "host says nothing, runs ahead of the clock" : "host says offline");
        auto fx = newInstance();
        fx->setSampleRate(rate);
        fx->processLevel = level;
        sendSession(*fx, 0.1f, 0.5f);
        fx->dispatch(effMainsChanged, 0, 1);
        const int block = 512;
        processBlocks(*fx, StereoBuffer(2 * block), block);
        fx->setParameter(kLength, 0.1f);
        // Two blocks later, or 0.75 s later where only the lead over the clock tells.
        const size_t gap = level == 0 ? (size_t)(0.75 * rate) : 2 * block;
        const auto start = std::chrono::steady_clock::now();
        processBlocks(*fx, StereoBuffer(gap), block);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (level == 0 && (double)gap / rate - wall < 0.5) {
            // A build that runs little faster than real time (the sanitizers) never gets
            // ahead of the clock: such a host renders in real time as far as anyone can tell.
            std::printf("rendered %.2f s of audio in %.2f s: no lead over the clock to detect\n",
                        (double)gap / rate, wall);
            continue;
        }
        StereoBuffer out = processBlocks(*fx, clickAt((size_t)(2.5 * rate), 0), block);
        for (int c = 0; c < 2; c++) {
            const double rt = decayTime(c ? out.right : out.left, kLatency, rate);
            EXPECT_NEAR(rt, 0.43, 0.12) << "channel " << c << " decays as a plate of Length 0.1 (0.43 s), "
                                        << "not 0.5 (1.68 s)";
        }
    }
}

// In real time the audio thread never builds a plate: blocks of 256 at 48 kHz paced by the
// clock, "Length" moving every 0.4 s, and no call takes a synthesis' worth of CPU.
TEST(RealTimeNeverWaits, NoProcessingCallBuildsAPlate)
{
    const float rate = 48000.0f;
    const int block = 256;
    // What one call costs when it does build a plate: the same change, offline.
    double synthesisCall = 0.0;
    {
        auto fx = newInstance();
        fx->setSampleRate(rate);
        fx->processLevel = kVstProcessLevelOffline;
        fx->dispatch(effMainsChanged, 0, 1);
        processBlocks(*fx, StereoBuffer(4096), block);
        fx->setParameter(kLength, 0.45f);
        StereoBuffer silence(block);
        float* io[2] = {silence.left.data(), silence.right.data()};
        double before = threadCpuSeconds();
        fx->processReplacing(io, io, block);
        synthesisCall = threadCpuSeconds() - before;
    }

    auto fx = newInstance();
    fx->setSampleRate(rate);
    fx->processLevel = kVstProcessLevelRealtime;
    fx->dispatch(effMainsChanged, 0, 1);
    std::vector<float> left(block), right(block);
    float* io[2] = {left.data(), right.data()};
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    const double period = (double)block / rate;
    const int calls = (int)(2.4 / period);
    const auto start = std::chrono::steady_clock::now();
    double worst = 0.0;
    for (int k = 0; k < calls; k++) {
        if (k % (int)(0.4 / period) == 0)
            fx->setParameter(kLength, 0.3f + 0.1f * (float)((k / (int)(0.4 / period)) % 4));
        for (int i = 0; i < block; i++)
            left[i] = right[i] = noise(gen);
        double before = threadCpuSeconds();
        fx->processReplacing(io, io, block);
        worst = std::max(worst, threadCpuSeconds() - before);
        std::this_thread::sleep_until(start + std::chrono::duration<double>((k + 1) * period));
    }
    EXPECT_GT(synthesisCall, 0.005) << "a call that builds a plate takes milliseconds";
    EXPECT_LT(worst, 0.25 * synthesisCall) << "worst real-time call " << worst * 1e3 << " ms, a call that "
                                           << "builds a plate " << synthesisCall * 1e3 << " ms";
}

// The same settings and audio give the same output, bit for bit, whether the timer built the
// plate in real time or the audio thread built it offline; and a resume with nothing to
// rebuild changes nothing.
TEST(SameSoundAnywhere, TheThreadThatBuildsThePlateDoesNotChangeTheSound)
{
    const float rate = 44100.0f;
    StereoBuffer music = noiseBurst(3 * 44100, 3000, 20000, 0.4f);
    music.left[0] = music.right[0] = 0.9f;
    auto prepare = [&](VstIntPtr level) {
        auto fx = newInstance();
        fx->setSampleRate(rate);
        fx->processLevel = level;
        sendSession(*fx, 0.0f, 0.1f);
        fx->dispatch(effMainsChanged, 0, 1);
        return fx;
    };

    StereoBuffer offline, realTime, resumed;
    auto a = prepare(kVstProcessLevelOffline);
    onFreshThread([&] { offline = processBlocks(*a, music, 512); });

    auto b = prepare(kVstProcessLevelRealtime);
    onFreshThread([&] {
        // Less than a hop, then time for the timer: its plate takes over at the same boundary.
        StereoBuffer first(512);
        std::copy(music.left.begin(), music.left.begin() + 512, first.left.begin());
        std::copy(music.right.begin(), music.right.begin() + 512, first.right.begin());
        StereoBuffer head = processBlocks(*b, first, 512);
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        StereoBuffer rest(music.size() - 512);
        std::copy(music.left.begin() + 512, music.left.end(), rest.left.begin());
        std::copy(music.right.begin() + 512, music.right.end(), rest.right.begin());
        StereoBuffer tail = processBlocks(*b, rest, 512);
        realTime = head;
        realTime.left.insert(realTime.left.end(), tail.left.begin(), tail.left.end());
        realTime.right.insert(realTime.right.end(), tail.right.begin(), tail.right.end());
    });

    auto c = prepare(kVstProcessLevelOffline);
    onFreshThread([&] {
        StereoBuffer firstHalf(44100), secondHalf(music.size() - 44100);
        std::copy(music.left.begin(), music.left.begin() + 44100, firstHalf.left.begin());
        std::copy(music.right.begin(), music.right.begin() + 44100, firstHalf.right.begin());
        std::copy(music.left.begin() + 44100, music.left.end(), secondHalf.left.begin());
        std::copy(music.right.begin() + 44100, music.right.end(), secondHalf.right.begin());
        resumed = processBlocks(*c, firstHalf, 512);
        c->dispatch(effMainsChanged, 0, 0);  // as Ardour does after an export
        c->dispatch(effMainsChanged, 0, 1);
        StereoBuffer more = processBlocks(*c, secondHalf, 512);
        resumed.left.insert(resumed.left.end(), more.left.begin(), more.left.end());
        resumed.right.insert(resumed.right.end(), more.right.begin(), more.right.end());
    });

    ASSERT_GT(peak(offline.left, kLatency), 1e-3f) << "the plate sounds";
    EXPECT_TRUE(offline.left == realTime.left && offline.right == realTime.right)
        << "timer in real time and audio thread offline give different output";
    EXPECT_TRUE(offline.left == resumed.left && offline.right == resumed.right)
        << "a resume with nothing to rebuild changed the output";
}

// The 21st instance has no registry slot: it never builds a plate, not at resume and not
// offline; it passes the dry signal and a silent wet one.
TEST(RegistryFull, AnInstanceWithoutASlotNeverBuildsAPlate)
{
    std::vector<std::unique_ptr<VstInstance>> others;
    for (int i = 0; i < 20; i++)
        others.push_back(newInstance());
    auto extra = newInstance();
    extra->processLevel = kVstProcessLevelOffline;
    extra->setParameter(kMix, 1.0f);
    extra->setParameter(kInputStage, 0.1f);
    extra->dispatch(effMainsChanged, 0, 1);
    StereoBuffer out = processBlocks(*extra, clickAt(20000, 0), 512);
    // Only the convolver's own ±1e-24 against denormals remains.
    EXPECT_LT(peak(out.left), 1e-20f);
    EXPECT_LT(peak(out.right), 1e-20f);
}
