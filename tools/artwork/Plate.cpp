// The hung plate: its stand, springs, brushed sheet, driver, pickups and wiring.
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Layout.h"
#include "tools/artwork/Paint.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace art {

namespace {

void drawSpring(cairo_t* cr, double x0, double y0, double x1, double y1)
{
    double dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
    double nx = -dy / len, ny = dx / len;
    int coils = (int)(len / 2.6);
    cairo_move_to(cr, x0, y0);
    for (int i = 1; i < coils; i++) {
        double t = (double)i / coils, s = (i % 2 ? 2.4 : -2.4);
        cairo_line_to(cr, x0 + dx * t + nx * s, y0 + dy * t + ny * s);
    }
    cairo_line_to(cr, x1, y1);
    cairo_set_line_width(cr, 1.3);
    cairo_set_source_rgba(cr, 0.05, 0.05, 0.05, 0.8);
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 0.6);
    cairo_set_source_rgba(cr, 0.85, 0.85, 0.8, 0.7);
    cairo_stroke(cr);
}

void drawTube(cairo_t* cr, double x0, double y0, double x1, double y1, double width)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_set_line_width(cr, width);
    cairo_set_source_rgb(cr, 0.13, 0.13, 0.14);
    cairo_stroke(cr);
    bool horizontal = std::fabs(y1 - y0) < std::fabs(x1 - x0);
    double ox = horizontal ? 0 : -width * 0.22, oy = horizontal ? -width * 0.22 : 0;
    cairo_move_to(cr, x0 + ox, y0 + oy);
    cairo_line_to(cr, x1 + ox, y1 + oy);
    cairo_set_line_width(cr, width * 0.25);
    cairo_set_source_rgba(cr, 0.85, 0.8, 0.7, 0.35);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void drawSheet(cairo_t* cr)
{
    double w = kSheetRight - kSheetLeft, h = kSheetBottom - kSheetTop;
    cairo_save(cr);
    cairo_rectangle(cr, kSheetLeft, kSheetTop, w, h);
    cairo_clip(cr);
    cairo_pattern_t* base = cairo_pattern_create_linear(kSheetLeft, kSheetTop, kSheetRight, kSheetBottom);
    cairo_pattern_add_color_stop_rgb(base, 0, 0.80, 0.81, 0.80);
    cairo_pattern_add_color_stop_rgb(base, 0.45, 0.62, 0.64, 0.65);
    cairo_pattern_add_color_stop_rgb(base, 1, 0.42, 0.44, 0.46);
    cairo_paint_with_alpha(cr, 1.0);
    cairo_set_source(cr, base);
    cairo_paint(cr);
    cairo_pattern_destroy(base);
    // brushed grain
    for (int i = 0; i < 2600; i++) {
        double y = kSheetTop + random01() * h, x = kSheetLeft - 40 + random01() * (w + 40);
        double len = 30 + random01() * 220;
        bool light = random01() < 0.5;
        cairo_move_to(cr, x, std::floor(y) + 0.5);
        cairo_line_to(cr, x + len, std::floor(y) + 0.5);
        cairo_set_line_width(cr, 1.0);
        cairo_set_source_rgba(cr, light ? 1 : 0, light ? 1 : 0, light ? 1 : 0, 0.02 + 0.05 * random01());
        cairo_stroke(cr);
    }
    // reflection bands of the lamp
    cairo_pattern_t* sheen = cairo_pattern_create_linear(kSheetLeft + 60, kSheetTop, kSheetLeft + 330, kSheetBottom);
    cairo_pattern_add_color_stop_rgba(sheen, 0.0, 1, 1, 1, 0.0);
    cairo_pattern_add_color_stop_rgba(sheen, 0.42, 1, 0.97, 0.9, 0.28);
    cairo_pattern_add_color_stop_rgba(sheen, 0.55, 1, 0.97, 0.9, 0.05);
    cairo_pattern_add_color_stop_rgba(sheen, 0.7, 1, 1, 1, 0.14);
    cairo_pattern_add_color_stop_rgba(sheen, 1.0, 1, 1, 1, 0.0);
    cairo_set_source(cr, sheen);
    cairo_paint(cr);
    cairo_pattern_destroy(sheen);
    // the lamp lights the middle; the corners fall off
    cairo_pattern_t* falloff = cairo_pattern_create_radial((kSheetLeft + kSheetRight) / 2, kSheetTop + h * 0.4, h * 0.3,
                                                           (kSheetLeft + kSheetRight) / 2, kSheetTop + h * 0.4, w * 0.62);
    cairo_pattern_add_color_stop_rgba(falloff, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(falloff, 1, 0.05, 0.03, 0, 0.32);
    cairo_set_source(cr, falloff);
    cairo_paint(cr);
    cairo_pattern_destroy(falloff);
    cairo_restore(cr);
    // edges
    cairo_rectangle(cr, kSheetLeft + 0.5, kSheetTop + 0.5, w - 1, h - 1);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0.1, 0.1, 0.1, 0.8);
    cairo_stroke(cr);
    cairo_move_to(cr, kSheetLeft + 1, kSheetTop + 1.5);
    cairo_line_to(cr, kSheetRight - 1, kSheetTop + 1.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
    cairo_stroke(cr);
    // mounting holes at the spring points
    for (int i = 0; i < 8; i++) {
        double x = kSheetLeft + 18 + i * (w - 36) / 7;
        for (double y : {kSheetTop + 4.0, kSheetBottom - 4.0}) {
            cairo_arc(cr, x, y, 1.8, 0, 2 * kPi);
            cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
            cairo_fill(cr);
        }
    }
}

void drawTransducer(cairo_t* cr, double x, double y, double r, bool brass)
{
    cairo_arc(cr, x + 2, y + 3, r + 2, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    cairo_pattern_t* ring = cairo_pattern_create_linear(x - r, y - r, x + r, y + r);
    if (brass) {
        cairo_pattern_add_color_stop_rgb(ring, 0, 0.98, 0.86, 0.5);
        cairo_pattern_add_color_stop_rgb(ring, 1, 0.5, 0.36, 0.12);
    } else {
        cairo_pattern_add_color_stop_rgb(ring, 0, 0.7, 0.7, 0.7);
        cairo_pattern_add_color_stop_rgb(ring, 1, 0.25, 0.25, 0.25);
    }
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_set_source(cr, ring);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);
    cairo_pattern_t* body = cairo_pattern_create_radial(x - r * 0.3, y - r * 0.3, 0, x, y, r * 0.78);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.32, 0.32, 0.34);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.04, 0.04, 0.05);
    cairo_arc(cr, x, y, r * 0.78, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_arc(cr, x, y, r * 0.28, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.55, 0.5, 0.42);
    cairo_fill(cr);
    cairo_arc(cr, x - r * 0.08, y - r * 0.08, r * 0.12, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
    cairo_fill(cr);
}

void drawCable(cairo_t* cr, double x0, double y0, double cx0, double cy0, double cx1, double cy1, double x1,
               double y1)
{
    cairo_move_to(cr, x0, y0);
    cairo_curve_to(cr, cx0, cy0, cx1, cy1, x1, y1);
    cairo_set_line_width(cr, 3.0);
    cairo_set_source_rgb(cr, 0.06, 0.05, 0.05);
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_stroke(cr);
}

} // namespace

