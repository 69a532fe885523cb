#include "lv2/support/Lv2UiHost.h"

#include "tests/support/editor_settings.h"
#include "tests/support/editor_xserver.h"
#include "tests/support/fake_input.h"

#include <lv2/atom/atom.h>

#include <X11/Xutil.h>
#include <dlfcn.h>

#include <chrono>
#include <thread>

namespace {

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

} // namespace

void Lv2UiWindow::SetUp()
{
#ifndef LUSTRANA_HAVE_XTEST
    GTEST_SKIP() << "built without the XTest library";
#endif
    requireServer();
    if (IsSkipped() || HasFatalFailure())
        return;
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

void Lv2UiWindow::TearDown()
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

Window Lv2UiWindow::hostWindow()
{
    Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 900, 851, 0, 0, 0x202020);
    XMapWindow(display, w);
    XSync(display, False);
    windows.push_back(w);
    return w;
}

LV2UI_Widget Lv2UiWindow::instantiate(Window parent, std::optional<float> scaleFactor)
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

void Lv2UiWindow::cleanup()
{
    if (handle)
        descriptor->cleanup(handle);
    handle = nullptr;
}

std::pair<int, int> Lv2UiWindow::sizeOf(Window w)
{
    Window root;
    int x, y;
    unsigned int width = 0, height = 0, border, depth;
    XGetGeometry(display, w, &root, &x, &y, &width, &height, &border, &depth);
    return {(int)width, (int)height};
}

std::pair<int, int> Lv2UiWindow::hintedSize(Window w)
{
    XSizeHints hints;
    long supplied = 0;
    if (!XGetWMNormalHints(display, w, &hints, &supplied) || !(hints.flags & PBaseSize))
        return {0, 0};
    return {hints.base_width, hints.base_height};
}

void Lv2UiWindow::write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
{
    auto* self = static_cast<Lv2UiWindow*>(c);
    EXPECT_EQ(size, sizeof(float));
    EXPECT_EQ(protocol, 0u);
    self->writes.push_back({port, *static_cast<const float*>(buffer)});
}

void Lv2UiWindow::portEvent(uint32_t port, float value)
{ descriptor->port_event(handle, port, sizeof value, 0, &value); }

int Lv2UiWindow::pump(int ms)
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

void Lv2UiWindow::moveTo(Window w, int x, int y)
{
    fakePointerTo(display, w, x, y);
}

void Lv2UiWindow::button(bool down, unsigned int which)
{
    fakeButton(display, which, down);
}

void Lv2UiWindow::click(Window w, int x, int y, unsigned int which)
{
    moveTo(w, x, y);
    pump(30);
    button(true, which);
    pump(30);
    button(false, which);
    pump(40);
}

std::vector<PortWrite> Lv2UiWindow::writesTo(uint32_t port) const
{
    std::vector<PortWrite> found;
    for (const PortWrite& w : writes)
        if (w.port == port)
            found.push_back(w);
    return found;
}

uint64_t Lv2UiWindow::areaSum(Window w, int x, int y, int width, int height)
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
