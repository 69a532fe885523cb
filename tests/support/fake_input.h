// Pointer and button events sent to a real X server through XTest, as a user's mouse would.
// Header only: each window-test binary decides by LUSTRANA_HAVE_XTEST whether it has XTest.
#pragma once

#include <X11/Xlib.h>
#ifdef LUSTRANA_HAVE_XTEST
#include <X11/extensions/XTest.h>
#endif

namespace {

// Moves the pointer to (x, y) in window w's coordinates.
inline void fakePointerTo(Display* display, Window w, int x, int y)
{
#ifdef LUSTRANA_HAVE_XTEST
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(display, w, DefaultRootWindow(display), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rx, ry, 0);
    XSync(display, False);
#else
    (void)display, (void)w, (void)x, (void)y;
#endif
}

// Presses or releases mouse button `which` (1 left, 3 right).
inline void fakeButton(Display* display, unsigned int which, bool down)
{
#ifdef LUSTRANA_HAVE_XTEST
    XTestFakeButtonEvent(display, which, down ? True : False, 0);
    XSync(display, False);
#else
    (void)display, (void)which, (void)down;
#endif
}

}  // namespace
