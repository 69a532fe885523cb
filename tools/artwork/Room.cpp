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
