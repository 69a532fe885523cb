// lustrana-render's command line: the parameter listing, --set by name and menu text as the
// plug-in reads it back, and every way a run can fail: one line naming the problem, the
// right exit status, and no output file (not even a partial one) left behind.
#include "tests/render/RenderHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace render_test;

namespace {

// The row of --list for one parameter, split into its columns.
std::vector<std::string> listRow(const std::string& listing, const std::string& name)
{
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> columns;
        std::string word;
        while (words >> word)
            columns.push_back(word);
        if (columns.size() >= 4 && columns[1] == name)
            return columns;
    }
    return {};
}

} // namespace

TEST(RenderCommandLine, HelpExplainsTheOfflineRenderAndTheLatency)
{
    TempFolder folder;
    RunResult run = runRenderer({"--help"}, folder);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("--wait"), std::string::npos) << "the renderer no longer waits for the clock";
    for (const char* phrase : {"offline", "bit", "2048 samples", "-90 dBFS", "--set", "--demo", "--ir", "--plot",
                               "--screenshot", "--bench", "--format"})
        EXPECT_NE(run.out.find(phrase), std::string::npos) << phrase;
}

TEST(RenderCommandLine, ListShowsEveryParameterWithItsDisplayAndTheMenus)
{
    TempFolder folder;
    RunResult run = runRenderer({"--list"}, folder);
    ASSERT_EQ(run.status, 0) << run.err;
    const char* names[] = {"Gain", "Volume", "Width", "Hipass", "Lowpass", "PreDel", "Length", "Sound", "Tune",
                           "ModVel", "ModAmp", "Mix", "Mode", "ModMode", "PlateType", "InputStage", "Power"};
    for (int i = 0; i < 17; i++) {
        std::vector<std::string> row = listRow(run.out, names[i]);
        ASSERT_FALSE(row.empty()) << names[i];
        EXPECT_EQ(row[0], std::to_string(i));
    }
    // The display column is the plug-in's own text.
    EXPECT_EQ(listRow(run.out, "Volume")[3], "0.700");
    EXPECT_EQ(listRow(run.out, "Mode")[4], "\"Split");
    for (const char* entry : {"\"Stereo->Mono->Stereo\"", "\"Follow the source\"", "\"Pan\"", "\"Elastic\"",
                              "\"Solid State\""})
        EXPECT_NE(run.out.find(entry), std::string::npos) << entry;
}

TEST(RenderCommandLine, SetByNameAndByMenuTextReachesThePlugin)
{
    TempFolder folder;
    RunResult run = runRenderer({"--program", "3", "--set", "Mode=True Stereo", "--set", "PlateType=Thin Brass",
                                 "--set", "inputstage=solid state", "--set", "Gain=0.5", "--set", "ModMode=0.3",
                                 "--set", "Power=off", "--set", "Gain=0.25", "--list"},
                                folder);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("program 3", 0), 0u) << run.out;
    // Columns: index, name, value as read back, the plug-in's display, menu entry.
    EXPECT_EQ(listRow(run.out, "Mode")[3], "0.200");
    EXPECT_EQ(listRow(run.out, "PlateType")[3], "0.300");
    EXPECT_EQ(listRow(run.out, "PlateType")[4], "\"Thin");
    EXPECT_EQ(listRow(run.out, "InputStage")[3], "0.100");
    EXPECT_EQ(listRow(run.out, "ModMode")[4], "\"Pan\"");
    EXPECT_EQ(listRow(run.out, "Power")[3], "0.000");
    EXPECT_EQ(listRow(run.out, "Gain")[3], "0.250");  // the last assignment wins
}

TEST(RenderCommandLine, EveryErrorNamesTheProblemAndLeavesNoOutput)
{
    TempFolder folder;
    writeWav(folder / "in.wav", silence(2, 44100, 4410));
    writeWav(folder / "three.wav", silence(3, 44100, 4410));
    writeWav(folder / "fast.wav", silence(2, 8000, 800));
    std::ofstream(folder / "text.wav") << "this is not audio\n";
    const std::string in = folder / "in.wav", out = folder / "out.wav";
    struct Case {
        std::vector<std::string> args;  // command line
        int status;                     // expected exit status
        std::string message;            // expected in the error line
    };
    const std::vector<Case> cases = {
        {{in, out, "--set", "Colour=1"}, 2, "unknown parameter 'Colour'"},
        {{in, out, "--set", "Gain=loud"}, 2, "'loud' is not a number"},
        {{in, out, "--set", "PlateType=Gold"}, 2, "neither a value 0 … 1 nor one of"},
        {{in, out, "--set", "Mix=1.5"}, 2, "outside 0 … 1"},
        {{in, out, "--set", "Mix"}, 2, "expects NAME=VALUE"},
        {{in, out, "--block", "0"}, 2, "--block 0 is outside"},
        {{in, out, "--wait", "1"}, 2, "unknown option --wait"},
        {{in, out, "--format", "mp3"}, 2, "--format must be"},
        {{in, out, "--loud"}, 2, "unknown option --loud"},
        {{in}, 2, "give both IN and OUT"},
        {{}, 2, "nothing to do"},
        {{folder / "missing.wav", out}, 1, "missing.wav: No such file or directory"},
        {{folder / "text.wav", out}, 1, "text.wav"},
        {{folder / "three.wav", out}, 1, "3 channels"},
        {{folder / "fast.wav", out}, 1, "sample rate 8000"},
        {{in, folder / "no/such/folder/out.wav"}, 1, "cannot write"},
        {{in, out, "--plugin", folder / "none.so"}, 1, "no plug-in at"},
        {{in, out, "--plugin", folder / "text.wav"}, 1, "cannot load"},
    };
    for (const Case& c : cases) {
        RunResult run = runRenderer(c.args, folder);
        std::string context = c.args.empty() ? "(no arguments)" : c.args.back();
        EXPECT_EQ(run.status, c.status) << context << ": " << run.err;
        EXPECT_EQ(lineCount(run.err), 1) << context << ": " << run.err;
        EXPECT_EQ(run.err.rfind("lustrana-render: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << context << ": " << run.err;
        EXPECT_EQ(folder.files(), (std::vector<std::string>{"fast.wav", "in.wav", "text.wav", "three.wav"}))
            << context;
    }
}

TEST(RenderCommandLine, AnInterruptedRenderLeavesNoFileBehind)
{
    TempFolder folder;
    writeWav(folder / "in.wav", silence(2, 44100, 44100));
    // An hour of tail: still rendering when the signal arrives.
    pid_t pid = startRenderer({folder / "in.wav", folder / "out.wav", "--tail", "3600"}, folder);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_TRUE(folder.files().size() > 3u) << "the render should be writing by now";
    kill(pid, SIGINT);
    RunResult run = finishRenderer(pid, folder);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
    EXPECT_EQ(folder.files(), std::vector<std::string>{"in.wav"});
}
