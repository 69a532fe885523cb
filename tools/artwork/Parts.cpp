// The moving parts: knob strips, meter, decay-time scale, power switch and push buttons.
// Light always comes from the top left; only the shapes turn with the value.
#include "tools/artwork/Artwork.h"
#include "tools/artwork/Paint.h"

#include <algorithm>
#include <initializer_list>

#include <cmath>
#include <cstdio>

namespace art {

namespace {

void knobOutline(cairo_t* cr, double x, double y, double r, double angle, double noseLength)
{
    double dir = angle - kPi / 2;  // cairo angle of the pointing direction
    double half = 0.55;
    cairo_new_path(cr);
    cairo_arc(cr, x, y, r, dir + half, dir - half + 2 * kPi);
    cairo_line_to(cr, x + noseLength * std::cos(dir), y + noseLength * std::sin(dir));
    cairo_close_path(cr);
}

} // namespace

void drawBlackKnob(cairo_t* cr, int width, int height, double px, double py, double r, double value)
{
    double a = knobAngle(value), nose = r * 1.34;
    // soft shadow, blurred on its own surface
    cairo_surface_t* shadow = createScratch(cr, width, height);
    cairo_t* sc = cairo_create(shadow);
    knobOutline(sc, px + r * 0.07, py + r * 0.14, r * 1.02, a, nose * 1.02);
    cairo_set_source_rgba(sc, 0, 0, 0, 0.62);
    cairo_fill(sc);
    cairo_destroy(sc);
    blurSurface(shadow, std::max(2, (int)(r * 0.08)));
    cairo_set_source_surface(cr, shadow, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(shadow);
    // skirt with the nose
    knobOutline(cr, px, py, r, a, nose);
    cairo_pattern_t* skirt = cairo_pattern_create_linear(px - r, py - r, px + r, py + r);
    cairo_pattern_add_color_stop_rgb(skirt, 0, 0.3, 0.3, 0.31);
    cairo_pattern_add_color_stop_rgb(skirt, 0.5, 0.09, 0.09, 0.1);
    cairo_pattern_add_color_stop_rgb(skirt, 1, 0.02, 0.02, 0.02);
    cairo_set_source(cr, skirt);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(skirt);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.9);
    cairo_stroke(cr);
    // grip flutes on the skirt, turning with the knob
    for (int i = 0; i < 36; i++) {
        double g = a + i * 2 * kPi / 36 - kPi / 2;
        double diff = std::remainder(g - (a - kPi / 2), 2 * kPi);
        if (std::fabs(diff) < 0.5)
            continue;
        cairo_move_to(cr, px + r * 0.84 * std::cos(g), py + r * 0.84 * std::sin(g));
        cairo_line_to(cr, px + r * 0.98 * std::cos(g), py + r * 0.98 * std::sin(g));
        double lit = 0.5 + 0.5 * std::cos(g + 3 * kPi / 4);  // facing the light
        cairo_set_line_width(cr, std::max(0.8, r * 0.03));
        cairo_set_source_rgba(cr, 1, 1, 1, 0.05 + 0.18 * lit);
        cairo_stroke(cr);
    }
    // cap
    double capR = r * 0.76;
    cairo_arc(cr, px, py, capR + r * 0.03, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_fill(cr);
    cairo_pattern_t* cap = cairo_pattern_create_radial(px - capR * 0.35, py - capR * 0.45, capR * 0.05, px, py, capR);
    cairo_pattern_add_color_stop_rgb(cap, 0, 0.36, 0.36, 0.37);
    cairo_pattern_add_color_stop_rgb(cap, 0.55, 0.12, 0.12, 0.13);
    cairo_pattern_add_color_stop_rgb(cap, 1, 0.05, 0.05, 0.055);
    cairo_arc(cr, px, py, capR, 0, 2 * kPi);
    cairo_set_source(cr, cap);
    cairo_fill(cr);
    cairo_pattern_destroy(cap);
    // specular rim light top left and a faint one bottom right
    cairo_arc(cr, px, py, capR - 1, kPi * 1.05, kPi * 1.45);
    cairo_set_line_width(cr, std::max(1.0, r * 0.05));
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_stroke(cr);
    cairo_arc(cr, px, py, capR - 1, kPi * 0.1, kPi * 0.4);
    cairo_set_line_width(cr, std::max(0.8, r * 0.03));
    cairo_set_source_rgba(cr, 1, 1, 1, 0.1);
    cairo_stroke(cr);
    // pointer line from the cap into the nose
    double dir = a - kPi / 2;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, px + r * 0.28 * std::cos(dir), py + r * 0.28 * std::sin(dir));
    cairo_line_to(cr, px + nose * 0.9 * std::cos(dir), py + nose * 0.9 * std::sin(dir));
    cairo_set_line_width(cr, std::max(1.6, r * 0.075));
    cairo_set_source_rgb(cr, 0.96, 0.93, 0.84);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void drawSilverKnob(cairo_t* cr, int width, int height, double value)
{
    const double px = width / 2.0, py = 17, r = 13;
    double a = knobAngle(value), dir = a - kPi / 2;
    cairo_surface_t* shadow = createScratch(cr, width, height);
    cairo_t* sc = cairo_create(shadow);
    cairo_arc(sc, px + 1.2, py + 2.2, r, 0, 2 * kPi);
    cairo_set_source_rgba(sc, 0, 0, 0, 0.6);
    cairo_fill(sc);
    cairo_destroy(sc);
    blurSurface(shadow, 1);
    cairo_set_source_surface(cr, shadow, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(shadow);
    // knurled rim
    cairo_arc(cr, px, py, r, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.52);
    cairo_fill(cr);
    for (int i = 0; i < 60; i++) {
        double g = a + i * 2 * kPi / 60;
        double lit = 0.5 + 0.5 * std::cos(g + 3 * kPi / 4);
        cairo_move_to(cr, px + (r - 2.5) * std::cos(g), py + (r - 2.5) * std::sin(g));
        cairo_line_to(cr, px + r * std::cos(g), py + r * std::sin(g));
        cairo_set_line_width(cr, 0.8);
        double c = (i % 2) ? 0.25 + 0.6 * lit : 0.15 + 0.3 * lit;
        cairo_set_source_rgb(cr, c, c, c * 1.02);
        cairo_stroke(cr);
    }
    // brushed top
    cairo_pattern_t* top = cairo_pattern_create_linear(px - r, py - r, px + r, py + r);
    cairo_pattern_add_color_stop_rgb(top, 0, 0.97, 0.97, 0.98);
    cairo_pattern_add_color_stop_rgb(top, 0.5, 0.72, 0.72, 0.74);
    cairo_pattern_add_color_stop_rgb(top, 1, 0.5, 0.5, 0.52);
    cairo_arc(cr, px, py, r - 2.6, 0, 2 * kPi);
    cairo_set_source(cr, top);
    cairo_fill(cr);
    cairo_pattern_destroy(top);
    for (double rr = 2; rr < r - 3; rr += 1.4) {
        cairo_arc(cr, px, py, rr, 0, 2 * kPi);
        cairo_set_line_width(cr, 0.4);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
        cairo_stroke(cr);
    }
    // bar across with a red tip at the pointing end
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    double bx = std::cos(dir) * (r - 3.2), by = std::sin(dir) * (r - 3.2);
    cairo_move_to(cr, px - bx, py - by);
    cairo_line_to(cr, px + bx, py + by);
    cairo_set_line_width(cr, 3.2);
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.13);
    cairo_stroke(cr);
    cairo_move_to(cr, px + bx * 0.45, py + by * 0.45);
    cairo_line_to(cr, px + bx, py + by);
    cairo_set_line_width(cr, 2.2);
    cairo_set_source_rgb(cr, 0.86, 0.1, 0.08);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

namespace {
constexpr double kMeterPivotX = 62, kMeterPivotY = 102;
double meterAngle(double v) { return (-47.0 + 94.0 * v) * kPi / 180.0; }
double dbToMeter(double db) { return (db + 72.0) / 72.0; }
} // namespace

void drawMeter(cairo_t* cr, double value)
{
    const double w = 124, h = 80;
    cairo_pattern_t* face = cairo_pattern_create_radial(62, 60, 5, 62, 50, 90);
    cairo_pattern_add_color_stop_rgb(face, 0, 1.0, 0.95, 0.78);
    cairo_pattern_add_color_stop_rgb(face, 0.6, 0.95, 0.86, 0.64);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.68, 0.58, 0.4);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    const double arcR = 64;
    auto polar = [&](double v, double r, double& x, double& y) {
        double a = meterAngle(v);
        x = kMeterPivotX + r * std::sin(a);
        y = kMeterPivotY - r * std::cos(a);
    };
    // red zone from -6 dB to full scale
    cairo_arc(cr, kMeterPivotX, kMeterPivotY, arcR + 5, meterAngle(dbToMeter(-12)) - kPi / 2, meterAngle(1.0) - kPi / 2);
    cairo_set_line_width(cr, 4);
    cairo_set_source_rgb(cr, 0.8, 0.1, 0.07);
    cairo_stroke(cr);
    cairo_arc(cr, kMeterPivotX, kMeterPivotY, arcR, meterAngle(0) - kPi / 2, meterAngle(1.0) - kPi / 2);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgb(cr, 0.15, 0.12, 0.1);
    cairo_stroke(cr);
    for (int db = -72; db <= 0; db += 3) {
        bool major = db % 12 == 0 || db == -6;
        double x0, y0, x1, y1;
        polar(dbToMeter(db), arcR, x0, y0);
        polar(dbToMeter(db), arcR + (major ? 8 : 4), x1, y1);
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
        cairo_set_line_width(cr, major ? 1.3 : 0.8);
        if (db >= -12)
            cairo_set_source_rgb(cr, 0.6, 0.05, 0.03);
        else
            cairo_set_source_rgb(cr, 0.15, 0.12, 0.1);
        cairo_stroke(cr);
    }
    for (int db : {-60, -48, -36, -24, -12, 0}) {
        char label[8];
        std::snprintf(label, sizeof label, "%d", db);
        double x, y;
        polar(dbToMeter(db), arcR + 15, x, y);
        if (db >= -12)
            cairo_set_source_rgb(cr, 0.7, 0.08, 0.05);
        else
            cairo_set_source_rgb(cr, 0.15, 0.12, 0.1);
        drawText(cr, label, x, y + 3, 7.5, true);
    }
    cairo_set_source_rgb(cr, 0.15, 0.12, 0.1);
    drawText(cr, "dB", 62, 58, 10, true, Align::Centre, 1, true, true);
    // needle with its shadow, then the cover over the pivot
    double tx, ty, bx, by;
    polar(value, 86, tx, ty);
    polar(value, 30, bx, by);
    cairo_move_to(cr, bx + 1.5, by + 2);
    cairo_line_to(cr, tx + 1.5, ty + 2);
    cairo_set_line_width(cr, 1.6);
    cairo_set_source_rgba(cr, 0.2, 0.1, 0, 0.22);
    cairo_stroke(cr);
    cairo_move_to(cr, bx, by);
    cairo_line_to(cr, tx, ty);
    cairo_set_line_width(cr, 1.4);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_stroke(cr);
    cairo_arc(cr, kMeterPivotX, kMeterPivotY + 8, 32, 0, 2 * kPi);
    cairo_pattern_t* cover = cairo_pattern_create_linear(0, 64, 0, 80);
    cairo_pattern_add_color_stop_rgb(cover, 0, 0.22, 0.2, 0.19);
    cairo_pattern_add_color_stop_rgb(cover, 1, 0.05, 0.05, 0.05);
    cairo_set_source(cr, cover);
    cairo_fill(cr);
    cairo_pattern_destroy(cover);
    // glass: a soft reflection and an inner shadow along the edges
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, 70, 0);
    cairo_line_to(cr, 30, h);
    cairo_line_to(cr, 0, h);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_fill(cr);
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_line_width(cr, 2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_stroke(cr);
}

void drawDecayScale(cairo_t* cr, double value)
{
    const double w = 39, h = 142, bottom = 130, top = 12;
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, w, 0);
    cairo_pattern_add_color_stop_rgb(bg, 0, 0.03, 0.03, 0.035);
    cairo_pattern_add_color_stop_rgb(bg, 0.5, 0.09, 0.09, 0.1);
    cairo_pattern_add_color_stop_rgb(bg, 1, 0.03, 0.03, 0.035);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source(cr, bg);
    cairo_fill(cr);
    auto yOf = [&](double v) { return bottom - v * (bottom - top); };
    cairo_set_source_rgb(cr, 0.92, 0.88, 0.76);
    for (int i = 0; i <= 24; i++) {
        double y = std::floor(yOf(i / 24.0)) + 0.5;
        bool major = i % 4 == 0;
        cairo_move_to(cr, major ? 24 : 28, y);
        cairo_line_to(cr, 34, y);
        cairo_set_line_width(cr, 1);
        cairo_set_source_rgba(cr, 0.92, 0.88, 0.76, major ? 0.95 : 0.55);
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.92, 0.88, 0.76);
    drawText(cr, "max", 13, yOf(1.0) + 3, 7.5, true);
    drawText(cr, "min", 13, yOf(0.0) + 3, 7.5, true);
    for (int s = 1; s <= 5; s++) {
        char label[4];
        std::snprintf(label, sizeof label, "%ds", s);
        drawText(cr, label, 13, yOf(s / 6.0) + 3, 8, true);
    }
    // marker with a faint glow
    double y = yOf(value);
    cairo_rectangle(cr, 1, y - 3, w - 2, 6);
    cairo_set_source_rgba(cr, 1, 0.15, 0.1, 0.2);
    cairo_fill(cr);
    cairo_rectangle(cr, 2, y - 1.2, w - 4, 2.4);
    cairo_set_source_rgb(cr, 0.95, 0.12, 0.08);
    cairo_fill(cr);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, 24, 0);
    cairo_line_to(cr, 8, h);
    cairo_line_to(cr, 0, h);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.05);
    cairo_fill(cr);
}

