// lustrana-render on audio: the output lines up with the input (latency removed) and is as
// long as the input plus the tail; the plate is in place before the first input sample;
// FLAC in and WAV out; a 48 kHz mono input; the impulse response with its pre-delay, its
// picture and its measured decay time.
#include "tests/render/RenderHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace render_test;

namespace {

Audio clicks(int channels, int rate, size_t frames, const std::vector<std::pair<size_t, float>>& at)
{
    Audio audio = silence(channels, rate, frames);
    for (auto [frame, value] : at)
        for (int c = 0; c < channels; c++)
            audio.at(frame, c) = c == 0 ? value : -0.5f * value;
    return audio;
}

// First frame whose magnitude in either channel reaches `level`.
size_t onset(const Audio& audio, float level)
{
    for (size_t f = 0; f < audio.frames(); f++)
        for (int c = 0; c < audio.channels; c++)
            if (std::fabs(audio.at(f, c)) >= level)
                return f;
    return audio.frames();
}

double peak(const Audio& audio)
{
    double p = 0.0;
    for (float x : audio.samples)
        p = std::max(p, (double)std::fabs(x));
    return p;
}

// Reverberation time of one channel, measured independently of the renderer: a straight
// line through the levels of 10 ms windows between 5 dB and 25 dB below the loudest one,
// extrapolated to 60 dB.
double windowDecayTime(const Audio& audio, int channel)
{
    const size_t window = audio.rate / 100;
    std::vector<double> levels;
    for (size_t start = 0; start + window <= audio.frames(); start += window) {
        double energy = 0.0;
        for (size_t f = start; f < start + window; f++)
            energy += (double)audio.at(f, channel) * audio.at(f, channel);
        levels.push_back(10.0 * std::log10(energy / window + 1e-30));
    }
    size_t loudest = std::max_element(levels.begin(), levels.end()) - levels.begin();
    double top = levels[loudest];
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = loudest; i < levels.size(); i++) {
        if (levels[i] > top - 5.0)
            continue;
        if (levels[i] < top - 25.0)
            break;
        double x = i * 0.01, y = levels[i];
        n++, sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return n > 4 && slope < 0 ? -60.0 / slope : 0.0;
}

// The two RT60 values the renderer prints ("RT60 left 0.40 s, right 0.41 s ...").
std::pair<double, double> printedRt60(const std::string& out)
{
    double left = 0, right = 0;
    size_t at = out.find("RT60 left ");
    if (at != std::string::npos)
        std::sscanf(out.c_str() + at, "RT60 left %lf s, right %lf s", &left, &right);
    return {left, right};
}

} // namespace

TEST(RenderAudio, WithMixZeroTheOutputIsTheInputSampleForSample)
{
    TempFolder folder;
    Audio in = clicks(2, 44100, 22050, {{0, 0.9f}, {1000, 0.5f}, {22049, -0.25f}});
    for (size_t f = 5000; f < 6000; f++)  // and a burst of tone
        in.at(f, 0) = 0.3f * std::sin(0.05f * f), in.at(f, 1) = 0.2f * std::cos(0.03f * f);
    writeWav(folder / "in.wav", in);
    // A block size that does not divide the plug-in's 2048-sample hop.
    RunResult run = runRenderer({folder / "in.wav", folder / "out.wav", "--set", "Mix=0", "--block", "300"}, folder);
    ASSERT_EQ(run.status, 0) << run.err;
    Audio out;
    ASSERT_TRUE(readWav(folder / "out.wav", out));
    EXPECT_EQ(out.formatTag, 3);  // the input's sample format is kept
    EXPECT_EQ(out.channels, 2);
    ASSERT_EQ(out.frames(), in.frames());  // no tail: the dry path ends with the input
    size_t mismatches = 0;
    for (size_t i = 0; i < in.samples.size(); i++)
        mismatches += out.samples[i] != in.samples[i];
    EXPECT_EQ(mismatches, 0u);
    EXPECT_NE(run.err.find("tail 0.00 s"), std::string::npos) << run.err;
}

