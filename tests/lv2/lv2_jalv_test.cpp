// jalv, the LV2 reference host, running the installed Lustrana.lv2 on a JACK server of the
// test's own (the dummy driver, 48 kHz, periods of 1024): the console jalv processes and
// answers a change of "Length" through its worker thread; jalv.gtk3 under Xvfb embeds the
// editor at its size, and a click on the plate and a knob drag reach the plug-in. The
// output is recorded with jack_rec, in real time.
#include "lv2/support/Lv2Host.h"
#include "lv2/support/SoundFile.h"
#include "lv2/support/Subprocess.h"
#include "tests/support/window_picture.h"
#include "support/Engine.h"
#include "tests/support/editor_xserver.h"
#include "tests/support/fake_input.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRate = 48000;
const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";

void sleepFor(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Level of 10 ms windows, dB.
std::vector<double> envelope(const std::vector<float>& x)
{
    std::vector<double> e;
    for (size_t at = 0; at + 480 <= x.size(); at += 480)
        e.push_back(energyDb(x, at, at + 480));
    return e;
}

// The first window from `from` on that is 30 dB above the one 50 ms before it.
int onset(const std::vector<double>& e, size_t from)
{
    for (size_t i = std::max<size_t>(from, 5); i < e.size(); i++)
        if (e[i] > e[i - 5] + 30.0)
            return (int)i;
    return -1;
}

class JackServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* program : {"jackd", "jack_lsp", "jack_rec"})
            if (!haveProgram(program))
                GTEST_SKIP() << program << " (Debian jackd2) is not installed";
        name = "lustrana" + std::to_string(getpid());
        dir = std::string(LUSTRANA_BINARY_DIR) + "/lv2-jalv";
        std::filesystem::create_directories(dir);
        environment = {"JACK_DEFAULT_SERVER=" + name, "LV2_PATH=" + installedLv2Directory(),
                       "JACK_NO_AUDIO_RESERVATION=1"};
        ASSERT_TRUE(jackd.start({"jackd", "--no-realtime", "-n", name, "-d", "dummy", "-r", std::to_string(kRate),
                                 "-p", "1024"},
                                environment, dir + "/jackd.log"));
        ASSERT_TRUE(waitFor([&] { return runCommand({"jack_lsp"}, environment, 5).status == 0; }, 10))
            << jackd.log();
    }

    template <typename Condition>
    static bool waitFor(Condition ready, double seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (ready())
                return true;
            sleepFor(0.1);
        }
        return false;
    }

    bool hasPort(const std::string& port)
    {
        const CommandResult r = runCommand({"jack_lsp"}, environment, 5);
        return r.status == 0 && r.output.find(port) != std::string::npos;
    }

    // Records the client's two outputs for `seconds` in the background.
    void record(BackgroundProcess& recorder, const std::string& client, int seconds, const std::string& file)
    {
        ASSERT_TRUE(recorder.start({"jack_rec", "-f", file, "-d", std::to_string(seconds), "-b", "24",
                                    client + ":out_l", client + ":out_r"},
                                   environment, file + ".log"));
    }

    static void finish(BackgroundProcess& recorder, double seconds)
    {
        waitFor([&] { return !recorder.running(); }, seconds);
    }

    std::string name;                       // the JACK server's name
    std::string dir;                        // scratch files
    std::vector<std::string> environment;   // for every JACK client
    BackgroundProcess jackd;
};

} // namespace

