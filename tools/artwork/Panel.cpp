// The cream front panel: printed scales, captions, windows and the dividing line.
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Layout.h"
#include "tools/artwork/Paint.h"

#include <algorithm>
#include <initializer_list>

#include <cmath>
#include <cstdio>

namespace art {

namespace {

const double kInk[3] = {0.2, 0.16, 0.12};  // printing colour

void ink(cairo_t* cr, double alpha = 1.0) { cairo_set_source_rgba(cr, kInk[0], kInk[1], kInk[2], alpha); }

void drawRecess(cairo_t* cr, double x, double y, double w, double h)
{
    roundedRect(cr, x, y, w, h, 3);
    cairo_set_source_rgba(cr, 0.45, 0.38, 0.25, 0.16);
    cairo_fill(cr);
    cairo_rectangle(cr, x + 2, y, w - 4, 1.2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
    cairo_fill(cr);
    cairo_rectangle(cr, x + 2, y + h - 1, w - 4, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
    cairo_fill(cr);
}

void drawScale(cairo_t* cr, double cx, double cy, double inner, double outer, double numbers, double fontSize)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i <= 20; i++) {
        double a = knobAngle(i / 20.0);
        bool major = i % 2 == 0;
        double r0 = major ? inner : inner + (outer - inner) * 0.45;
        cairo_move_to(cr, cx + r0 * std::sin(a), cy - r0 * std::cos(a));
        cairo_line_to(cr, cx + outer * std::sin(a), cy - outer * std::cos(a));
        cairo_set_line_width(cr, major ? 1.6 : 1.0);
        ink(cr, major ? 0.95 : 0.7);
        cairo_stroke(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_arc(cr, cx, cy, outer + 0.5, kKnobStart - kPi / 2, kKnobEnd - kPi / 2);
    cairo_set_line_width(cr, 0.8);
    ink(cr, 0.45);
    cairo_stroke(cr);
    for (int i = 0; i <= 10; i++) {
        double a = knobAngle(i / 10.0);
        char label[4];
        std::snprintf(label, sizeof label, "%d", i);
        ink(cr);
        drawText(cr, label, cx + numbers * std::sin(a), cy - numbers * std::cos(a) + fontSize * 0.36, fontSize, true);
    }
}

void drawCaption(cairo_t* cr, const char* text, double x, double y, double size = 11.0)
{
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    drawText(cr, text, x, y + 1, size, true, Align::Centre, 2.0);
    ink(cr);
    drawText(cr, text, x, y, size, true, Align::Centre, 2.0);
}

void drawBase(cairo_t* cr)
{
    // shadow the panel casts onto the floor behind it
    cairo_pattern_t* drop = cairo_pattern_create_linear(0, 486, 0, 500);
    cairo_pattern_add_color_stop_rgba(drop, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(drop, 1, 0, 0, 0, 0.7);
    cairo_rectangle(cr, 0, 486, 900, 14);
    cairo_set_source(cr, drop);
    cairo_fill(cr);
    cairo_pattern_destroy(drop);
    cairo_pattern_t* cream = cairo_pattern_create_linear(0, kPanelTop, 0, 851);
    cairo_pattern_add_color_stop_rgb(cream, 0, 0.95, 0.91, 0.81);
    cairo_pattern_add_color_stop_rgb(cream, 1, 0.87, 0.81, 0.68);
    cairo_rectangle(cr, 0, kPanelTop, 900, 851 - kPanelTop);
    cairo_set_source(cr, cream);
    cairo_fill(cr);
    cairo_pattern_destroy(cream);
    cairo_pattern_t* light = cairo_pattern_create_radial(450, 560, 50, 450, 650, 560);
    cairo_pattern_add_color_stop_rgba(light, 0, 1, 1, 0.95, 0.12);
    cairo_pattern_add_color_stop_rgba(light, 1, 0.3, 0.2, 0.1, 0.12);
    cairo_rectangle(cr, 0, kPanelTop, 900, 851 - kPanelTop);
    cairo_set_source(cr, light);
    cairo_fill(cr);
    cairo_pattern_destroy(light);
    addNoise(cr, 0, kPanelTop, 900, 851 - kPanelTop, 0.05, 0.5);
    cairo_rectangle(cr, 0, kPanelTop, 900, 1.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.7);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 849, 900, 2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
}

void drawTimeSection(cairo_t* cr)
{
    // bezel of the decay-time window
    roundedRect(cr, 217, 540, 51, 154, 5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
    cairo_fill(cr);
    roundedRect(cr, 218, 541, 49, 151, 4.5);
    cairo_pattern_t* bezel = cairo_pattern_create_linear(218, 0, 267, 0);
    cairo_pattern_add_color_stop_rgb(bezel, 0, 0.25, 0.24, 0.22);
    cairo_pattern_add_color_stop_rgb(bezel, 0.5, 0.08, 0.08, 0.08);
    cairo_pattern_add_color_stop_rgb(bezel, 1, 0.2, 0.19, 0.18);
    cairo_set_source(cr, bezel);
    cairo_fill(cr);
    cairo_pattern_destroy(bezel);
    drawCaption(cr, "TIME", 242.5, 717, 10);
    drawCaption(cr, "UP", 303, 522, 10);
    drawCaption(cr, "DOWN", 301, 717, 10);
    // arrows printed between the buttons, pointing at them
    ink(cr, 0.8);
    cairo_move_to(cr, 303, 584); cairo_line_to(cr, 297, 592); cairo_line_to(cr, 309, 592); cairo_close_path(cr);
    cairo_fill(cr);
    cairo_move_to(cr, 301, 656); cairo_line_to(cr, 295, 648); cairo_line_to(cr, 307, 648); cairo_close_path(cr);
    cairo_fill(cr);
    cairo_rectangle(cr, 301.5, 596, 1, 48);
    ink(cr, 0.35);
    cairo_fill(cr);
}

void drawMeterHousing(cairo_t* cr)
{
    drawRecess(cr, 350, 511, 200, 22);
    roundedRect(cr, 379, 563, 145, 100, 9);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    roundedRect(cr, 377, 561, 146, 99, 9);
    cairo_pattern_t* chrome = cairo_pattern_create_linear(0, 561, 0, 660);
    cairo_pattern_add_color_stop_rgb(chrome, 0, 0.92, 0.92, 0.9);
    cairo_pattern_add_color_stop_rgb(chrome, 0.45, 0.55, 0.55, 0.55);
    cairo_pattern_add_color_stop_rgb(chrome, 0.55, 0.75, 0.75, 0.74);
    cairo_pattern_add_color_stop_rgb(chrome, 1, 0.35, 0.35, 0.35);
    cairo_set_source(cr, chrome);
    cairo_fill(cr);
    cairo_pattern_destroy(chrome);
    roundedRect(cr, 383, 567, 134, 90, 6);
    cairo_set_source_rgb(cr, 0.07, 0.06, 0.06);
    cairo_fill(cr);
    drawScrew(cr, 385, 569, 2, 0.4);
    drawScrew(cr, 515, 569, 2, 1.1);
    drawScrew(cr, 385, 651, 2, 2.0);
    drawScrew(cr, 515, 651, 2, 0.9);
    drawCaption(cr, "LEVEL TO PLATE", 451, 680, 10);
}

void drawMixSection(cairo_t* cr)
{
    const double cx = 627 + kMixPivotX, cy = 550 + kMixPivotY;
    for (int i = 0; i <= 10; i++) {
        double a = knobAngle(i / 10.0);
        cairo_move_to(cr, cx + 17 * std::sin(a), cy - 17 * std::cos(a));
        cairo_line_to(cr, cx + 21 * std::sin(a), cy - 21 * std::cos(a));
        cairo_set_line_width(cr, i % 5 == 0 ? 1.6 : 0.9);
        ink(cr, 0.8);
        cairo_stroke(cr);
    }
    drawCaption(cr, "DRY", 603, 585, 10);
    drawCaption(cr, "WET", 690, 585, 10);
    // a strip of tape with the hand-written name
    cairo_save(cr);
    cairo_translate(cr, cx, 602);
    cairo_rotate(cr, -0.035);
    cairo_rectangle(cr, -20, -8, 40, 14);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.15);
    cairo_fill(cr);
    cairo_rectangle(cr, -21, -9, 40, 14);
    cairo_set_source_rgb(cr, 0.98, 0.97, 0.9);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.12, 0.35);
    drawText(cr, "MIX", -1, 2, 11, true, Align::Centre, 1.0, true, true);
    cairo_restore(cr);
}

} // namespace

void drawPanel(cairo_t* cr)
{
    seedRandom(11);
    drawBase(cr);
    drawRecess(cr, 8, 502, 168, 17);
    for (const KnobSpot& k : kKnobs) {
        if (k.large) {
            drawScale(cr, k.x, k.y, kLargeRadius + 12, kLargeRadius + 19, kLargeRadius + 28, 10);
            drawCaption(cr, k.caption, k.x, 706, 12);
        } else {
            drawScale(cr, k.x, k.y, kSmallRadius + 7, kSmallRadius + 12, kSmallRadius + 20, 8);
            drawCaption(cr, k.caption, k.x, k.y > 700 ? 843 : 717, 10);
        }
    }
    drawTimeSection(cr);
    drawMeterHousing(cr);
    drawMixSection(cr);
    // dividing line between the rows
    cairo_rectangle(cr, 16, kDividerY, 868, 1);
    ink(cr, 0.55);
    cairo_fill(cr);
    cairo_rectangle(cr, 16, kDividerY + 1, 868, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
    cairo_fill(cr);
    drawScrew(cr, 887, 513, 4.5, 0.7);
    drawScrew(cr, 13, 838, 4.5, 1.9);
    drawScrew(cr, 887, 838, 4.5, 2.6);
    drawScrew(cr, 730, 513, 4.5, 1.2);
}

} // namespace art
