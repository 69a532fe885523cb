// Command-line LV2 hosts render a file through the installed Lustrana.lv2: lv2apply (no
// features, one frame per run) and lv2proc (blocks of 512). Neither offers a worker, so the
// plate is built inside run; the output must be the VST 2.4 plug-in's offline render sample
// for sample, and the click must ring with the plate's measured decay time.
#include "lv2/support/Lv2Host.h"
#include "lv2/support/SoundFile.h"
#include "lv2/support/Subprocess.h"
#include "tools/render/ReverbAnalysis.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Values = std::vector<std::pair<int, float>>;

constexpr int kRate = 44100;
// Measuring settings: solid state, the filters open, all wet; the click at 2.0 keeps the
// decay 50 dB above the plug-in's own noise.
const Values kValues = {{kGain, 1.0f}, {kInputStage, 0.1f}, {kMix, 1.0f}, {kHipass, 0.0f}, {kLowpass, 1.0f}};

std::string scratch(const std::string& name)
{
    const std::string dir = std::string(LUSTRANA_BINARY_DIR) + "/lv2-hosts/" + name;
    std::filesystem::create_directories(dir);
    return dir;
}

StereoBuffer paddedClick()
{
    StereoBuffer in(5 * kRate);  // the 3.76 s plate and the latency fit
    in.left[0] = in.right[0] = 2.0f;
    return in;
}

std::string number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", (double)v);
    return text;
}

// The output, with the 2048 samples of latency before it removed, against the references.
void checkRender(const char* host, const StereoBuffer& out, size_t latency)
{
    const StereoBuffer in = paddedClick();
    ASSERT_EQ(out.size(), in.size()) << "the host writes as many frames as it reads";
    const StereoBuffer vst = renderVst(in, kValues, {});
    size_t differ = 0;
    for (size_t i = 0; i + latency < out.size(); i++)
        if (!(out.left[i] == vst.left[i + latency]) || !(out.right[i] == vst.right[i + latency]))
            differ++;
    EXPECT_EQ(differ, 0u) << "samples that differ from the VST 2.4 plug-in's offline render";
    std::vector<float> left(out.left.begin() + (2048 - latency), out.left.end());
    std::vector<float> right(out.right.begin() + (2048 - latency), out.right.end());
    const DecayAnalysis decay = analyseDecay(left, right, kRate);
    // "Standard Steel" at "Length" 0.5 measures 1.68 s (the README's table)
    std::printf("%s: RT60 %.2f s (left), %.2f s (right)\n", host, decay.channel[0].rt60, decay.channel[1].rt60);
    for (const ChannelDecay& c : decay.channel) {
        EXPECT_EQ(c.method, "T30");
        EXPECT_NEAR(c.rt60, 1.68, 0.12);
    }
}

} // namespace

TEST(Lv2Hosts, Lv2applyRendersAPaddedClickAsTheVst2PluginDoes)
{
    if (!haveProgram("lv2apply"))
        GTEST_SKIP() << "lv2apply (Debian lilv-utils) is not installed";
    const std::string dir = scratch("lv2apply");
    ASSERT_TRUE(writeFloatWav(dir + "/in.wav", paddedClick(), kRate));
    std::vector<std::string> argv = {"lv2apply", "-i", dir + "/in.wav", "-o", dir + "/out.wav"};
    for (const auto& [index, value] : kValues) {
        argv.push_back("-c");
        argv.push_back(lv2port::kParameterPorts[index].symbol);
        argv.push_back(number(value));
    }
    argv.push_back(lv2uri::kPlugin);
    const CommandResult r = runCommand(argv, {"LV2_PATH=" + installedLv2Directory()}, 120);
    ASSERT_EQ(r.status, 0) << r.output;
    StereoBuffer out;
    int rate = 0;
    ASSERT_TRUE(readWav(dir + "/out.wav", out, rate));
    EXPECT_EQ(rate, kRate);
    checkRender("lv2apply", out, 0);  // lv2apply does not compensate latency
}

TEST(Lv2Hosts, Lv2procRendersAPaddedClickAsTheVst2PluginDoes)
{
    if (!haveProgram("lv2proc"))
        GTEST_SKIP() << "lv2proc (Debian lv2proc) is not installed";
    const std::string dir = scratch("lv2proc");
    ASSERT_TRUE(writeFloatWav(dir + "/in.wav", paddedClick(), kRate));
    std::vector<std::string> argv = {"lv2proc", "-i", dir + "/in.wav", "-o", dir + "/out.wav", "-n", "512"};
    for (const auto& [index, value] : kValues) {
        argv.push_back("-c");
        argv.push_back(std::string(lv2port::kParameterPorts[index].symbol) + ":" + number(value));
    }
    argv.push_back(lv2uri::kPlugin);
    const CommandResult r = runCommand(argv, {"LV2_PATH=" + installedLv2Directory()}, 120);
    ASSERT_EQ(r.status, 0) << r.output;
    StereoBuffer out;
    int rate = 0;
    ASSERT_TRUE(readWav(dir + "/out.wav", out, rate));
    EXPECT_EQ(rate, kRate);
    // lv2proc 0.5.1 compensates only ports typed "a lv2:reportsLatency", which is a port
    // property and not a class: it does not compensate ours
    checkRender("lv2proc", out, 0);
}
