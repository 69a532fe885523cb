// A test host for Lustrana.lv2's user interface: it loads the UI binary lilv names through
// its descriptor, gives it the features suil gives an X11 UI (a parent window, ui:resize,
// ui:touch, ui:idleInterface, and the host's scale as an option with urid:map), records
// every port write, resize request and touch, idles it at about 30 Hz and clicks with XTest
// on an Xvfb server of the test suite's own.
#pragma once

#include "lv2/support/Lv2Host.h"
#include "tests/support/editor_xserver.h"

#include <gtest/gtest.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class XvfbServer;

struct PortWrite {
    uint32_t port;
    float value;  // the value written; for touches 1 grabbed, 0 released
};

class Lv2UiWindow : public RealWindowTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A mapped top-level window of 900 × 851 at the screen's origin, destroyed after the test.
    Window hostWindow();
    // Instantiates the UI inside `parent` (0: none); the widget it returns.
    LV2UI_Widget instantiate(Window parent, std::optional<float> scaleFactor = std::nullopt);
    void cleanup();
    void portEvent(uint32_t port, float value);
    // Idles the UI for about `ms` milliseconds; the OR of what idle returned.
    int pump(int ms);

    void moveTo(Window w, int x, int y);
    void button(bool down, unsigned int which = 1);
    void click(Window w, int x, int y, unsigned int which = 1);

    std::vector<PortWrite> writesTo(uint32_t port) const;
    std::pair<int, int> sizeOf(Window w);
    std::pair<int, int> hintedSize(Window w);  // base size of WM_NORMAL_HINTS
    // A hash of a rectangle's pixels: changes when anything drawn there changes.
    uint64_t areaSum(Window w, int x, int y, int width, int height);

    Display* display = nullptr;                  // the host's connection
    std::vector<Window> windows;                 // host windows to destroy
    void* library = nullptr;                     // the UI binary
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    const LV2UI_Show_Interface* showInterface = nullptr;
    LV2UI_Handle handle = nullptr;
    std::vector<std::pair<int, int>> sizes;      // ui_resize requests
    std::vector<PortWrite> touches;              // ui:touch calls
    std::vector<PortWrite> writes;               // write_function calls

private:
    static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);

    LV2UI_Resize resizeFeature{};
    LV2UI_Touch touchFeature{};
    LV2_URID_Map mapFeature{};
    LV2_Feature features[6] = {};
    std::map<std::string, LV2_URID> uris;        // the host's URID map
    LV2_Options_Option options[2] = {};
    float factor = 1.0f;                         // the ui:scaleFactor given
};