TEST(RenderAudio, AClickAtTheVeryStartAlreadyReverberates)
{
    TempFolder folder;
    const int rate = 44100;
    writeWav(folder / "in.wav", clicks(2, rate, rate / 2, {{0, 1.0f}}));
    RunResult run = runRenderer({folder / "in.wav", folder / "out.wav"}, folder);  // the default program
    ASSERT_EQ(run.status, 0) << run.err;
    Audio out;
    ASSERT_TRUE(readWav(folder / "out.wav", out));
    // Fully wet: the plate answers from the first samples on, and decays.
    double early = rms(out, 0, rate / 20), later = rms(out, rate, rate + rate / 20);
    EXPECT_GT(dbfs(early), -70.0);
    // (the tube stage's state at the click depends on how much dithered silence the pre-roll
    // fed it, so the first few milliseconds vary in shape from run to run)
    EXPECT_LT(onset(out, (float)(peak(out) * 0.01)), 256u);
    EXPECT_LT(later, early * 0.5);
    // Output = input + tail; the tail runs until the level is below -90 dBFS.
    ASSERT_GT(out.frames(), (size_t)rate);
    EXPECT_LT(dbfs(rms(out, out.frames() - rate / 100, out.frames())), -85.0);
    double tail = (double)(out.frames() - rate / 2) / rate;
    char expected[32];
    std::snprintf(expected, sizeof expected, "tail %.2f s", tail);
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    EXPECT_EQ(lineCount(run.err), 1) << run.err;  // not a terminal: one summary line
}

// The output depends on the input and the settings alone: a render made while every core is
// busy is the same file, bit for bit, as one made on an idle machine. The click at the first
// sample reverberates through the tube stage, which is warm from the start.
TEST(RenderAudio, TheSameRenderIsBitIdenticalOnABusyMachine)
{
    TempFolder folder;
    Audio in = clicks(2, 44100, 44100, {{0, 0.9f}, {30000, 0.5f}});
    writeWav(folder / "in.wav", in);
    const std::vector<std::string> settings = {"--set", "Length=0.2", "--format", "float"};
    auto args = [&](const char* out) {
        std::vector<std::string> a = {folder / "in.wav", folder / out};
        a.insert(a.end(), settings.begin(), settings.end());
        return a;
    };
    RunResult idle = runRenderer(args("idle.wav"), folder);
    ASSERT_EQ(idle.status, 0) << idle.err;

    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (unsigned i = 0; i < 2 * std::max(1u, std::thread::hardware_concurrency()); i++)
        load.emplace_back([&stop] {
            volatile double x = 1.0;
            while (!stop.load(std::memory_order_relaxed))
                x = x * 1.0000001 + 1e-9;
        });
    RunResult busy = runRenderer(args("busy.wav"), folder);
    stop = true;
    for (std::thread& t : load)
        t.join();
    ASSERT_EQ(busy.status, 0) << busy.err;

    Audio out;
    ASSERT_TRUE(readWav(folder / "idle.wav", out));
    // Some -61 dBFS through the tube stage at the default "Gain"; the plate's own noise floor
    // lies below -75 dBFS.
    EXPECT_GT(dbfs(rms(out, 0, 4410)), -70.0) << "the first click reverberates from the start";
    const std::string a = slurp(folder / "idle.wav"), b = slurp(folder / "busy.wav");
    size_t first = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
    EXPECT_EQ(first, a.size()) << "the files differ from byte " << first << " on (sizes " << a.size() << ", "
                               << b.size() << ")";
    EXPECT_EQ(a.size(), b.size());
}