void drawPowerSwitch(cairo_t* cr, bool on)
{
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    drawText(cr, "POWER", 54, 14, 11, true, Align::Centre, 2.0);
    cairo_set_source_rgb(cr, 0.2, 0.16, 0.12);
    drawText(cr, "POWER", 54, 13, 11, true, Align::Centre, 2.0);
    const double sx = 36, sy = 50, lx = 80, ly = 50;
    // brushed mounting plate with its labels beside the lever's two ends
    roundedRect(cr, sx - 12, sy - 29 + 1.5, 24, 58, 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    roundedRect(cr, sx - 12, sy - 29, 24, 58, 4);
    cairo_pattern_t* plate = cairo_pattern_create_linear(sx - 12, 0, sx + 12, 0);
    cairo_pattern_add_color_stop_rgb(plate, 0, 0.62, 0.61, 0.58);
    cairo_pattern_add_color_stop_rgb(plate, 0.3, 0.9, 0.89, 0.86);
    cairo_pattern_add_color_stop_rgb(plate, 1, 0.55, 0.54, 0.52);
    cairo_set_source(cr, plate);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(plate);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, 0.2, 0.18, 0.15, 0.6);
    cairo_stroke(cr);
    drawScrew(cr, sx, sy - 25, 2, 0.5);
    drawScrew(cr, sx, sy + 25, 2, 1.3);
    cairo_set_source_rgb(cr, 0.2, 0.16, 0.12);
    drawText(cr, "ON", sx - 15, sy - 18, 7, true, Align::Right);
    drawText(cr, "OFF", sx - 15, sy + 24, 7, true, Align::Right);
    cairo_arc(cr, sx, sy, 11, 0, 2 * kPi);
    cairo_pattern_t* nut = cairo_pattern_create_linear(sx - 11, sy - 11, sx + 11, sy + 11);
    cairo_pattern_add_color_stop_rgb(nut, 0, 0.98, 0.98, 0.98);
    cairo_pattern_add_color_stop_rgb(nut, 0.5, 0.55, 0.55, 0.57);
    cairo_pattern_add_color_stop_rgb(nut, 1, 0.3, 0.3, 0.32);
    cairo_set_source(cr, nut);
    cairo_fill(cr);
    cairo_pattern_destroy(nut);
    cairo_arc(cr, sx, sy, 6, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.22);
    cairo_fill(cr);
    // bat lever, tapered, with a ball end
    double tipY = on ? sy - 18 : sy + 18;
    double dirY = on ? -1 : 1;
    cairo_move_to(cr, sx - 4 + 1.5, sy + 2);
    cairo_line_to(cr, sx - 2.2 + 1.5, tipY + 2);
    cairo_line_to(cr, sx + 2.2 + 1.5, tipY + 2);
    cairo_line_to(cr, sx + 4 + 1.5, sy + 2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_fill(cr);
    cairo_move_to(cr, sx - 4, sy);
    cairo_line_to(cr, sx - 2.2, tipY);
    cairo_line_to(cr, sx + 2.2, tipY);
    cairo_line_to(cr, sx + 4, sy);
    cairo_close_path(cr);
    cairo_pattern_t* bat = cairo_pattern_create_linear(sx - 4, 0, sx + 4, 0);
    cairo_pattern_add_color_stop_rgb(bat, 0, 0.45, 0.45, 0.47);
    cairo_pattern_add_color_stop_rgb(bat, 0.35, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(bat, 1, 0.35, 0.35, 0.37);
    cairo_set_source(cr, bat);
    cairo_fill(cr);
    cairo_arc(cr, sx, tipY, 4.2, 0, 2 * kPi);
    cairo_pattern_t* ball = cairo_pattern_create_radial(sx - 1.5, tipY - 1.5, 0.5, sx, tipY, 4.2);
    cairo_pattern_add_color_stop_rgb(ball, 0, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(ball, 1, 0.4, 0.4, 0.42);
    cairo_set_source(cr, ball);
    cairo_fill(cr);
    cairo_pattern_destroy(ball);
    cairo_pattern_destroy(bat);
    (void)dirY;
    // pilot lamp: chrome bezel, red jewel, glow when lit
    if (on) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(lx, ly, 4, lx, ly, 26);
        cairo_pattern_add_color_stop_rgba(glow, 0, 1, 0.2, 0.1, 0.55);
        cairo_pattern_add_color_stop_rgba(glow, 1, 1, 0.2, 0.1, 0);
        cairo_arc(cr, lx, ly, 26, 0, 2 * kPi);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    cairo_arc(cr, lx, ly + 1, 11.5, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_fill(cr);
    cairo_arc(cr, lx, ly, 11, 0, 2 * kPi);
    cairo_pattern_t* bezel = cairo_pattern_create_linear(lx - 11, ly - 11, lx + 11, ly + 11);
    cairo_pattern_add_color_stop_rgb(bezel, 0, 0.98, 0.98, 0.98);
    cairo_pattern_add_color_stop_rgb(bezel, 1, 0.35, 0.35, 0.37);
    cairo_set_source(cr, bezel);
    cairo_fill(cr);
    cairo_pattern_destroy(bezel);
    cairo_arc(cr, lx, ly, 7.5, 0, 2 * kPi);
    cairo_pattern_t* jewel = cairo_pattern_create_radial(lx - 2, ly - 2, 0.5, lx, ly, 7.5);
    if (on) {
        cairo_pattern_add_color_stop_rgb(jewel, 0, 1, 0.9, 0.8);
        cairo_pattern_add_color_stop_rgb(jewel, 0.35, 1, 0.25, 0.12);
        cairo_pattern_add_color_stop_rgb(jewel, 1, 0.7, 0.05, 0.03);
    } else {
        cairo_pattern_add_color_stop_rgb(jewel, 0, 0.6, 0.3, 0.28);
        cairo_pattern_add_color_stop_rgb(jewel, 0.35, 0.35, 0.06, 0.05);
        cairo_pattern_add_color_stop_rgb(jewel, 1, 0.15, 0.02, 0.02);
    }
    cairo_set_source(cr, jewel);
    cairo_fill(cr);
    cairo_pattern_destroy(jewel);
    for (int i = 0; i < 6; i++) {   // facets
        double g = i * kPi / 3;
        cairo_move_to(cr, lx, ly);
        cairo_line_to(cr, lx + 7.5 * std::cos(g), ly + 7.5 * std::sin(g));
        cairo_set_line_width(cr, 0.5);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.2);
        cairo_stroke(cr);
    }
}

void drawPushButton(cairo_t* cr, bool pressed)
{
    const double cx = 24, cy = 23.5;
    cairo_arc(cr, cx + 0.8, cy + 1.5, 19.5, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 19.5, 0, 2 * kPi);
    cairo_pattern_t* brass = cairo_pattern_create_linear(cx - 19, cy - 19, cx + 19, cy + 19);
    cairo_pattern_add_color_stop_rgb(brass, 0, 1.0, 0.9, 0.58);
    cairo_pattern_add_color_stop_rgb(brass, 0.5, 0.78, 0.6, 0.26);
    cairo_pattern_add_color_stop_rgb(brass, 1, 0.42, 0.3, 0.1);
    cairo_set_source(cr, brass);
    cairo_fill(cr);
    cairo_pattern_destroy(brass);
    cairo_arc(cr, cx, cy, 15.5, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.1, 0.08, 0.05);
    cairo_fill(cr);
    double r = pressed ? 13.6 : 14.2, oy = pressed ? 0.8 : 0.0;
    cairo_arc(cr, cx, cy + oy, r, 0, 2 * kPi);
    cairo_pattern_t* cap = cairo_pattern_create_radial(cx - 4, cy - 5 + oy, 1, cx, cy + oy, r);
    if (pressed) {
        cairo_pattern_add_color_stop_rgb(cap, 0, 0.16, 0.16, 0.17);
        cairo_pattern_add_color_stop_rgb(cap, 1, 0.02, 0.02, 0.02);
    } else {
        cairo_pattern_add_color_stop_rgb(cap, 0, 0.42, 0.42, 0.44);
        cairo_pattern_add_color_stop_rgb(cap, 0.6, 0.12, 0.12, 0.13);
        cairo_pattern_add_color_stop_rgb(cap, 1, 0.04, 0.04, 0.04);
    }
    cairo_set_source(cr, cap);
    cairo_fill(cr);
    cairo_pattern_destroy(cap);
    if (!pressed) {
        cairo_arc(cr, cx, cy, r - 1, kPi * 1.05, kPi * 1.5);
        cairo_set_line_width(cr, 1.2);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.3);
        cairo_stroke(cr);
    }
}

} // namespace art
