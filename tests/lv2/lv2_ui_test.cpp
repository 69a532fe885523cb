// Lustrana.lv2's user interface loaded as an LV2 host loads it (the binary lilv names, its
// descriptor, the host's features), in real X windows of an Xvfb server started here, idled
// as hosts idle it and clicked with XTest: it embeds at the editor's size, writes the ports
// for knob drags, menus, the buttons and the plate click, follows port events, and shows
// itself in a window of its own for hosts without a parent window.
#include "lv2/support/Lv2UiHost.h"
#include "tests/support/window_picture.h"
#include "toolkit/CFrame.h"

#include <X11/Xutil.h>

namespace {

const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";

} // namespace

TEST_F(Lv2UiWindow, EmbedsInTheHostWindowAtTheEditorsSize)
{
    Window parent = hostWindow();
    LV2UI_Widget widget = instantiate(parent);
    ASSERT_NE(handle, nullptr);
    const Window child = (Window)(uintptr_t)widget;
    ASSERT_NE(child, 0u) << "the widget is the editor's window";
    Window root, up, *children = nullptr;
    unsigned int count = 0;
    ASSERT_TRUE(XQueryTree(display, child, &root, &up, &children, &count));
    if (children)
        XFree(children);
    EXPECT_EQ(up, parent);
    int x, y;
    unsigned int width, height, border, depth;
    XGetGeometry(display, child, &root, &x, &y, &width, &height, &border, &depth);
    EXPECT_EQ(width, 900u);
    EXPECT_EQ(height, 851u);
    // hosts embedding X11 UIs size their socket from these hints
    XSizeHints hints;
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(display, child, &hints, &supplied));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_TRUE(hints.flags & PBaseSize);
    EXPECT_EQ(hints.min_width, 900);
    EXPECT_EQ(hints.min_height, 851);
    EXPECT_EQ(hints.base_width, 900);
    EXPECT_EQ(hints.base_height, 851);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], std::make_pair(900, 851));

    // the host's values arrive as port events and are shown
    portEvent(lv2port::portOf(kPlateType), 0.3f);
    portEvent(lv2port::portOf(kGain), 1.0f);
    EXPECT_EQ(pump(200), 0);
    EXPECT_GT((areaSum(child, 450, 720, 1, 1) >> 16) & 0xFF, 180u) << "the cream panel is on screen";
    EXPECT_TRUE(writeWindowPng(display, child, 900, 851, kArtifacts + "lv2-ui-xvfb.png"));
    EXPECT_TRUE(writes.empty()) << "showing values writes nothing back";

    // the host destroys its window before the UI: no X error ends the process
    XDestroyWindow(display, parent);
    windows.clear();
    XSync(display, False);
    pump(50);
}

TEST_F(Lv2UiWindow, AKnobDragWritesItsPortBetweenTouches)
{
    Window parent = hostWindow();
    instantiate(parent);
    ASSERT_NE(handle, nullptr);
    portEvent(lv2port::portOf(kGain), 0.3f);
    pump(100);
    // 50 pixels up the GAIN knob: a quarter of the range above the value the host sent
    moveTo(parent, 89, 612);
    pump(30);
    button(true);
    for (int step = 1; step <= 10; step++) {
        moveTo(parent, 89, 612 - 5 * step);
        pump(15);
    }
    button(false);
    pump(60);
    auto gain = writesTo(lv2port::portOf(kGain));
    ASSERT_FALSE(gain.empty());
    EXPECT_NEAR(gain.back().value, 0.55f, 1e-5);
    ASSERT_EQ(touches.size(), 2u);
    EXPECT_EQ(touches[0].port, lv2port::portOf(kGain));
    EXPECT_EQ(touches[0].value, 1.0f);
    EXPECT_EQ(touches[1].port, lv2port::portOf(kGain));
    EXPECT_EQ(touches[1].value, 0.0f);
    for (const PortWrite& w : writes)
        EXPECT_EQ(w.port, lv2port::portOf(kGain)) << "the drag writes nothing else";
}

TEST_F(Lv2UiWindow, ThePlateClickRaisesPingForEachClickAndLowersItAgain)
{
    Window parent = hostWindow();
    instantiate(parent);
    ASSERT_NE(handle, nullptr);
    pump(50);
    click(parent, 600, 150);
    auto ping = writesTo(lv2port::kPing);
    ASSERT_EQ(ping.size(), 1u) << "up at the click";
    EXPECT_EQ(ping[0].value, 1.0f);
    click(parent, 600, 150);  // a second click while the port is still up
    pump(650);
    ping = writesTo(lv2port::kPing);
    ASSERT_EQ(ping.size(), 4u) << "down, and up and down again for the second click";
    EXPECT_EQ(ping[1].value, 0.0f);
    EXPECT_EQ(ping[2].value, 1.0f);
    EXPECT_EQ(ping[3].value, 0.0f);
    // a press released outside the plate is no click
    moveTo(parent, 600, 150);
    pump(30);
    button(true);
    pump(30);
    moveTo(parent, 100, 450);
    pump(30);
    button(false);
    pump(300);
    EXPECT_EQ(writesTo(lv2port::kPing).size(), 4u);
}