TEST_F(JackServer, JalvProcessesAndAnswersAChangeThroughItsWorker)
{
    if (!haveProgram("jalv"))
        GTEST_SKIP() << "jalv is not installed";
    const std::string client = "lustrana_console";
    BackgroundProcess jalv;
    ASSERT_TRUE(jalv.start({"jalv", "-n", client, "-x", "-c", "mix=1", "-c", "length=0.2", "-c", "modmode=0",
                            lv2uri::kPlugin},
                           environment, dir + "/jalv.log"));
    ASSERT_TRUE(waitFor([&] { return hasPort(client + ":out_l"); }, 20)) << jalv.log();
    BackgroundProcess recorder;
    const std::string file = dir + "/jalv.wav";
    record(recorder, client, 6, file);  // room for a busy machine's delays
    sleepFor(0.8);
    ASSERT_TRUE(jalv.write("ping = 1\n"));  // the plate click, through its trigger port
    sleepFor(1.5);
    ASSERT_TRUE(jalv.write("length = 0\nping = 0\n"));  // a 0.25 s plate, built by the worker
    sleepFor(0.6);
    ASSERT_TRUE(jalv.write("ping = 1\n"));
    finish(recorder, 10);
    jalv.stop();

    StereoBuffer out;
    int rate = 0;
    ASSERT_TRUE(readWav(file, out, rate)) << recorder.log();
    EXPECT_EQ(rate, kRate);
    const std::vector<double> e = envelope(out.left);
    const int first = onset(e, 0);
    ASSERT_GE(first, 0) << "the first ping is heard";
    const int second = onset(e, first + 100);
    ASSERT_GE(second, 0) << "the second ping is heard";
    // "Length" 0.2: a 1.66 s plate, about 24 dB down 0.3 s on; "Length" 0: 0.25 s, gone
    const double firstDrop = e[first + 1] - e[first + 30];
    const double secondDrop = e[second + 1] - e[second + 30];
    std::printf("jalv: pings at %.2f s and %.2f s, 0.3 s later %.1f dB and %.1f dB down\n", first * 0.01,
                second * 0.01, firstDrop, secondDrop);
    EXPECT_GT(firstDrop, 10.0);
    EXPECT_LT(firstDrop, 40.0);
    EXPECT_GT(secondDrop, firstDrop + 20.0) << "the worker built the short plate";
    EXPECT_NE(jalv.log().find("ping = 1.000000"), std::string::npos) << jalv.log();
}

namespace {

// The deepest viewable window of this size under w (the host's windows around the editor
// may have its size as well).
Window findSized(Display* d, Window w, unsigned int width, unsigned int height)
{
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; i++)
            found = findSized(d, children[i], width, height);
        if (children)
            XFree(children);
    }
    XWindowAttributes a;
    if (!found && XGetWindowAttributes(d, w, &a) && (unsigned)a.width == width && (unsigned)a.height == height &&
        a.map_state == IsViewable)
        found = w;
    return found;
}

} // namespace

