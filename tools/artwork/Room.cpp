// The room above the panel: wall, floor, the hung plate, the rack of spare plates, the carpet
// with the valve pre-amplifier, and the title.
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Layout.h"
#include "tools/artwork/Paint.h"

#include <algorithm>
#include <initializer_list>

#include <cmath>

namespace art {

namespace {

void drawWallAndFloor(cairo_t* cr)
{
    cairo_pattern_t* wall = cairo_pattern_create_linear(0, 0, 0, 360);
    cairo_pattern_add_color_stop_rgb(wall, 0, 0.09, 0.075, 0.065);
    cairo_pattern_add_color_stop_rgb(wall, 1, 0.19, 0.155, 0.125);
    cairo_rectangle(cr, 0, 0, 900, 362);
    cairo_set_source(cr, wall);
    cairo_fill(cr);
    cairo_pattern_destroy(wall);
    // wooden wall boards
    for (double x = 0; x < 900; x += 46) {
        double tone = 0.03 * (random01() - 0.5);
        cairo_rectangle(cr, x, 0, 46, 352);
        cairo_set_source_rgba(cr, 0.5 + tone, 0.35, 0.2, 0.05 + tone);
        cairo_fill(cr);
        cairo_rectangle(cr, x, 0, 1.2, 352);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
        cairo_fill(cr);
        cairo_rectangle(cr, x + 1.2, 0, 0.8, 352);
        cairo_set_source_rgba(cr, 1, 0.9, 0.7, 0.05);
        cairo_fill(cr);
    }
    addNoise(cr, 0, 0, 900, 352, 0.05, 0.25);
    // skirting board
    cairo_rectangle(cr, 0, 346, 900, 14);
    cairo_set_source_rgb(cr, 0.1, 0.075, 0.055);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 346, 900, 1.5);
    cairo_set_source_rgba(cr, 1, 0.85, 0.6, 0.12);
    cairo_fill(cr);
    // floor boards in perspective towards the plate
    cairo_pattern_t* floor = cairo_pattern_create_linear(0, 360, 0, 500);
    cairo_pattern_add_color_stop_rgb(floor, 0, 0.14, 0.095, 0.06);
    cairo_pattern_add_color_stop_rgb(floor, 1, 0.27, 0.18, 0.105);
    cairo_rectangle(cr, 0, 360, 900, 140);
    cairo_set_source(cr, floor);
    cairo_fill(cr);
    cairo_pattern_destroy(floor);
    cairo_set_line_width(cr, 1.0);
    for (int i = -30; i <= 30; i++) {
        double top = 450 + i * 22.0, bottom = 450 + i * 58.0;
        cairo_move_to(cr, top, 360);
        cairo_line_to(cr, bottom, 500);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
        cairo_stroke(cr);
    }
    for (double y : {372.0, 389.0, 410.0, 436.0, 466.0}) {
        cairo_move_to(cr, 0, y);
        cairo_line_to(cr, 900, y);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
        cairo_stroke(cr);
    }
    addNoise(cr, 0, 360, 900, 140, 0.06, 0.3);
}

void drawLightPool(cairo_t* cr)
{
    cairo_pattern_t* glow = cairo_pattern_create_radial(602, 170, 10, 602, 200, 470);
    cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.86, 0.62, 0.30);
    cairo_pattern_add_color_stop_rgba(glow, 0.45, 1.0, 0.8, 0.55, 0.12);
    cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.8, 0.55, 0.0);
    cairo_rectangle(cr, 0, 0, 900, 500);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

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