TEST_F(Lv2UiWindow, UpPowerAndMenusWriteTheirPortsAndTheMeterFollowsLevel)
{
    Window parent = hostWindow();
    const Window child = (Window)(uintptr_t)instantiate(parent);
    ASSERT_NE(handle, nullptr);
    portEvent(lv2port::portOf(kLength), 0.5f);
    portEvent(lv2port::portOf(kPower), 1.0f);
    pump(100);

    click(parent, 303, 551);  // UP
    auto length = writesTo(lv2port::portOf(kLength));
    ASSERT_EQ(length.size(), 1u);
    EXPECT_FLOAT_EQ(length[0].value, 0.6f);

    click(parent, 806, 800);  // the power switch
    auto power = writesTo(lv2port::portOf(kPower));
    ASSERT_EQ(power.size(), 1u);
    EXPECT_EQ(power[0].value, 0.0f);

    click(parent, 450, 522);                   // the routing menu opens its list
    click(parent, 450, 534 + 4 + 24 * 2 + 12);  // and its third entry is chosen
    auto mode = writesTo(lv2port::portOf(kMode));
    ASSERT_EQ(mode.size(), 1u);
    EXPECT_EQ(mode[0].value, 0.2f);

    // the needle follows the level port
    const uint64_t resting = areaSum(child, 389, 573, 124, 80);
    portEvent(lv2port::kLevel, 0.9f);
    pump(150);
    EXPECT_NE(areaSum(child, 389, 573, 124, 80), resting);
}

TEST_F(Lv2UiWindow, ShownInAWindowOfItsOwnWithoutAHostWindow)
{
    LV2UI_Widget widget = instantiate(0);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(widget, nullptr);
    auto findTopLevel = [&]() -> Window {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        Window found = 0;
        for (unsigned int i = 0; i < count; i++) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                if (std::string(name) == "Lustrana")
                    found = children[i];
                XFree(name);
            }
        }
        if (children)
            XFree(children);
        return found;
    };
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(showInterface->show(handle), 0);
        EXPECT_EQ(pump(100), 0);
        Window top = findTopLevel();
        ASSERT_NE(top, 0u);
        int x, y;
        unsigned int width, height, border, depth;
        Window root;
        XGetGeometry(display, top, &root, &x, &y, &width, &height, &border, &depth);
        EXPECT_EQ(width, 900u);
        EXPECT_EQ(height, 851u);
        // the window manager's close button: the UI closes and says so
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = top;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSendEvent(display, top, False, NoEventMask, &event);
        XSync(display, False);
        EXPECT_EQ(pump(100), 1);
        EXPECT_EQ(findTopLevel(), 0u);
    }
    ASSERT_EQ(showInterface->show(handle), 0);
    pump(50);
    EXPECT_EQ(showInterface->hide(handle), 0);
    EXPECT_EQ(findTopLevel(), 0u);
}

TEST_F(Lv2UiWindow, TheHostsScaleSizesTheEditorAndAZoomChosenInItResizesTheHost)
{
    Window parent = hostWindow();
    XResizeWindow(display, parent, 1900, 1750);
    // LUSTRANA_SCALE comes before the host's factor
    setenv("LUSTRANA_SCALE", "1.25", 1);
    Window child = (Window)(uintptr_t)instantiate(parent, 2.0f);
    ASSERT_NE(handle, nullptr);
    const std::pair<int, int> at125 = {CFrame::pixelsOf(900, 1.25), CFrame::pixelsOf(851, 1.25)};
    EXPECT_EQ(sizeOf(child), at125);
    cleanup();
    unsetenv("LUSTRANA_SCALE");

    sizes.clear();
    child = (Window)(uintptr_t)instantiate(parent, 2.0f);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(sizeOf(child), std::make_pair(1800, 1702));
    EXPECT_EQ(hintedSize(child), std::make_pair(1800, 1702));
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), std::make_pair(1800, 1702));
    pump(150);
    EXPECT_TRUE(writeWindowPng(display, child, 900, 851, kArtifacts + "lv2-ui-xvfb-200.png"));

    // a right click on the floor opens the zoom menu, its rows 22 units high; the first
    // entry, 75 %, asks the host for the new size through ui:resize
    const int mx = 40 * 2, my = 440 * 2;
    click(parent, mx, my, 3);
    click(parent, mx + 120, my + (4 + 11) * 2);
    const std::pair<int, int> at75 = {CFrame::pixelsOf(900, 0.75), CFrame::pixelsOf(851, 0.75)};
    pump(100);
    EXPECT_EQ(sizes.back(), at75);
    EXPECT_EQ(sizeOf(child), at75);
    EXPECT_EQ(hintedSize(child), at75);
    EXPECT_TRUE(writes.empty()) << "the zoom is no parameter";
    EXPECT_TRUE(touches.empty());
}
