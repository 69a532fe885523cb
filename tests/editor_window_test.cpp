// The editor in a real X window: our test host loads the plug-in file, opens the editor in a
// top-level window of an Xvfb server started here, keeps calling effEditIdle, and clicks
// with XTest as a user would. A screenshot of the window is written as a build artefact.
#include "tests/support/editor_settings.h"
#include "tests/support/editor_xserver.h"
#include "tests/support/fake_input.h"
#include "tests/support/window_picture.h"
#include "tools/VstHost.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";

class EditorWindow : public RealWindowTest {
protected:
    void SetUp() override
    {
#ifndef LUSTRANA_HAVE_XTEST
        GTEST_SKIP() << "built without the XTest library";
#endif
        requireServer();
        if (IsSkipped() || HasFatalFailure())
            return;
        isolateEditorSettings();
        display = XOpenDisplay(server->displayName().c_str());
        ASSERT_NE(display, nullptr);
        library = std::make_unique<VstLibrary>(LUSTRANA_PLUGIN_PATH);
    }

    void TearDown() override
    {
        for (Window w : windows)
            XDestroyWindow(display, w);
        if (display)
            XCloseDisplay(display);
    }

    // A top-level window of the host, mapped at the screen's origin.
    Window hostWindow(int x = 0, int y = 0)
    {
        Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 900, 851, 0, 0, 0x202020);
        XMapWindow(display, w);
        XSync(display, False);
        windows.push_back(w);
        return w;
    }

    // Calls effEditIdle on every instance for about `ms` milliseconds, as a host's timer does.
    void pump(const std::vector<VstInstance*>& instances, int ms = 100)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            XSync(display, False);
            for (VstInstance* i : instances)
                i->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < end);
    }

    int childCount(Window w)
    {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, w, &root, &parent, &children, &count);
        if (children)
            XFree(children);
        return (int)count;
    }

    void moveTo(Window w, int x, int y) { fakePointerTo(display, w, x, y); }
    void button(bool down) { fakeButton(display, 1, down); }

    void click(VstInstance& inst, Window w, int x, int y)
    {
        moveTo(w, x, y);
        pump({&inst}, 30);
        button(true);
        pump({&inst}, 30);
        button(false);
        pump({&inst}, 60);
    }

    uint32_t windowPixel(Window w, int x, int y) { return ::windowPixel(display, w, x, y); }

    bool writeScreenshot(Window w, const std::string& path) { return writeWindowPng(display, w, 900, 851, path); }

    Display* display = nullptr;                  // the host's own connection
    std::vector<Window> windows;                 // host windows to destroy
    std::unique_ptr<VstLibrary> library;         // the plug-in file
};

} // namespace

TEST_F(EditorWindow, OpensInTheHostWindowAndFollowsTheMouse)
{
    auto inst = library->instantiate();
    ASSERT_TRUE(inst);
    Window top = hostWindow();
    EXPECT_EQ(inst->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)0x3FFFFF), 0) << "no such window";
    // some hosts pass their Display* as value: the editor uses a connection of its own anyway
    ASSERT_EQ(inst->dispatch(effEditOpen, 0, (VstIntPtr)display, (void*)(uintptr_t)top), 1);
    EXPECT_EQ(inst->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)top), 1);
    pump({inst.get()}, 300);
    EXPECT_EQ(childCount(top), 1) << "a second open makes no second window";
    uint32_t panel = windowPixel(top, 450, 720);
    EXPECT_GT((panel >> 16) & 0xFF, 180u) << "the cream panel is on screen";

    // drag the GAIN knob 50 pixels up: a quarter of the range
    inst->setParameter(0, 0.3f);
    pump({inst.get()}, 100);
    inst->clearCalls();
    moveTo(top, 89, 612);
    pump({inst.get()}, 30);
    button(true);
    for (int step = 1; step <= 10; step++) {
        moveTo(top, 89, 612 - 5 * step);
        pump({inst.get()}, 15);
    }
    button(false);
    pump({inst.get()}, 100);
    EXPECT_NEAR(inst->getParameter(0), 0.55f, 1e-5);
    auto begins = inst->callsOf(audioMasterBeginEdit), ends = inst->callsOf(audioMasterEndEdit);
    ASSERT_EQ(begins.size(), 1u);
    EXPECT_EQ(begins[0].index, 0);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_FALSE(inst->callsOf(audioMasterAutomate).empty());

    // the routing menu: one click opens its list over the window, a second click chooses
    uint32_t underList = windowPixel(top, 450, 598);
    click(*inst, top, 450, 522);
    EXPECT_NE(windowPixel(top, 450, 598), underList) << "the list is drawn over the meter";
    std::filesystem::create_directories(kArtifacts);
    writeScreenshot(top, kArtifacts + "editor-xvfb-menu.png");
    click(*inst, top, 450, 534 + 4 + 24 * 2 + 12);  // the third entry
    EXPECT_EQ(inst->getParameter(12), 0.2f);
    pump({inst.get()}, 100);
    EXPECT_EQ(windowPixel(top, 450, 598), underList) << "the list is gone";

    EXPECT_TRUE(writeScreenshot(top, kArtifacts + "editor-xvfb.png"));
    inst->dispatch(effEditClose);
    XSync(display, False);
    EXPECT_EQ(childCount(top), 0);
}

