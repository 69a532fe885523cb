// The editor at every zoom, in a real X window: our test host loads the plug-in file, sizes
// its window from effEditGetRect, resizes it when the editor asks (audioMasterSizeWindow),
// and clicks and drags with XTest in window pixels. Also: where the zoom comes from
// (LUSTRANA_SCALE, Xft.dpi, the remembered choice), and memory and time over repeated opens.
#include "tests/support/editor_settings.h"
#include "tests/support/editor_xserver.h"
#include "tests/support/fake_input.h"
#include "tests/support/window_picture.h"
#include "tools/VstHost.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";
const double kZooms[] = {0.75, 1.0, 1.25, 1.5, 2.0};

int pixels(double units, double zoom) { return (int)std::lround(units * zoom); }

class EditorZoom : public RealWindowTest {
protected:
    void SetUp() override
    {
#ifndef LUSTRANA_HAVE_XTEST
        GTEST_SKIP() << "built without the XTest library";
#endif
        requireServer();
        if (IsSkipped() || HasFatalFailure())
            return;
        settings = isolateEditorSettings();
        display = XOpenDisplay(server->displayName().c_str());
        ASSERT_NE(display, nullptr);
        setResources("");
        library = std::make_unique<VstLibrary>(LUSTRANA_PLUGIN_PATH);
    }

    void TearDown() override
    {
        if (!display)
            return;
        setResources("");
        for (Window w : windows)
            XDestroyWindow(display, w);
        XCloseDisplay(display);
    }

    // What xrdb -load does: the resource text becomes the root window's RESOURCE_MANAGER.
    void setResources(const std::string& text)
    {
        Window root = DefaultRootWindow(display);
        if (text.empty())
            XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
        else
            XChangeProperty(display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text.c_str()), (int)text.size());
        XSync(display, False);
    }

    std::string configFile() const { return settings + "/lustrana/editor.conf"; }
    void writeConfig(const std::string& text)
    {
        std::filesystem::create_directories(settings + "/lustrana");
        std::ofstream(configFile()) << text;
    }

    // The rectangle the editor reports now, as width × height.
    static std::pair<int, int> rectOf(VstInstance& inst)
    {
        ERect* r = nullptr;
        if (inst.dispatch(effEditGetRect, 0, 0, &r) != 1 || !r)
            return {0, 0};
        return {r->right - r->left, r->bottom - r->top};
    }

    // A host window of the editor's size that follows the editor's resize requests.
    Window openIn(VstInstance& inst)
    {
        auto [w, h] = rectOf(inst);
        Window top = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, w, h, 0, 0, 0x202020);
        XMapWindow(display, top);
        XSync(display, False);
        windows.push_back(top);
        inst.sizeWindow = [this, top](int width, int height) {
            XResizeWindow(display, top, width, height);
            XSync(display, False);
            return true;
        };
        EXPECT_EQ(inst.dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)top), 1);
        pump(inst, 150);
        return top;
    }

    void pump(VstInstance& inst, int ms)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            XSync(display, False);
            inst.dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < end);
    }

    Window child(Window w)
    {
        Window root, parent, *children = nullptr, first = 0;
        unsigned int count = 0;
        XQueryTree(display, w, &root, &parent, &children, &count);
        if (children) {
            first = count ? children[0] : 0;
            XFree(children);
        }
        return first;
    }

    std::pair<int, int> sizeOf(Window w)
    {
        XWindowAttributes a{};
        if (!w || !XGetWindowAttributes(display, w, &a))
            return {0, 0};
        return {a.width, a.height};
    }

    void moveTo(Window w, int x, int y) { fakePointerTo(display, w, x, y); }
    void button(int which, bool down) { fakeButton(display, which, down); }

    void click(VstInstance& inst, Window w, int x, int y, int which = 1)
    {
        moveTo(w, x, y);
        pump(inst, 20);
        button(which, true);
        pump(inst, 20);
        button(which, false);
        pump(inst, 40);
    }

    // The window's picture as a PNG build artefact.
    bool saveWindow(Window w, const std::string& name)
    {
        auto [width, height] = sizeOf(w);
        return writeWindowPng(display, w, width, height, kArtifacts + name);
    }

    uint32_t windowPixel(Window w, int x, int y) { return ::windowPixel(display, w, x, y); }

    std::string settings;                        // XDG_CONFIG_HOME of this test
    Display* display = nullptr;                  // the host's own connection
    std::vector<Window> windows;                 // host windows to destroy
    std::unique_ptr<VstLibrary> library;         // the plug-in file
};

} // namespace

