#include "lv2/Lv2Ui.h"

#include "editor/ControlsguiEditor.h"
#include "toolkit/CFrame.h"
#include "toolkit/TickCount.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2_util.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
             std::optional<double> scale)
    : effect(write, controller, touch), editor(new ControlsguiEditor(&effect, scale))
{
    effect.setResizer([this](int w, int h) { return resizeTo(w, h); });
}

std::optional<double> Lv2Ui::hostScale(const LV2_Feature* const* features)
{
    auto map = static_cast<const LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    auto options = static_cast<const LV2_Options_Option*>(lv2_features_data(features, LV2_OPTIONS__options));
    if (!map || !options)
        return std::nullopt;
    const LV2_URID scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key; o++)
        if (o->key == scaleFactor && o->type == atomFloat && o->size == sizeof(float) && o->value)
            return (double)*static_cast<const float*>(o->value);
    return std::nullopt;
}

std::unique_ptr<Lv2Ui> Lv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                     const LV2_Feature* const* features, LV2UI_Widget* widget)
{
    auto touch = static_cast<const LV2UI_Touch*>(lv2_features_data(features, LV2_UI__touch));
    std::unique_ptr<Lv2Ui> ui(new Lv2Ui(write, controller, touch, hostScale(features)));
    ui->resize = static_cast<const LV2UI_Resize*>(lv2_features_data(features, LV2_UI__resize));
    const void* parent = lv2_features_data(features, LV2_UI__parent);
    if (widget)
        *widget = nullptr;
    if (parent) {
        if (!ui->openIn((unsigned long)(uintptr_t)parent))
            return nullptr;
        if (widget)
            *widget = (LV2UI_Widget)(uintptr_t)ui->windowId();
    }
    // Without a parent the host shows the UI through ui:showInterface.
    return ui;
}

Lv2Ui::~Lv2Ui()
{
    editor->close();
    hide();
    if (display)
        XCloseDisplay(display);
    // the effect deletes the editor
}

bool Lv2Ui::openDisplay()
{
    if (!display)
        display = XOpenDisplay(nullptr);
    return display != nullptr;
}

bool Lv2Ui::openIn(unsigned long parent)
{
    if (!editor->open((void*)(uintptr_t)parent))
        return false;
    int width, height;
    currentSize(width, height);
    hintSize(windowId(), width, height);
    if (resize)
        resize->ui_resize(resize->handle, width, height);
    return true;
}

void Lv2Ui::currentSize(int& width, int& height)
{
    ERect* rect = nullptr;
    width = height = 0;
    if (editor->getRect(&rect) && rect) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
}

bool Lv2Ui::resizeTo(int width, int height)
{
    if (topLevel) {
        if (!openDisplay())
            return false;
        hintSize(topLevel, width, height);
        XResizeWindow(display, (Window)topLevel, (unsigned)width, (unsigned)height);
        XSync(display, False);
    } else if (resize) {
        if (resize->ui_resize(resize->handle, width, height) != 0)
            return false;
    } else {
        return false;  // the host sizes its window from the hints when it opens the UI again
    }
    hintSize(windowId(), width, height);
    return true;
}

unsigned long Lv2Ui::windowId() const
{
    CFrame* frame = editor->getFrame();
    return frame ? frame->getWindowId() : 0;
}

void Lv2Ui::hintSize(unsigned long window, int width, int height)
{
    if (!window || !openDisplay())
        return;
    XSizeHints* hints = XAllocSizeHints();
    if (!hints)
        return;
    hints->flags = PMinSize | PMaxSize | PBaseSize;
    hints->min_width = hints->max_width = hints->base_width = width;
    hints->min_height = hints->max_height = hints->base_height = height;
    XSetWMNormalHints(display, (Window)window, hints);
    XFree(hints);
    XSync(display, False);
}

void Lv2Ui::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    if (format != 0 || size != sizeof(float) || !buffer)
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    effect.portEvent(port, value);
}

bool Lv2Ui::closeRequested()
{
    bool close = false;
    while (display && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.window == topLevel &&
            (unsigned long)event.xclient.data.l[0] == deleteAtom)
            close = true;
    }
    return close;
}

int Lv2Ui::idle()
{
    if (topLevel && closeRequested()) {
        hide();
        return 1;
    }
    if (editor->isOpen())
        editor->idle();
    effect.idle(getTickCount());
    return 0;
}

int Lv2Ui::show()
{
    if (editor->isOpen())
        return 0;
    if (!openDisplay())
        return 1;
    int width, height;
    currentSize(width, height);
    const int screen = DefaultScreen(display);
    topLevel = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                   BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, (Window)topLevel, "Lustrana");
    deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom protocols[] = {(Atom)deleteAtom};
    XSetWMProtocols(display, (Window)topLevel, protocols, 1);
    hintSize(topLevel, width, height);
    XMapWindow(display, (Window)topLevel);
    XSync(display, False);
    if (!editor->open((void*)(uintptr_t)topLevel)) {
        XDestroyWindow(display, (Window)topLevel);
        XSync(display, False);
        topLevel = 0;
        return 1;
    }
    return 0;
}

int Lv2Ui::hide()
{
    // An editor inside the host's window stays open until the host destroys the UI.
    if (topLevel && display) {
        editor->close();
        XDestroyWindow(display, (Window)topLevel);
        XSync(display, False);
        topLevel = 0;
    }
    return 0;
}