TEST_F(EditorWindow, OpenCloseRepeatedlyAndSeveralInstances)
{
    auto a = library->instantiate();
    auto b = library->instantiate();
    ASSERT_TRUE(a && b);
    Window wa = hostWindow(0, 0), wb = hostWindow(50, 30);
    for (int round = 0; round < 3; round++) {
        ASSERT_EQ(a->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)wa), 1);
        ASSERT_EQ(b->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)wb), 1);
        pump({a.get(), b.get()}, 80);
        EXPECT_EQ(childCount(wa), 1);
        EXPECT_EQ(childCount(wb), 1);
        if (round == 1) {  // close b with its menu list open
            XRaiseWindow(display, wb);
            click(*b, wb, 614, 405);
        }
        b->dispatch(effEditClose);
        a->dispatch(effEditClose);
        XSync(display, False);
        EXPECT_EQ(childCount(wa), 0);
    }
    // the host destroys its window before closing the editor: no X error ends the process
    ASSERT_EQ(a->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)wa), 1);
    pump({a.get()}, 50);
    XDestroyWindow(display, wa);
    windows.erase(windows.begin());
    XSync(display, False);
    pump({a.get()}, 50);
    a->dispatch(effEditClose);
}

TEST_F(EditorWindow, AClickOnThePlateSendsOneImpulseThroughThePlugin)
{
    auto inst = library->instantiate();
    ASSERT_TRUE(inst);
    inst->setSampleRate(44100.0f);
    inst->dispatch(effMainsChanged, 0, 1);
    inst->setParameter(16, 1.0f);  // power on
    Window top = hostWindow();
    ASSERT_EQ(inst->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)top), 1);
    pump({inst.get()}, 100);
    const int block = 512;
    std::vector<float> left(block), right(block);
    auto run = [&](int blocks) {
        float peak = 0;
        for (int b = 0; b < blocks; b++) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            inst->processStereo(left.data(), right.data(), block);
            for (int i = 0; i < block; i++)
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        }
        return peak;
    };
    // The first plate impulse is synthesised on the effect's timer (every 500 ms); a ping
    // sent before it was swapped in passes an empty plate. So: silence, a click, and a look
    // at the output, a few times at most.
    float before = 0, after = 0;
    bool heard = false;
    for (int attempt = 0; attempt < 6 && !heard; attempt++) {
        for (int i = 0; i < 10; i++) {
            run(8);
            pump({inst.get()}, 50);
        }
        before = run(20);
        click(*inst, top, 600, 150);
        after = run(100);
        heard = after > 1e-4f && after > 100 * before;
        if (before == 0.0f && after == 0.0f)  // not even dither on the dry path: no engine
            break;
    }
    inst->dispatch(effEditClose);
    if (before == 0.0f && after == 0.0f)
        GTEST_SKIP() << "the plug-in's audio engine outputs nothing yet";
    EXPECT_TRUE(heard) << "peak before the click " << before << ", after " << after;
}

namespace {

int openFileCount()
{
    return (int)std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                              std::filesystem::directory_iterator());
}

} // namespace

// 500 open/close cycles from a host that never calls effEditIdle: every cycle gives back its
// X connection and window.
TEST_F(EditorWindow, FiveHundredCyclesWithoutIdle)
{
    auto fx = library->instantiate();
    ASSERT_TRUE(fx);
    Window parent = hostWindow(0, 0);
    fx->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)parent);
    fx->dispatch(effEditClose);
    const int files = openFileCount();
    for (int cycle = 0; cycle < 500; cycle++) {
        ASSERT_EQ(fx->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)parent), 1) << cycle;
        fx->setParameter(0, (float)(cycle % 100) / 100.0f);  // automation while open, no idle
        fx->dispatch(effEditClose);
    }
    XSync(display, False);
    EXPECT_EQ(childCount(parent), 0);
    EXPECT_EQ(openFileCount(), files);
}
