// The carpet in front of the plate and the valve pre-amplifier standing on it.
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Layout.h"
#include "tools/artwork/Paint.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace art {

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

} // namespace art