TEST_F(JackServer, JalvGtk3EmbedsTheEditorAndItsClicksReachThePlugin)
{
#ifndef LUSTRANA_HAVE_XTEST
    GTEST_SKIP() << "built without the XTest library";
#else
    if (!haveProgram("jalv.gtk3"))
        GTEST_SKIP() << "jalv.gtk3 (Debian jalv) is not installed";
    if (XvfbServer::findProgram().empty())
        GTEST_SKIP() << "Xvfb is not installed";
    XvfbServer x;
    std::string error;
    ASSERT_TRUE(x.start(error)) << error;
    Display* display = XOpenDisplay(x.displayName().c_str());
    ASSERT_NE(display, nullptr);
    const std::string client = "lustrana_gtk";
    std::vector<std::string> env = environment;
    env.push_back("DISPLAY=" + x.displayName());
    env.push_back("NO_AT_BRIDGE=1");
    // the editor's zoom from nobody's remembered choice and no LUSTRANA_SCALE
    env.push_back("XDG_CONFIG_HOME=" + dir + "/config");
    env.push_back("LUSTRANA_SCALE=");
    BackgroundProcess jalv;
    // jalv.gtk3 1.6.6 gives the short option -n to both --no-menu and --jack-name; it
    // takes it as the JACK name
    ASSERT_TRUE(jalv.start({"jalv.gtk3", "--no-menu", "-n", client, "-x", "-c", "modmode=0", lv2uri::kPlugin}, env,
                           dir + "/jalv-gtk3.log"));
    Window editor = 0;
    EXPECT_TRUE(waitFor([&] { return (editor = findSized(display, DefaultRootWindow(display), 900, 851)) != 0; }, 20))
        << jalv.log();
    if (!editor) {
        XCloseDisplay(display);
        return;
    }
    // the editor's window inside jalv's: embedded, not a window of its own
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, editor, &root, &parent, &children, &count);
    if (children)
        XFree(children);
    EXPECT_NE(parent, root);
    ASSERT_TRUE(waitFor([&] { return hasPort(client + ":out_l"); }, 10)) << jalv.log();
    sleepFor(0.5);  // a few idle calls: the editor has drawn itself
    EXPECT_TRUE(writeWindowPng(display, editor, 900, 851, kArtifacts + "lv2-jalv-gtk3.png"));

    auto moveTo = [&](int ex, int ey) {
        fakePointerTo(display, editor, ex, ey);
        sleepFor(0.05);
    };
    auto button = [&](bool down) {
        fakeButton(display, 1, down);
        sleepFor(0.1);
    };
    BackgroundProcess recorder;
    const std::string file = dir + "/jalv-gtk3.wav";
    record(recorder, client, 5, file);
    sleepFor(0.8);
    moveTo(600, 150);  // the plate
    button(true);
    button(false);
    sleepFor(1.5);
    moveTo(802, 616);  // VOLUME, 200 pixels down: to 0
    button(true);
    for (int step = 1; step <= 20; step++)
        moveTo(802, 616 + 10 * step);
    button(false);
    sleepFor(0.6);
    moveTo(600, 150);  // the plate again: no reverberation at volume 0
    button(true);
    button(false);
    finish(recorder, 12);
    jalv.stop();
    XCloseDisplay(display);

    StereoBuffer out;
    int rate = 0;
    ASSERT_TRUE(readWav(file, out, rate)) << recorder.log();
    const std::vector<double> e = envelope(out.left);
    const int first = onset(e, 0);
    ASSERT_GE(first, 0) << "the click on the plate is heard";
    double loudest = -300, later = -300;
    for (int i = first; i < first + 20 && i < (int)e.size(); i++)
        loudest = std::max(loudest, e[i]);
    for (size_t i = first + 200; i < e.size(); i++)  // after the drag, the second click
        later = std::max(later, e[i]);
    std::printf("jalv.gtk3: click heard at %.2f s, %.1f dB; after the drag at most %.1f dB\n", first * 0.01,
                loudest, later);
    EXPECT_LT(later, loudest - 60.0) << "the drag set the volume to 0";
    EXPECT_EQ(onset(e, first + 100), -1);

    // jalv 1.6.6 gives no ui:scaleFactor: the desktop's Xft.dpi of 192 zooms the editor to 200 %
    display = XOpenDisplay(x.displayName().c_str());
    ASSERT_NE(display, nullptr);
    const std::string resources = "Xft.dpi:\t192\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.c_str()), (int)resources.size());
    XSync(display, False);
    BackgroundProcess zoomed;
    ASSERT_TRUE(zoomed.start({"jalv.gtk3", "--no-menu", "-n", client + "_2x", "-x", lv2uri::kPlugin}, env,
                             dir + "/jalv-gtk3-2x.log"));
    editor = 0;
    EXPECT_TRUE(waitFor([&] { return (editor = findSized(display, DefaultRootWindow(display), 1800, 1702)) != 0; }, 20))
        << zoomed.log();
    if (editor) {
        sleepFor(0.5);
        EXPECT_TRUE(writeWindowPng(display, editor, 900, 851, kArtifacts + "lv2-jalv-gtk3-200.png"));
    }
    zoomed.stop();
    XCloseDisplay(display);
#endif
}
