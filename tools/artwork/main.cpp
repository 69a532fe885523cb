// lustrana-artwork: draws the editor's nine images and writes them as PNG files into the
// folder given on the command line (normally resources/), each twice: <id>.png at the
// window's own size and <id>@2x.png with twice the pixels in each direction, drawn from the
// same vector artwork for zoomed editors. Run by hand; the PNGs are committed.
#include "toolkit/CBitmap.h"
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Layout.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using FrameDrawer = void (*)(cairo_t* cr, int frame, int frames, int width, int height);

// cairo surfaces stop at 32767 rows, the tall strips do not: each frame is drawn on its own
// surface and its rows go straight to libpng (RGBA straight alpha, or RGB). Sizes are in
// drawing units; `density` pixels make one unit. With `across` above 1 the file holds the
// frames that many to a row (named in the text chunk "Frames": "<frames> <across>"; the
// last row is filled up with empty frames): deflate then finds each frame's likeness in
// its neighbour, which it cannot across the 32 KB of a 2× frame stacked below the last.
bool writeStrip(const std::string& folder, int id, int density, int unitWidth, int unitFrameHeight, int frames,
                bool alpha, cairo_surface_t* background, double x, double y, FrameDrawer draw, int across = 1)
{
    char name[32];
    if (density == 1)
        std::snprintf(name, sizeof name, "/%d.png", id);
    else
        std::snprintf(name, sizeof name, "/%d@%dx.png", id, density);
    std::string path = folder + name;
    const int width = unitWidth * density, frameHeight = unitFrameHeight * density;
    const int rows = (frames + across - 1) / across;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<cairo_surface_t*> line((size_t)across, nullptr);  // one row of frames
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width * across, frameHeight * rows, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    char layout[32];
    std::snprintf(layout, sizeof layout, "%d %d", frames, across);
    png_text text = {};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>(CBitmap::kFramesKey);  // the name the editor reads
    text.text = layout;
    if (across > 1)
        png_set_text(png, info, &text, 1);
    png_write_info(png, info);
    std::vector<unsigned char> row((size_t)width * across * 4);
    for (int gy = 0; gy < rows; gy++) {
        for (int k = 0; k < across; k++) {
            int f = gy * across + k;
            cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, frameHeight);
            cairo_surface_set_device_scale(s, density, density);
            if (f < frames) {
                cairo_t* cr = cairo_create(s);
                if (background) {  // opaque parts sit exactly on their piece of the panel
                    cairo_set_source_surface(cr, background, -x, -y);
                    cairo_paint(cr);
                }
                draw(cr, f, frames, unitWidth, unitFrameHeight);
                cairo_destroy(cr);
            }
            cairo_surface_flush(s);
            line[k] = s;
        }
        for (int r = 0; r < frameHeight; r++) {
            unsigned char* out = row.data();
            for (cairo_surface_t* s : line) {
                const uint32_t* px = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) +
                                                                       r * cairo_image_surface_get_stride(s));
                for (int c = 0; c < width; c++) {
                    uint32_t p = px[c];
                    unsigned a = p >> 24, red = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
                    if (alpha && a > 0 && a < 255) {
                        red = (red * 255 + a / 2) / a;
                        g = (g * 255 + a / 2) / a;
                        b = (b * 255 + a / 2) / a;
                    }
                    *out++ = (unsigned char)red;
                    *out++ = (unsigned char)g;
                    *out++ = (unsigned char)b;
                    if (alpha)
                        *out++ = (unsigned char)a;
                }
            }
            png_write_row(png, row.data());
        }
        for (cairo_surface_t*& s : line) {
            cairo_surface_destroy(s);
            s = nullptr;
        }
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    bool ok = std::fclose(file) == 0;
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

double valueOf(int frame, int frames) { return frames > 1 ? (double)frame / (frames - 1) : 0.0; }

bool writeImages(const std::string& folder, int density)
{
    cairo_surface_t* background = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 900 * density, 851 * density);
    cairo_surface_set_device_scale(background, density, density);
    cairo_t* cr = cairo_create(background);
    art::drawRoom(cr);
    art::drawPanel(cr);
    cairo_destroy(cr);
    const int d = density;
    // the 1× strips keep the stacked layout of their description; the 2× knob, meter and
    // scale strips go eight frames to a row (the silver knob's knurls compress better stacked)
    const int rowed = density > 1 ? 8 : 1;
    // the window picture keeps an alpha channel (opaque everywhere)
    bool ok = writeStrip(folder, 101, d, 900, 851, 1, true, background, 0, 0, [](cairo_t*, int, int, int, int) {});
    ok &= writeStrip(folder, 104, d, 48, 47, 2, false, background, 279, 528,
                     [](cairo_t* c, int f, int, int, int) { art::drawPushButton(c, f == 1); });
    ok &= writeStrip(folder, 105, d, 48, 47, 2, false, background, 277, 665,
                     [](cairo_t* c, int f, int, int, int) { art::drawPushButton(c, f == 1); });
    ok &= writeStrip(folder, 106, d, 92, 86, 261, true, nullptr, 0, 0, [](cairo_t* c, int f, int n, int w, int h) {
        art::drawBlackKnob(c, w, h, art::kSmallPivotX, art::kSmallPivotY, art::kSmallRadius, valueOf(f, n));
    }, rowed);
    ok &= writeStrip(folder, 107, d, 148, 132, 261, true, nullptr, 0, 0, [](cairo_t* c, int f, int n, int w, int h) {
        art::drawBlackKnob(c, w, h, art::kLargePivotX, art::kLargePivotY, art::kLargeRadius, valueOf(f, n));
    }, rowed);
    ok &= writeStrip(folder, 108, d, 124, 80, 261, false, nullptr, 0, 0,
                     [](cairo_t* c, int f, int n, int, int) { art::drawMeter(c, valueOf(f, n)); }, rowed);
    ok &= writeStrip(folder, 109, d, 39, 142, 61, false, nullptr, 0, 0,
                     [](cairo_t* c, int f, int n, int, int) { art::drawDecayScale(c, valueOf(f, n)); }, rowed);
    ok &= writeStrip(folder, 110, d, 108, 81, 2, false, background, 752, 760,
                     [](cairo_t* c, int f, int, int, int) { art::drawPowerSwitch(c, f == 1); });
    ok &= writeStrip(folder, 111, d, 38, 34, 261, true, nullptr, 0, 0,
                     [](cairo_t* c, int f, int n, int w, int h) { art::drawSilverKnob(c, w, h, valueOf(f, n)); });
    cairo_surface_destroy(background);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder = argc > 1 ? argv[1] : "resources";
    bool ok = writeImages(folder, 1);
    ok &= writeImages(folder, 2);
    return ok ? 0 : 1;
}
