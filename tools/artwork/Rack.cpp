// The rack of spare plates on the left, with the name plate the material menu is written on.
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Layout.h"
#include "tools/artwork/Paint.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace art {

namespace {

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

} // namespace

void drawRack(cairo_t* cr)
{
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
    // the crate's front board hides the plates' feet
    cairo_pattern_t* board = cairo_pattern_create_linear(0, 316, 0, 362);
    cairo_pattern_add_color_stop_rgb(board, 0, 0.46, 0.3, 0.16);
    cairo_pattern_add_color_stop_rgb(board, 1, 0.3, 0.19, 0.1);
    roundedRect(cr, 22, 316, 150, 46, 3);
    cairo_set_source(cr, board);
    cairo_fill(cr);
    cairo_pattern_destroy(board);
    for (int i = 0; i < 9; i++) {  // grain
        double y = 320 + i * 4.6 + random01() * 2;
        cairo_move_to(cr, 24, y);
        cairo_curve_to(cr, 70, y + random01() * 3 - 1.5, 120, y + random01() * 3 - 1.5, 170, y);
        cairo_set_line_width(cr, 0.8);
        cairo_set_source_rgba(cr, 0.15, 0.08, 0.03, 0.35);
        cairo_stroke(cr);
    }
    cairo_rectangle(cr, 22, 316, 150, 1.2);
    cairo_set_source_rgba(cr, 1, 0.85, 0.6, 0.35);
    cairo_fill(cr);
    drawScrew(cr, 30, 339, 2.2, 0.4);
    drawScrew(cr, 164, 339, 2.2, 1.4);
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

} // namespace art