void drawRackPlate(cairo_t* cr, double x, double top, double w, double lean, double r, double g, double b,
                   double thickness)
{
    double bottom = 366;
    cairo_save(cr);
    cairo_move_to(cr, x, bottom);
    cairo_line_to(cr, x + lean, top);
    cairo_line_to(cr, x + lean + w, top);
    cairo_line_to(cr, x + w, bottom);
    cairo_close_path(cr);
    cairo_pattern_t* face = cairo_pattern_create_linear(x, top, x + w, bottom);
    cairo_pattern_add_color_stop_rgb(face, 0, r * 1.25, g * 1.25, b * 1.25);
    cairo_pattern_add_color_stop_rgb(face, 0.5, r, g, b);
    cairo_pattern_add_color_stop_rgb(face, 1, r * 0.55, g * 0.55, b * 0.55);
    cairo_set_source(cr, face);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(face);
    cairo_clip_preserve(cr);
    cairo_pattern_t* sheen = cairo_pattern_create_linear(x, top, x + w * 1.4, top + 120);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0);
    cairo_pattern_add_color_stop_rgba(sheen, 0.5, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    cairo_restore(cr);
    // right edge thickness and top edge highlight
    cairo_move_to(cr, x + w, bottom);
    cairo_line_to(cr, x + lean + w, top);
    cairo_line_to(cr, x + lean + w + thickness, top + 1);
    cairo_line_to(cr, x + w + thickness, bottom);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, r * 0.35, g * 0.35, b * 0.35);
    cairo_fill(cr);
    cairo_move_to(cr, x + lean, top + 0.5);
    cairo_line_to(cr, x + lean + w, top + 0.5);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.45);
    cairo_stroke(cr);
    cairo_arc(cr, x + lean + 7, top + 7, 1.6, 0, 2 * kPi);
    cairo_arc(cr, x + lean + w - 7, top + 7, 1.6, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    cairo_fill(cr);
}

void drawRack(cairo_t* cr)
{
    // uprights behind the plates
    for (double x : {30.0, 156.0}) {
        cairo_rectangle(cr, x, 196, 8, 172);
        cairo_set_source_rgb(cr, 0.22, 0.14, 0.08);
        cairo_fill(cr);
        cairo_rectangle(cr, x, 196, 2, 172);
        cairo_set_source_rgba(cr, 1, 0.8, 0.6, 0.15);
        cairo_fill(cr);
    }
    cairo_rectangle(cr, 26, 200, 142, 6);
    cairo_set_source_rgb(cr, 0.25, 0.16, 0.09);
    cairo_fill(cr);
    struct { double x, top, w, lean, r, g, b, t; } plates[] = {
        {36, 150, 104, -9, 0.56, 0.58, 0.6, 2},     // standard steel
        {44, 170, 100, -7, 0.46, 0.47, 0.49, 4},    // thick steel
        {52, 188, 98, -5, 0.36, 0.33, 0.31, 2},     // thin iron
        {60, 206, 96, -3, 0.72, 0.56, 0.27, 1.5},   // thin brass
        {68, 226, 92, -1, 0.24, 0.22, 0.24, 3},     // elastic
    };
    for (auto& p : plates) {
        // soft shadow of the plate in front on the one behind
        cairo_rectangle(cr, p.x - 6, p.top + 6, 6, 366 - p.top - 6);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
        cairo_fill(cr);
        drawRackPlate(cr, p.x, p.top, p.w, p.lean, p.r, p.g, p.b, p.t);
    }
    // base with its slots
    cairo_pattern_t* wood = cairo_pattern_create_linear(0, 360, 0, 380);
    cairo_pattern_add_color_stop_rgb(wood, 0, 0.42, 0.27, 0.14);
    cairo_pattern_add_color_stop_rgb(wood, 1, 0.2, 0.12, 0.06);
    roundedRect(cr, 20, 360, 154, 18, 2);
    cairo_set_source(cr, wood);
    cairo_fill(cr);
    cairo_pattern_destroy(wood);
    addNoise(cr, 20, 360, 154, 18, 0.08, 0.5);
    cairo_rectangle(cr, 20, 360, 154, 1.2);
    cairo_set_source_rgba(cr, 1, 0.85, 0.6, 0.3);
    cairo_fill(cr);
    // enamel name plate that the material menu is written on
    roundedRect(cr, 8, 383, 168, 23, 3);
    cairo_set_source_rgb(cr, 0.55, 0.42, 0.2);
    cairo_fill(cr);
    cairo_pattern_t* enamel = cairo_pattern_create_linear(0, 385, 0, 404);
    cairo_pattern_add_color_stop_rgb(enamel, 0, 0.95, 0.92, 0.84);
    cairo_pattern_add_color_stop_rgb(enamel, 1, 0.84, 0.8, 0.7);
    roundedRect(cr, 10, 385, 164, 19, 2);
    cairo_set_source(cr, enamel);
    cairo_fill(cr);
    cairo_pattern_destroy(enamel);
    drawScrew(cr, 14.5, 394.5, 2, 0.3);
    drawScrew(cr, 169.5, 394.5, 2, 1.2);
}

