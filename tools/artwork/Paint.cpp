#include "tools/artwork/Paint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace art {

namespace {
unsigned state = 12345u;  // generator state
}

void seedRandom(unsigned seed) { state = seed; }

double random01()
{
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
}

static void blurLine(uint8_t* p, int count, int stride, int radius, std::vector<int>& tmp)
{
    tmp.resize(count);
    for (int c = 0; c < 4; c++) {
        for (int i = 0; i < count; i++)
            tmp[i] = p[i * stride + c];
        int sum = 0;
        for (int i = -radius; i <= radius; i++)
            sum += tmp[std::clamp(i, 0, count - 1)];
        for (int i = 0; i < count; i++) {
            p[i * stride + c] = (uint8_t)(sum / (2 * radius + 1));
            sum += tmp[std::min(i + radius + 1, count - 1)] - tmp[std::max(i - radius, 0)];
        }
    }
}

void blurSurface(cairo_surface_t* surface, int radius)
{
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(surface, &scaleX, &scaleY);
    radius = (int)std::lround(radius * scaleX);
    if (radius < 1)
        return;
    cairo_surface_flush(surface);
    uint8_t* data = cairo_image_surface_get_data(surface);
    int w = cairo_image_surface_get_width(surface);
    int h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::vector<int> tmp;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < h; y++)
            blurLine(data + y * stride, w, 4, radius, tmp);
        for (int x = 0; x < w; x++)
            blurLine(data + x * 4, h, stride, radius, tmp);
    }
    cairo_surface_mark_dirty(surface);
}

cairo_surface_t* createScratch(cairo_t* cr, int w, int h)
{
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &scaleX, &scaleY);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, (int)std::lround(w * scaleX),
                                                    (int)std::lround(h * scaleY));
    cairo_surface_set_device_scale(s, scaleX, scaleY);
    return s;
}

void addNoise(cairo_t* cr, double x, double y, double w, double h, double amount, double density)
{
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &scaleX, &scaleY);
    unsigned grains = (unsigned)(random01() * 4294967295.0);  // the grains' own sequence
    auto grain = [&grains] {
        grains = grains * 1664525u + 1013904223u;
        return (grains >> 8) / 16777216.0;
    };
    int count = (int)(w * scaleX * h * scaleY * density);
    for (int i = 0; i < count; i++) {
        double px = (x + grain() * w) * scaleX, py = (y + grain() * h) * scaleY;
        double g = grain() < 0.5 ? 0.0 : 1.0;
        cairo_set_source_rgba(cr, g, g, g, amount * grain());
        cairo_rectangle(cr, std::floor(px) / scaleX, std::floor(py) / scaleY, 1 / scaleX, 1 / scaleY);
        cairo_fill(cr);
    }
}

static void selectFont(cairo_t* cr, double size, bool bold, bool serif, bool italic)
{
    cairo_select_font_face(cr, serif ? "Liberation Serif" : "Liberation Sans",
                           italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double textWidth(cairo_t* cr, const char* text, double size, bool bold, double spacing, bool serif,
                 bool italic)
{
    selectFont(cr, size, bold, serif, italic);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    size_t n = std::strlen(text);
    return e.x_advance + (n > 1 ? spacing * (double)(n - 1) : 0.0);
}

void drawText(cairo_t* cr, const char* text, double x, double y, double size, bool bold, Align align,
              double spacing, bool serif, bool italic)
{
    double w = textWidth(cr, text, size, bold, spacing, serif, italic);
    double start = align == Align::Left ? x : align == Align::Centre ? x - w / 2 : x - w;
    if (spacing == 0.0) {
        cairo_move_to(cr, start, y);
        cairo_show_text(cr, text);
        return;
    }
    char one[2] = {0, 0};
    double pos = start;
    for (const char* c = text; *c; c++) {
        one[0] = *c;
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        cairo_move_to(cr, pos, y);
        cairo_show_text(cr, one);
        pos += e.x_advance + spacing;
    }
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void drawScrew(cairo_t* cr, double x, double y, double r, double slotAngle)
{
    cairo_pattern_t* g = cairo_pattern_create_radial(x - r * 0.4, y - r * 0.4, r * 0.1, x, y, r);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.95, 0.94, 0.9);
    cairo_pattern_add_color_stop_rgb(g, 0.6, 0.62, 0.6, 0.56);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.35, 0.33, 0.3);
    cairo_arc(cr, x, y + 0.8, r + 0.6, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, slotAngle);
    cairo_rectangle(cr, -r * 0.85, -r * 0.14, r * 1.7, r * 0.28);
    cairo_set_source_rgba(cr, 0.15, 0.14, 0.12, 0.85);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace art