// At each zoom: the rectangle and the child window, a knob drag worth the same value as at
// 100 %, UP and DOWN, and the right-click menu, whose next entry resizes host and window.
TEST_F(EditorZoom, EveryZoomIsTheWholeEditorScaled)
{
    for (int i = 0; i < 5; i++) {
        const double z = kZooms[i];
        SCOPED_TRACE("zoom " + std::to_string(z));
        std::filesystem::remove(configFile());
        setenv("LUSTRANA_SCALE", std::to_string(z).c_str(), 1);
        auto inst = library->instantiate();
        ASSERT_TRUE(inst);
        const int w = pixels(900, z), h = pixels(851, z);
        EXPECT_EQ(rectOf(*inst), std::make_pair(w, h));
        Window top = openIn(*inst);
        EXPECT_EQ(sizeOf(child(top)), std::make_pair(w, h));
        const double sx = (double)w / 900, sy = (double)h / 851;  // pixels per unit

        // GAIN dragged 40 units up, in 40 × zoom pixels: a fifth of the range at every zoom
        inst->setParameter(0, 0.3f);
        pump(*inst, 40);
        int x = pixels(89, sx), y = pixels(612, sy), travel = pixels(40, z);
        moveTo(top, x, y);
        pump(*inst, 20);
        button(1, true);
        for (int step = 1; step <= 4; step++) {
            moveTo(top, x, y - travel * step / 4);
            pump(*inst, 15);
        }
        button(1, false);
        pump(*inst, 40);
        EXPECT_NEAR(inst->getParameter(0), 0.3f + travel / sy / 200.0, 1e-4);
        EXPECT_NEAR(inst->getParameter(0), 0.5f, 2e-3);

        // UP and DOWN step "Length" by a tenth
        inst->setParameter(6, 0.5f);
        click(*inst, top, pixels(303, sx), pixels(551, sy));
        EXPECT_NEAR(inst->getParameter(6), 0.6f, 1e-6);
        click(*inst, top, pixels(301, sx), pixels(688, sy));
        click(*inst, top, pixels(301, sx), pixels(688, sy));
        EXPECT_NEAR(inst->getParameter(6), 0.4f, 1e-6);

        // a right click on the floor opens the zoom menu there; its rows are 22 units high
        const int next = (i + 1) % 5;
        const double mx = 40, my = 440;
        uint32_t floor = windowPixel(top, pixels(mx + 60, sx), pixels(my + 60, sy));
        click(*inst, top, pixels(mx, sx), pixels(my, sy), 3);
        EXPECT_NE(windowPixel(top, pixels(mx + 60, sx), pixels(my + 60, sy)), floor) << "the menu is drawn";
        if (z == 2.0) {
            EXPECT_TRUE(saveWindow(top, "editor-xvfb-200-menu.png"));
        }
        inst->clearCalls();
        click(*inst, top, pixels(mx + 60, sx), pixels(my + 4 + 22 * next + 11, sy));
        const int nw = pixels(900, kZooms[next]), nh = pixels(851, kZooms[next]);
        auto resizes = inst->callsOf(audioMasterSizeWindow);
        ASSERT_EQ(resizes.size(), 1u);
        EXPECT_EQ(resizes[0].index, nw);
        EXPECT_EQ(resizes[0].value, nh);
        pump(*inst, 60);
        EXPECT_EQ(sizeOf(child(top)), std::make_pair(nw, nh));
        EXPECT_EQ(rectOf(*inst), std::make_pair(nw, nh));
        EXPECT_TRUE(inst->callsOf(audioMasterBeginEdit).empty()) << "the zoom is no parameter";
        std::ifstream conf(configFile());
        std::string text((std::istreambuf_iterator<char>(conf)), std::istreambuf_iterator<char>());
        char expected[32];
        std::snprintf(expected, sizeof expected, "zoom=%g\n", kZooms[next]);
        EXPECT_NE(text.find(expected), std::string::npos) << text;
        if (z == 2.0) {  // resized to 75 % while open
            EXPECT_TRUE(saveWindow(top, "editor-xvfb-75.png"));
        }
        inst->dispatch(effEditClose);
    }
}

// A host that cannot resize keeps its window; the choice applies at the next open.
TEST_F(EditorZoom, AHostThatCannotResizeGetsTheNewSizeAtTheNextOpen)
{
    auto inst = library->instantiate();
    ASSERT_TRUE(inst);
    Window top = openIn(*inst);
    inst->sizeWindow = nullptr;  // canDo "sizeWindow": no
    click(*inst, top, 40, 440, 3);
    click(*inst, top, 100, 440 + 4 + 22 * 4 + 11);  // "Zoom 200 %"
    EXPECT_TRUE(inst->callsOf(audioMasterSizeWindow).empty());
    EXPECT_EQ(sizeOf(child(top)), std::make_pair(900, 851));
    EXPECT_EQ(rectOf(*inst), std::make_pair(900, 851)) << "the open window's size";
    inst->dispatch(effEditClose);
    EXPECT_EQ(rectOf(*inst), std::make_pair(1800, 1702));
}

