// Lustrana.lv2's user interface loaded as an LV2 host loads it (the binary lilv names, its
// descriptor, the host's features), in real X windows of an Xvfb server started here, idled
// as hosts idle it and clicked with XTest: it embeds at the editor's size, writes the ports
// for knob drags, menus, the buttons and the plate click, follows port events, and shows
// itself in a window of its own for hosts without a parent window.
#include "lv2/support/Lv2Host.h"
#include "tests/support/editor_settings.h"
#include "tests/support/editor_xserver.h"
#include "toolkit/CFrame.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#ifdef LUSTRANA_HAVE_XTEST
#include <X11/extensions/XTest.h>
#endif
#include <cairo.h>
#include <dlfcn.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

namespace {

const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";

struct Write {
    uint32_t port;
    float value;
};

std::string uiBinary()
{
    const LilvPlugin* p = lv2World().plugin();
    if (!p)
        return {};
    LilvUIs* uis = lilv_plugin_get_uis(p);
    std::string path;
    if (lilv_uis_size(uis) == 1) {
        const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
        char* file = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        path = file;
        lilv_free(file);
    }
    lilv_uis_free(uis);
    return path;
}

class Lv2UiWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (XvfbServer::findProgram().empty())
            return;
        server = new XvfbServer();
        if (!server->start(startError)) {
            delete server;
            server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
#ifndef LUSTRANA_HAVE_XTEST
        GTEST_SKIP() << "built without the XTest library";
#endif
        if (XvfbServer::findProgram().empty())
            GTEST_SKIP() << "Xvfb is not installed: the real-window tests need it";
        ASSERT_NE(server, nullptr) << startError;
        isolateEditorSettings();  // no remembered zoom of the user's, no LUSTRANA_SCALE
        display = XOpenDisplay(server->displayName().c_str());
        ASSERT_NE(display, nullptr);
        const std::string binary = uiBinary();
        ASSERT_FALSE(binary.empty());
        library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        showInterface = static_cast<const LV2UI_Show_Interface*>(descriptor->extension_data(LV2_UI__showInterface));
        ASSERT_TRUE(idleInterface && showInterface);
    }

    void TearDown() override
    {
        if (handle)
            descriptor->cleanup(handle);
        for (Window w : windows)
            XDestroyWindow(display, w);
        if (display)
            XCloseDisplay(display);
        if (library)
            dlclose(library);
    }

    Window hostWindow()
    {
        Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 900, 851, 0, 0, 0x202020);
        XMapWindow(display, w);
        XSync(display, False);
        windows.push_back(w);
        return w;
    }

    // Instantiates the UI the way suil does for an X11 UI: parent, resize, touch, idle, and
    // the host's scale factor when given (options, with urid:map).
    LV2UI_Widget instantiate(Window parent, std::optional<float> scaleFactor = std::nullopt)
    {
        resizeFeature = {this, [](LV2UI_Feature_Handle h, int w, int hh) {
                             static_cast<Lv2UiWindow*>(h)->sizes.push_back({w, hh});
                             return 0;
                         }};
        touchFeature = {this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                            static_cast<Lv2UiWindow*>(h)->touches.push_back({port, grabbed ? 1.0f : 0.0f});
                        }};
        features[0] = {LV2_UI__parent, (void*)(uintptr_t)parent};
        features[1] = {LV2_UI__resize, &resizeFeature};
        features[2] = {LV2_UI__touch, &touchFeature};
        features[3] = {LV2_UI__idleInterface, nullptr};
        mapFeature = {this, [](LV2_URID_Map_Handle h, const char* uri) {
                          auto& uris = static_cast<Lv2UiWindow*>(h)->uris;
                          return uris.emplace(uri, (LV2_URID)uris.size() + 1).first->second;
                      }};
        features[4] = {LV2_URID__map, &mapFeature};
        if (scaleFactor)
            factor = *scaleFactor;
        options[0] = {LV2_OPTIONS_INSTANCE, 0, mapFeature.map(this, LV2_UI__scaleFactor), sizeof(float),
                      mapFeature.map(this, LV2_ATOM__Float), &factor};
        options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        features[5] = {LV2_OPTIONS__options, options};
        std::vector<const LV2_Feature*> list;
        for (int i = parent ? 0 : 1; i < (scaleFactor ? 6 : 4); i++)
            list.push_back(&features[i]);
        list.push_back(nullptr);
        LV2UI_Widget widget = nullptr;
        handle = descriptor->instantiate(descriptor, lv2uri::kPlugin, "", &Lv2UiWindow::write, this, &widget,
                                         list.data());
        return widget;
    }

    void cleanup()
    {
        if (handle)
            descriptor->cleanup(handle);
        handle = nullptr;
    }

    std::pair<int, int> sizeOf(Window w)
    {
        Window root;
        int x, y;
        unsigned int width = 0, height = 0, border, depth;
        XGetGeometry(display, w, &root, &x, &y, &width, &height, &border, &depth);
        return {(int)width, (int)height};
    }

    std::pair<int, int> hintedSize(Window w)
    {
        XSizeHints hints;
        long supplied = 0;
        if (!XGetWMNormalHints(display, w, &hints, &supplied) || !(hints.flags & PBaseSize))
            return {0, 0};
        return {hints.base_width, hints.base_height};
    }

    static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
    {
        auto* self = static_cast<Lv2UiWindow*>(c);
        EXPECT_EQ(size, sizeof(float));
        EXPECT_EQ(protocol, 0u);
        self->writes.push_back({port, *static_cast<const float*>(buffer)});
    }

    void portEvent(uint32_t port, float value) { descriptor->port_event(handle, port, sizeof value, 0, &value); }

    // Idles the UI at about 30 Hz for `ms` milliseconds, as suil does.
    int pump(int ms)
    {
        int closed = 0;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            XSync(display, False);
            closed |= idleInterface->idle(handle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < end);
        return closed;
    }

    void moveTo(Window w, int x, int y)
    {
#ifdef LUSTRANA_HAVE_XTEST
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(display, w, DefaultRootWindow(display), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), rx, ry, 0);
        XSync(display, False);
