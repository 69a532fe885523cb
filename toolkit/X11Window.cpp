#include "toolkit/X11Window.h"

#include "toolkit/CFrame.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cmath>
#include <cstdlib>

namespace {

// Catches the X errors of one group of requests instead of letting Xlib's default handler
// end the host process. Xlib's handler is process-wide, so it is swapped in only for the
// duration of the group (the host's UI thread is the one that talks to X here).
class ErrorTrap {
public:
    explicit ErrorTrap(Display* d) : display(d)
    {
        caught = false;
        previous = XSetErrorHandler(&ErrorTrap::handler);
    }
    ~ErrorTrap() { XSetErrorHandler(previous); }
    // Waits for the server's answers to everything sent so far; true if one was an error.
    bool failed()
    {
        XSync(display, False);
        return caught;
    }

private:
    static int handler(Display*, XErrorEvent*)
    {
        caught = true;
        return 0;
    }
    static inline bool caught = false;   // an error arrived while trapped
    Display* display;                    // the connection being watched
    int (*previous)(Display*, XErrorEvent*);  // handler to restore
};

int buttonsOf(unsigned int state, unsigned int pressedButton)
{
    int buttons = 0;
    if ((state & Button1Mask) || pressedButton == Button1)
        buttons |= kLButton;
    if ((state & Button2Mask) || pressedButton == Button2)
        buttons |= kMButton;
    if ((state & Button3Mask) || pressedButton == Button3)
        buttons |= kRButton;
    return buttons;
}

} // namespace

X11Window* X11Window::create(unsigned long parent, int w, int h)
{
    if (parent == 0 || w <= 0 || h <= 0)
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    auto* self = new X11Window();
    self->display = display;
    self->width = w;
    self->height = h;
    int screen = DefaultScreen(display);
    XVisualInfo info;
    bool visualOk = XMatchVisualInfo(display, screen, 24, TrueColor, &info) && info.red_mask == 0xFF0000 &&
                    info.green_mask == 0xFF00 && info.blue_mask == 0xFF;
    XWindowAttributes parentAttributes;
    ErrorTrap trap(display);
    if (!visualOk || !XGetWindowAttributes(display, (Window)parent, &parentAttributes) || trap.failed()) {
        XCloseDisplay(display);
        self->display = nullptr;
        delete self;
        return nullptr;
    }
    self->visual = info.visual;
    self->depth = info.depth;
    self->colormap = XCreateColormap(display, RootWindow(display, screen), info.visual, AllocNone);
    XSetWindowAttributes attributes = {};
    attributes.colormap = self->colormap;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | StructureNotifyMask;
    self->window = XCreateWindow(display, (Window)parent, 0, 0, w, h, 0, info.depth, InputOutput, info.visual,
                                 CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    self->gc = XCreateGC(display, self->window, 0, nullptr);
    XMapWindow(display, self->window);
    if (trap.failed()) {
        delete self;  // the destructor frees what was made
        return nullptr;
    }
    self->alive = true;
    return self;
}

X11Window::~X11Window()
{
    if (!display)
        return;
    {
        ErrorTrap trap(display);  // the host may have destroyed our window with its own
        if (gc)
            XFreeGC(display, gc);
        if (window)
            XDestroyWindow(display, window);
        if (colormap)
            XFreeColormap(display, colormap);
        trap.failed();
    }
    XCloseDisplay(display);
}

void X11Window::resize(int w, int h)
{
    if (!alive || w <= 0 || h <= 0 || (w == width && h == height))
        return;
    ErrorTrap trap(display);
    XResizeWindow(display, window, (unsigned)w, (unsigned)h);
    if (trap.failed())
        alive = false;
    width = w;
    height = h;
}

double X11Window::resourceDpi()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    double dpi = 0;
    // the resources as xrdb loaded them: the RESOURCE_MANAGER property, read at connection
    if (const char* text = XResourceManagerString(display)) {
        XrmInitialize();
        if (XrmDatabase db = XrmGetStringDatabase(text)) {
            char* type = nullptr;
            XrmValue value = {};
            if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
                char* end = nullptr;
                double parsed = std::strtod(value.addr, &end);
                if (end != value.addr && std::isfinite(parsed) && parsed > 0)
                    dpi = parsed;
            }
            XrmDestroyDatabase(db);
        }
    }
    XCloseDisplay(display);
    return dpi;
}

void X11Window::upload(cairo_surface_t* surface, const CRect& rect)
{
    if (!alive)
        return;
    cairo_surface_flush(surface);
    int x = std::max(0, (int)rect.left), y = std::max(0, (int)rect.top);
    int r = std::min(width, (int)std::ceil(rect.right)), b = std::min(height, (int)std::ceil(rect.bottom));
    if (r <= x || b <= y)
        return;
    XImage* image = XCreateImage(display, static_cast<Visual*>(visual), depth, ZPixmap, 0,
                                 reinterpret_cast<char*>(cairo_image_surface_get_data(surface)),
                                 cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface), 32,
                                 cairo_image_surface_get_stride(surface));
    if (!image)
        return;
    image->byte_order = LSBFirst;  // cairo's pixels are native 32-bit words: x86 is little-endian
    ErrorTrap trap(display);
    XPutImage(display, window, gc, image, x, y, x, y, r - x, b - y);
    if (trap.failed())
        alive = false;
    image->data = nullptr;  // the pixels belong to the surface
    XDestroyImage(image);
}

void X11Window::dispatchEvents(CFrame& frame)
{
    if (!alive)
        return;
    ErrorTrap trap(display);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            frame.invalidatePixels(CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                         event.xexpose.y + event.xexpose.height));
            break;
        case ButtonPress: {
            CPoint p{(double)event.xbutton.x, (double)event.xbutton.y};
            if (event.xbutton.button == Button4 || event.xbutton.button == Button5)
                frame.wheelAt(p, event.xbutton.button == Button4 ? 1.0f : -1.0f);
            else if (event.xbutton.button <= Button3)
                frame.mouseDown(p, buttonsOf(0, event.xbutton.button));
            break;
        }
        case ButtonRelease:
            if (event.xbutton.button <= Button3)
                frame.mouseUp({(double)event.xbutton.x, (double)event.xbutton.y}, buttonsOf(0, event.xbutton.button));
            break;
        case MotionNotify:
            frame.mouseMoved({(double)event.xmotion.x, (double)event.xmotion.y}, buttonsOf(event.xmotion.state, 0));
            break;
        case KeyPress:
            if (XLookupKeysym(&event.xkey, 0) == XK_Escape)
                frame.closeOverlay();
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window)
                alive = false;
            break;
        default:
            break;
        }
        if (!alive)
            break;
    }
    if (trap.failed())
        alive = false;
}
