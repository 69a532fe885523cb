#include "tests/support/window_picture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <filesystem>

bool writeWindowPng(Display* display, unsigned long window, int width, int height, const std::string& path)
{
    XImage* image = XGetImage(display, (Window)window, 0, 0, (unsigned)width, (unsigned)height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = (uint32_t)XGetPixel(image, x, y) & 0xFFFFFF;
    cairo_surface_mark_dirty(s);
    XDestroyImage(image);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

uint32_t windowPixel(Display* display, unsigned long window, int x, int y)
{
    XImage* image = XGetImage(display, (Window)window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    const uint32_t p = (uint32_t)XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
}