TEST(RenderAudio, FlacInWavOut)
{
    TempFolder folder;
    Audio in = clicks(2, 44100, 11025, {{100, 0.5f}, {7000, -0.75f}});
    in.formatTag = 1;
    in.bits = 16;
    writeWav(folder / "in.wav", in);
    // With the power off the plug-in passes the delayed dry signal: an exact copy.
    RunResult toFlac = runRenderer({folder / "in.wav", folder / "mid.flac", "--set", "Power=off"}, folder);
    ASSERT_EQ(toFlac.status, 0) << toFlac.err;
    EXPECT_EQ(slurp(folder / "mid.flac").compare(0, 4, "fLaC"), 0);
    RunResult toWav = runRenderer({folder / "mid.flac", folder / "out.wav", "--set", "Mix=0"}, folder);
    ASSERT_EQ(toWav.status, 0) << toWav.err;
    Audio out;
    ASSERT_TRUE(readWav(folder / "out.wav", out));
    EXPECT_EQ(out.formatTag, 1);
    EXPECT_EQ(out.bits, 16);  // the FLAC's 16 bits carried over
    ASSERT_EQ(out.frames(), in.frames());
    Audio expected;
    ASSERT_TRUE(readWav(folder / "in.wav", expected));
    EXPECT_EQ(out.samples, expected.samples);
}

TEST(RenderAudio, MonoInputAt48kHz)
{
    TempFolder folder;
    const int rate = 48000;
    writeWav(folder / "in.wav", clicks(1, rate, rate / 2, {{2000, 0.8f}}));
    RunResult dry = runRenderer({folder / "in.wav", folder / "dry.wav", "--set", "Mix=0"}, folder);
    ASSERT_EQ(dry.status, 0) << dry.err;
    Audio out;
    ASSERT_TRUE(readWav(folder / "dry.wav", out));
    EXPECT_EQ(out.rate, rate);
    ASSERT_EQ(out.channels, 2);  // the mono input feeds both plug-in inputs
    ASSERT_EQ(out.frames(), (size_t)rate / 2);
    EXPECT_EQ(out.at(2000, 0), 0.8f);
    EXPECT_EQ(out.at(2000, 1), 0.8f);
    EXPECT_EQ(onset(out, 1e-6f), 2000u);

    RunResult wet = runRenderer({folder / "in.wav", folder / "wet.wav"}, folder);
    ASSERT_EQ(wet.status, 0) << wet.err;
    ASSERT_TRUE(readWav(folder / "wet.wav", out));
    EXPECT_EQ(out.rate, rate);
    EXPECT_GT(out.frames(), (size_t)rate);  // a tail well past the input
    EXPECT_GT(dbfs(rms(out, 2000, 2000 + rate / 10)), -70.0);
    EXPECT_LT(rms(out, 0, 1990), 1e-4);  // nothing before the click
}