void drawPlate(cairo_t* cr)
{
    // shadow of the stand on the floor
    cairo_save(cr);
    cairo_translate(cr, 602, 472);
    cairo_scale(cr, 1.0, 0.08);
    cairo_pattern_t* shadow = cairo_pattern_create_radial(0, 0, 0, 0, 0, 300);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    cairo_arc(cr, 0, 0, 300, 0, 2 * kPi);
    cairo_set_source(cr, shadow);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);
    cairo_restore(cr);
    // legs and feet
    for (double x : {376.0, 828.0}) {
        drawTube(cr, x, 342, x, 470, 9);
        roundedRect(cr, x - 22, 468, 44, 6, 2);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_fill(cr);
    }
    // frame
    drawTube(cr, 376, 56, 828, 56, 10);
    drawTube(cr, 376, 338, 828, 338, 10);
    drawTube(cr, 376, 56, 376, 338, 10);
    drawTube(cr, 828, 56, 828, 338, 10);
    for (double x : {376.0, 828.0})
        for (double y : {56.0, 338.0})
            drawScrew(cr, x, y, 3.2, 0.6);
    drawSheet(cr);
    double w = kSheetRight - kSheetLeft;
    for (int i = 0; i < 8; i++) {
        double x = kSheetLeft + 18 + i * (w - 36) / 7;
        drawSpring(cr, x, 61, x, kSheetTop + 4);
        drawSpring(cr, x, kSheetBottom - 4, x, 333);
    }
    for (int i = 0; i < 3; i++) {
        double y = kSheetTop + 40 + i * 80;
        drawSpring(cr, 381, y, kSheetLeft + 3, y);
        drawSpring(cr, kSheetRight - 3, y, 823, y);
    }
    // driver at the centre, pickups towards the corners, and their wiring
    double cx = (kSheetLeft + kSheetRight) / 2, cy = (kSheetTop + kSheetBottom) / 2;
    drawCable(cr, cx, cy + 12, cx + 4, cy + 70, cx - 20, 290, cx - 12, 342);
    drawCable(cr, 470, 125, 460, 190, 430, 260, 420, 342);
    drawCable(cr, 737, 270, 745, 300, 770, 320, 786, 342);
    drawTransducer(cr, cx, cy, 17, true);
    drawTransducer(cr, 470, 118, 8, false);
    drawTransducer(cr, 737, 264, 8, false);
}

} // namespace art