// Who chooses: the remembered choice, then LUSTRANA_SCALE, then Xft.dpi / 96, then 100 %;
// values outside 0.75 … 2 are held to it, unusable ones pass to the next source.
TEST_F(EditorZoom, TheZoomsSources)
{
    auto inst = library->instantiate();
    ASSERT_TRUE(inst);
    EXPECT_EQ(rectOf(*inst), std::make_pair(900, 851));
    setenv("LUSTRANA_SCALE", "2", 1);
    EXPECT_EQ(rectOf(*inst), std::make_pair(1800, 1702));
    setenv("LUSTRANA_SCALE", "3.5", 1);
    EXPECT_EQ(rectOf(*inst), std::make_pair(1800, 1702));
    setenv("LUSTRANA_SCALE", "0.5", 1);
    EXPECT_EQ(rectOf(*inst), std::make_pair(675, 638));
    setenv("LUSTRANA_SCALE", "1,5", 1);  // not a number here: the next source
    EXPECT_EQ(rectOf(*inst), std::make_pair(900, 851));
    unsetenv("LUSTRANA_SCALE");
    setResources("Xft.antialias:\t1\nXft.dpi:\t192\n");
    EXPECT_EQ(rectOf(*inst), std::make_pair(1800, 1702));
    setResources("Xft.dpi:\t120\n");
    EXPECT_EQ(rectOf(*inst), std::make_pair(1125, 1064));
    setenv("LUSTRANA_SCALE", "1.5", 1);  // the environment wins over the display
    EXPECT_EQ(rectOf(*inst), std::make_pair(1350, 1277));
    writeConfig("# mine\nzoom = 0.75\n");  // the remembered choice wins over both
    EXPECT_EQ(rectOf(*inst), std::make_pair(675, 638));
    const std::string corrupts[] = {"zoom=abc\n", "zoom=2\nthis is not a setting\n", std::string("zoom=2\n\0\n", 9),
                                    "\x89PNG\r\n"};
    for (const std::string& corrupt : corrupts) {
        writeConfig(corrupt);
        EXPECT_EQ(rectOf(*inst), std::make_pair(1350, 1277)) << "ignored: " << corrupt;
    }
    std::filesystem::remove(configFile());
    std::filesystem::create_directories(configFile());  // unreadable as a file
    EXPECT_EQ(rectOf(*inst), std::make_pair(1350, 1277));
    // the window opens at the size the host was given
    Window top = openIn(*inst);
    EXPECT_EQ(sizeOf(child(top)), std::make_pair(1350, 1277));
    inst->dispatch(effEditClose);
}

namespace {

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

// Opening at 200 % decodes the 2× images once for the process, and the first open at 150 %
// makes the background's copy at that size: later opens at either zoom reuse them, take no
// more memory and open quickly (the median of ten; the machine's other load shows in the
// slowest).
TEST_F(EditorZoom, RepeatedOpensAtTwiceTheSize)
{
    setenv("LUSTRANA_SCALE", "2", 1);
    auto inst = library->instantiate();
    ASSERT_TRUE(inst);
    auto start = std::chrono::steady_clock::now();
    Window top = openIn(*inst);
    std::printf("first open at 200 %% in this process (with 150 ms of idle): %.0f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    inst->dispatch(effEditClose);
    for (const char* zoom : {"2", "1.5"}) {
        setenv("LUSTRANA_SCALE", zoom, 1);
        rectOf(*inst);
        ASSERT_EQ(inst->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)top), 1);
        pump(*inst, 20);
        inst->dispatch(effEditClose);
        const long before = residentKiB();
        std::vector<double> times;
        for (int cycle = 0; cycle < 10; cycle++) {
            auto begin = std::chrono::steady_clock::now();
            ASSERT_EQ(inst->dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)top), 1);
            inst->dispatch(effEditIdle);
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
            pump(*inst, 20);
            inst->dispatch(effEditClose);
        }
        const long growth = residentKiB() - before;
        std::sort(times.begin(), times.end());
        std::printf("open at %s after the first: median %.1f ms, slowest %.1f ms; resident growth %ld KiB\n", zoom,
                    times[5], times[9], growth);
        // the sanitizers hold freed memory in quarantine and run several times slower
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        EXPECT_LT(growth, 4096) << "KiB more after 10 opens at " << zoom;
        EXPECT_LT(times[5], 150.0) << "ms to open at " << zoom;
#endif
    }
}