void drawCarpetAndPreamp(cairo_t* cr)
{
    // carpet
    cairo_move_to(cr, 470, 414);
    cairo_line_to(cr, 760, 414);
    cairo_line_to(cr, 808, 494);
    cairo_line_to(cr, 420, 494);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.36, 0.07, 0.06);
    cairo_fill(cr);
    cairo_move_to(cr, 480, 419);
    cairo_line_to(cr, 750, 419);
    cairo_line_to(cr, 792, 489);
    cairo_line_to(cr, 436, 489);
    cairo_close_path(cr);
    cairo_set_line_width(cr, 3);
    cairo_set_source_rgb(cr, 0.7, 0.52, 0.25);
    cairo_stroke(cr);
    cairo_move_to(cr, 490, 425);
    cairo_line_to(cr, 740, 425);
    cairo_line_to(cr, 775, 483);
    cairo_line_to(cr, 452, 483);
    cairo_close_path(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgb(cr, 0.12, 0.1, 0.25);
    cairo_stroke(cr);
    for (int i = 0; i < 7; i++) {   // medallions
        double x = 500 + i * 40 + (i % 2) * 4, y = 470;
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, 1, 0.45);
        cairo_move_to(cr, 0, -12);
        cairo_line_to(cr, 9, 0);
        cairo_line_to(cr, 0, 12);
        cairo_line_to(cr, -9, 0);
        cairo_close_path(cr);
        cairo_restore(cr);
        cairo_set_source_rgba(cr, 0.78, 0.6, 0.3, 0.7);
        cairo_fill(cr);
    }
    addNoise(cr, 420, 414, 390, 80, 0.1, 0.35);
    for (double x = 422; x < 808; x += 4) {   // fringe
        cairo_move_to(cr, x, 494);
        cairo_line_to(cr, x + 0.5, 499);
        cairo_set_line_width(cr, 1);
        cairo_set_source_rgba(cr, 0.85, 0.78, 0.62, 0.6);
        cairo_stroke(cr);
    }
    // the pre-amplifier box: shadow, top, valves, front
    cairo_save(cr);
    cairo_translate(cr, 614, 444);
    cairo_scale(cr, 1, 0.12);
    cairo_pattern_t* shadow = cairo_pattern_create_radial(0, 0, 0, 0, 0, 120);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.75);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    cairo_arc(cr, 0, 0, 120, 0, 2 * kPi);
    cairo_set_source(cr, shadow);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);
    cairo_restore(cr);
    cairo_move_to(cr, 532, 350);
    cairo_line_to(cr, 696, 350);
    cairo_line_to(cr, 706, 366);
    cairo_line_to(cr, 522, 366);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.3, 0.29, 0.28);
    cairo_fill(cr);
    for (double vx : {580.0, 648.0}) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(vx, 336, 0, vx, 336, 34);
        cairo_pattern_add_color_stop_rgba(glow, 0, 1, 0.55, 0.15, 0.45);
        cairo_pattern_add_color_stop_rgba(glow, 1, 1, 0.5, 0.1, 0);
        cairo_arc(cr, vx, 336, 34, 0, 2 * kPi);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
        roundedRect(cr, vx - 9, 314, 18, 44, 8);
        cairo_set_source_rgba(cr, 0.75, 0.78, 0.8, 0.35);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.45);
        cairo_stroke(cr);
        cairo_rectangle(cr, vx - 5, 326, 10, 20);
        cairo_set_source_rgba(cr, 0.2, 0.2, 0.22, 0.8);
        cairo_fill(cr);
        cairo_rectangle(cr, vx - 1.5, 330, 3, 12);
        cairo_set_source_rgb(cr, 1, 0.62, 0.2);
        cairo_fill(cr);
        cairo_rectangle(cr, vx - 7, 311, 14, 4);
        cairo_set_source_rgba(cr, 0.6, 0.6, 0.65, 0.8);
        cairo_fill(cr);
        roundedRect(cr, vx - 11, 354, 22, 6, 1.5);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_fill(cr);
    }
    cairo_pattern_t* front = cairo_pattern_create_linear(0, 366, 0, 440);
    cairo_pattern_add_color_stop_rgb(front, 0, 0.2, 0.11, 0.08);
    cairo_pattern_add_color_stop_rgb(front, 1, 0.1, 0.05, 0.04);
    cairo_rectangle(cr, 522, 366, 184, 72);
    cairo_set_source(cr, front);
    cairo_fill(cr);
    cairo_pattern_destroy(front);
    addNoise(cr, 522, 366, 184, 72, 0.1, 0.6);
    cairo_rectangle(cr, 522, 366, 184, 1.5);
    cairo_set_source_rgba(cr, 1, 0.9, 0.8, 0.35);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.85, 0.78, 0.62);
    drawText(cr, "VALVE PRE-AMPLIFIER", 614, 387, 8.5, true, Align::Centre, 1.6);
    cairo_pattern_t* strip = cairo_pattern_create_linear(0, 394, 0, 417);
    cairo_pattern_add_color_stop_rgb(strip, 0, 0.93, 0.93, 0.9);
    cairo_pattern_add_color_stop_rgb(strip, 0.5, 0.78, 0.78, 0.76);
    cairo_pattern_add_color_stop_rgb(strip, 1, 0.9, 0.9, 0.88);
    roundedRect(cr, 531, 394, 166, 22, 3);
    cairo_set_source(cr, strip);
    cairo_fill(cr);
    cairo_pattern_destroy(strip);
    roundedRect(cr, 531.5, 394.5, 165, 21, 3);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_stroke(cr);
    for (double kx : {548.0, 614.0, 680.0}) {
        cairo_arc(cr, kx, 428, 5, 0, 2 * kPi);
        cairo_set_source_rgb(cr, 0.75, 0.74, 0.7);
        cairo_fill(cr);
        cairo_arc(cr, kx - 1, 427, 2, 0, 2 * kPi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.7);
        cairo_fill(cr);
    }
    cairo_arc(cr, 530 + 6, 378, 3.5, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 1, 0.6, 0.15);
    cairo_fill(cr);
    for (double fx : {528.0, 690.0}) {
        cairo_rectangle(cr, fx, 438, 10, 4);
        cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
        cairo_fill(cr);
    }
}