#else
        (void)w, (void)x, (void)y;
#endif
    }

    void button(bool down, unsigned int which = 1)
    {
#ifdef LUSTRANA_HAVE_XTEST
        XTestFakeButtonEvent(display, which, down ? True : False, 0);
        XSync(display, False);
#else
        (void)down, (void)which;
#endif
    }

    void click(Window w, int x, int y, unsigned int which = 1)
    {
        moveTo(w, x, y);
        pump(30);
        button(true, which);
        pump(30);
        button(false, which);
        pump(40);
    }

    std::vector<Write> writesTo(uint32_t port) const
    {
        std::vector<Write> found;
        for (const Write& w : writes)
            if (w.port == port)
                found.push_back(w);
        return found;
    }

    // Sum of the pixels of a rectangle: changes when anything drawn there changes.
    uint64_t areaSum(Window w, int x, int y, int width, int height)
    {
        XImage* image = XGetImage(display, w, x, y, width, height, AllPlanes, ZPixmap);
        if (!image)
            return 0;
        uint64_t sum = 0;
        for (int j = 0; j < height; j++)
            for (int i = 0; i < width; i++)
                sum = sum * 31 + (XGetPixel(image, i, j) & 0xFFFFFF);
        XDestroyImage(image);
        return sum;
    }

    bool writeScreenshot(Window w, const std::string& path)
    {
        XImage* image = XGetImage(display, w, 0, 0, 900, 851, AllPlanes, ZPixmap);
        if (!image)
            return false;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 900, 851);
        uint8_t* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < 851; y++)
            for (int x = 0; x < 900; x++)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] = (uint32_t)XGetPixel(image, x, y) & 0xFFFFFF;
        cairo_surface_mark_dirty(s);
        XDestroyImage(image);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(s);
        return ok;
    }

    static inline XvfbServer* server = nullptr;  // shared by the suite
    static inline std::string startError;        // why it did not start
    Display* display = nullptr;                  // the host's connection
    std::vector<Window> windows;                 // host windows to destroy
    void* library = nullptr;                     // the UI binary
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    const LV2UI_Show_Interface* showInterface = nullptr;
    LV2UI_Handle handle = nullptr;
    LV2UI_Resize resizeFeature{};
    LV2UI_Touch touchFeature{};
    LV2_Feature features[6] = {};
    LV2_URID_Map mapFeature{};
    std::map<std::string, LV2_URID> uris;        // the host's URID map
    LV2_Options_Option options[2] = {};
    float factor = 1.0f;                         // the ui:scaleFactor given
    std::vector<std::pair<int, int>> sizes;      // ui_resize requests
    std::vector<Write> touches;                  // touch: port, 1 grabbed / 0 released
    std::vector<Write> writes;                   // write_function calls
};

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
    EXPECT_TRUE(writeScreenshot(child, kArtifacts + "lv2-ui-xvfb.png"));
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
    for (const Write& w : writes)
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
    EXPECT_TRUE(writeScreenshot(child, kArtifacts + "lv2-ui-xvfb-200.png"));

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