TEST(RenderAudio, ImpulseResponseStartsAtThePreDelayAndDecaysWithTheLength)
{
    TempFolder folder;
    // "PreDel" 0.25 is (int)(0.25 × 8819) = 2204 samples at 44.1 kHz.
    RunResult shorter = runRenderer({"--ir", folder / "short.wav", "--plot", folder / "short.png", "--set",
                                     "Length=0.1", "--set", "PreDel=0.25"},
                                    folder);
    ASSERT_EQ(shorter.status, 0) << shorter.err;
    RunResult longer = runRenderer({"--ir", folder / "long.wav", "--set", "Length=0.3"}, folder);
    ASSERT_EQ(longer.status, 0) << longer.err;

    Audio ir;
    ASSERT_TRUE(readWav(folder / "short.wav", ir));
    EXPECT_EQ(ir.formatTag, 3);
    ASSERT_EQ(ir.channels, 2);
    // Nothing before the pre-delay; the plate's own build-up (sparse noise through its
    // low-pass and dispersion) reaches 1 % of the peak within a few milliseconds after it,
    // how soon depending on the noise of the impulse.
    size_t start = onset(ir, (float)(peak(ir) * 1e-2));
    EXPECT_GE(start, 2204u);
    EXPECT_LE(start, 2204u + 441);

    // The picture: a PNG of 1400 × 1000.
    std::string png = slurp(folder / "short.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.compare(1, 3, "PNG"), 0);
    auto be32 = [&](size_t at) {
        return (uint32_t)(unsigned char)png[at] << 24 | (uint32_t)(unsigned char)png[at + 1] << 16 |
               (uint32_t)(unsigned char)png[at + 2] << 8 | (uint32_t)(unsigned char)png[at + 3];
    };
    EXPECT_EQ(be32(16), 1400u);
    EXPECT_EQ(be32(20), 1000u);

    // The printed RT60 agrees with an independent estimate from the file, per channel.
    auto [left, right] = printedRt60(shorter.out);
    EXPECT_NEAR(left, windowDecayTime(ir, 0), 0.2 * left);
    EXPECT_NEAR(right, windowDecayTime(ir, 1), 0.2 * right);
    // Every ramp of the plate scales with its length: (0.3 × 310000 + 11025) / (0.1 × 310000
    // + 11025) = 2.475 between the two settings.
    auto [longLeft, longRight] = printedRt60(longer.out);
    EXPECT_NEAR(longLeft / left, 2.475, 0.5);
    EXPECT_NEAR(longRight / right, 2.475, 0.5);
}

TEST(RenderAudio, ScreenshotOfTheEditor)
{
    TempFolder folder;
    RunResult run = runRenderer({"--screenshot", folder / "editor.png", "--set", "PlateType=Elastic"}, folder);
    if (run.status != 0 && run.err.find("does not answer") != std::string::npos)
        GTEST_SKIP() << "this build's editor does not draw headless: " << run.err;
    ASSERT_EQ(run.status, 0) << run.err;
    std::string png = slurp(folder / "editor.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.compare(1, 3, "PNG"), 0);
    EXPECT_EQ((unsigned char)png[18] << 8 | (unsigned char)png[19], 900);
    EXPECT_EQ((unsigned char)png[22] << 8 | (unsigned char)png[23], 851);
}

TEST(RenderAudio, DemoWritesTheDryAndWetFilesAndTheirPictures)
{
    TempFolder folder;
    std::string demo = folder / "demo";
    RunResult run = runRenderer({"--demo", demo}, folder);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Demo written to " + demo), std::string::npos) << run.out;
    Audio dry;
    ASSERT_TRUE(readWav(demo + "/dry.wav", dry));
    EXPECT_GT(dry.frames(), 3u * 44100);
    for (const char* plate : {"standard-steel", "thick-steel", "elastic"}) {
        Audio wet, ir;
        ASSERT_TRUE(readWav(demo + "/" + plate + ".wav", wet)) << plate;
        EXPECT_GT(wet.frames(), dry.frames()) << plate;  // the tail
        EXPECT_GT(dbfs(rms(wet, 0, dry.frames())), -60.0) << plate;
        ASSERT_TRUE(readWav(demo + "/" + plate + "-ir.wav", ir)) << plate;
        EXPECT_GT(ir.frames(), 4410u) << plate;
        EXPECT_EQ(slurp(demo + "/" + plate + ".png").compare(1, 3, "PNG"), 0) << plate;
    }
    // Three measured decay times, the thick plate's the shortest.
    std::vector<double> rt60;
    for (size_t at = run.out.find("RT60 left "); at != std::string::npos; at = run.out.find("RT60 left ", at + 1))
        rt60.push_back(printedRt60(run.out.substr(at)).first);
    ASSERT_EQ(rt60.size(), 3u) << run.out;
    EXPECT_LT(rt60[1], rt60[0]);
    std::vector<std::string> files = TempFolder::entries(demo);  // those, maybe editor.png, nothing else
    files.erase(std::remove(files.begin(), files.end(), "editor.png"), files.end());
    EXPECT_EQ(files.size(), 10u);
}

TEST(RenderAudio, BenchPrintsTheCostForThreeBlockSizes)
{
    TempFolder folder;
    RunResult run = runRenderer({"--bench", "0.2"}, folder);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* size : {"block   64:", "block  512:", "block 4096:"}) {
        size_t at = run.out.find(size);
        ASSERT_NE(at, std::string::npos) << run.out;
        double ms = 0;
        EXPECT_EQ(std::sscanf(run.out.c_str() + at + std::strlen(size), "%lf ms CPU", &ms), 1);
        EXPECT_GT(ms, 0.0);
    }
}
