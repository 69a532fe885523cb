#include "tests/support/editor_harness.h"

#include "tests/support/editor_settings.h"

#include "toolkit/CControl.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/TickCount.h"

#include <png.h>

#include <cstdio>
#include <stdexcept>

// links editor_lsan.cpp, whose suppressions the sanitizer builds need
extern int editorLsanAnchor;
[[gnu::used]] static int* const linkLsanSuppressions = &editorLsanAnchor;

uint32_t EditorHarness::now = 1000;
EditorHarness* EditorHarness::current = nullptr;

EditorHarness::EditorHarness()
{
    isolateEditorSettings();
    current = this;
    setTickCountSource(&EditorHarness::fakeClock);
    plugin = new ObservedEffect(&EditorHarness::callback);
}

EditorHarness::~EditorHarness()
{
    plugin->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    delete plugin;
    setTickCountSource(nullptr);
    if (current == this)
        current = nullptr;
}

ControlsguiEditor& EditorHarness::editor()
{
    auto* e = dynamic_cast<ControlsguiEditor*>(plugin->getEditor());
    if (!e)
        throw std::runtime_error("the effect has no editor");
    return *e;
}

CFrame& EditorHarness::frame()
{
    if (!editor().getFrame() && !editor().openHeadless())
        throw std::runtime_error("the editor did not open");
    return *editor().getFrame();
}

VstIntPtr EditorHarness::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AEffect* e = plugin->getAeffect();
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

VstIntPtr EditorHarness::callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt)
{
    if (current)
        current->log.push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 0;  // and canDo: "don't know"
}

std::vector<HostCall> EditorHarness::callsOf(VstInt32 opcode) const
{
    std::vector<HostCall> out;
    for (const HostCall& c : log)
        if (c.opcode == opcode)
            out.push_back(c);
    return out;
}

CControl* EditorHarness::control(long tag)
{
    CFrame& f = frame();
    for (int i = 0; i < f.getNbViews(); i++)
        if (f.getView(i)->getTag() == tag)
            return f.getView(i);
    return nullptr;
}

COptionMenu* EditorHarness::menu(long tag)
{
    return dynamic_cast<COptionMenu*>(control(tag));
}

void EditorHarness::press(double x, double y)
{
    frame().mouseMoved({x, y}, 0);
    frame().mouseDown({x, y}, kLButton);
}

void EditorHarness::moveTo(double x, double y)
{
    frame().mouseMoved({x, y}, kLButton);
}

void EditorHarness::release(double x, double y)
{
    frame().mouseUp({x, y}, kLButton);
}

void EditorHarness::click(double x, double y)
{
    press(x, y);
    release(x, y);
}

void EditorHarness::drag(double x0, double y0, double x1, double y1, int steps)
{
    press(x0, y0);
    for (int i = 1; i <= steps; i++)
        moveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    release(x1, y1);
}

uint32_t EditorHarness::pixel(int x, int y)
{
    frame().redraw();
    cairo_surface_t* s = frame().getSurface();
    cairo_surface_flush(s);
    const uint8_t* row = cairo_image_surface_get_data(s) + (size_t)y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
}

bool RgbaImage::load(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    bool ok = png_image_begin_read_from_stdio(&image, file);
    if (ok) {
        image.format = PNG_FORMAT_RGBA;
        pixels.resize(PNG_IMAGE_SIZE(image));
        ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        width = (int)image.width;
        height = (int)image.height;
    }
    png_image_free(&image);
    std::fclose(file);
    return ok;
}
