// X11Window: the frame's child window inside the host's window, on a display connection of
// its own (opened here, closed with the window). Pixels are drawn into a cairo image surface
// elsewhere and only uploaded here with XPutImage, so no cairo X11 surface (and no cairo
// device cached per connection) is involved. Events are read when the frame asks, in the
// editor's idle step; no thread is started. X errors (a parent that does not exist, or a
// window the host destroyed before closing the editor) are caught, not fatal.
// [UI thread]
#pragma once

#include "toolkit/CGraphics.h"

#include <cairo.h>

struct _XDisplay;
struct _XGC;
class CFrame;

class X11Window {
public:
    // A mapped child window of `parent`, or nullptr when there is no display, the parent
    // does not exist or the screen has no 24-bit true-colour visual.
    static X11Window* create(unsigned long parent, int width, int height);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    unsigned long getWindowId() const { return window; }
    bool isAlive() const { return alive; }

    // Gives the child window a new size (the frame's surface follows).
    void resize(int width, int height);
    // Copies the rectangle of the surface (the window's size) to the window.
    void upload(cairo_surface_t* surface, const CRect& rect);
    // Feeds every queued event to the frame; exposed areas come back through invalidate.
    void dispatchEvents(CFrame& frame);

    // The X resource Xft.dpi of the display in DISPLAY (the desktop's font resolution), or
    // 0 when there is no display or no such resource. Opens a connection for the moment.
    static double resourceDpi();

private:
    X11Window() = default;

    _XDisplay* display = nullptr;   // our own connection
    unsigned long window = 0;       // the child window
    unsigned long colormap = 0;     // its colour map
    _XGC* gc = nullptr;             // graphics context for XPutImage
    void* visual = nullptr;         // the true-colour Visual*
    int depth = 24;                 // its depth
    int width = 0, height = 0;      // window size, pixels
    bool alive = false;             // no X error has hit the window
};