void drawTitle(cairo_t* cr)
{
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    drawText(cr, "Lustrana", 26, 58, 44, true, Align::Left, 0.5, true, true);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, 22, 0, 58);
    cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.93, 0.72);
    cairo_pattern_add_color_stop_rgb(gold, 1, 0.78, 0.6, 0.3);
    cairo_set_source(cr, gold);
    drawText(cr, "Lustrana", 24, 56, 44, true, Align::Left, 0.5, true, true);
    cairo_pattern_destroy(gold);
    cairo_rectangle(cr, 26, 66, 168, 1);
    cairo_set_source_rgba(cr, 0.9, 0.75, 0.45, 0.6);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0.9, 0.82, 0.66, 0.85);
    drawText(cr, "PLATE  REVERBERATOR", 26, 82, 10, false, Align::Left, 2.6);
}

void drawVignette(cairo_t* cr)
{
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, 900, 500);
    cairo_clip(cr);
    cairo_pattern_t* v = cairo_pattern_create_radial(560, 230, 180, 520, 250, 640);
    cairo_pattern_add_color_stop_rgba(v, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(v, 1, 0, 0, 0, 0.6);
    cairo_set_source(cr, v);
    cairo_paint(cr);
    cairo_pattern_destroy(v);
    cairo_restore(cr);
}

} // namespace

void drawRoom(cairo_t* cr)
{
    seedRandom(7);
    drawWallAndFloor(cr);
    drawLightPool(cr);
    drawPlate(cr);
    drawVignette(cr);
    drawRack(cr);
    drawCarpetAndPreamp(cr);
    drawTitle(cr);
}

} // namespace art
