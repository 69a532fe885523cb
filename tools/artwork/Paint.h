// Drawing helpers shared by the artwork generator: deterministic noise, blur, text and the
// knob geometry that the panel's printed scales and the knob strips must agree on.
#pragma once

#include <cairo.h>

namespace art {

constexpr double kPi = 3.14159265358979323846;
// Knob travel: frame 0 at about 7 o'clock, the last frame at about 5 o'clock, measured
// clockwise from 12 o'clock.
constexpr double kKnobStart = -145.0 * kPi / 180.0;
constexpr double kKnobEnd = 145.0 * kPi / 180.0;

// Angle of a knob at value 0..1, clockwise from 12 o'clock.
inline double knobAngle(double value) { return kKnobStart + (kKnobEnd - kKnobStart) * value; }

// Deterministic pseudo-random numbers, so the committed PNGs can be regenerated exactly.
double random01();
void seedRandom(unsigned seed);

// Three box-blur passes over every channel of an ARGB32 surface (close to a Gaussian). The
// radius is in drawing units: a surface drawn at 2× blurs twice as many pixels.
void blurSurface(cairo_surface_t* surface, int radius);

// A transparent ARGB32 scratch surface of w × h drawing units at the pixel density of the
// surface `cr` draws on, for parts that are drawn apart and then composited (shadows).
cairo_surface_t* createScratch(cairo_t* cr, int w, int h);

// Sprinkles luminance noise over a rectangle of an opaque surface: one-pixel grains at the
// surface's own density, so the 2× images get grains as fine as the 1× ones. The grains
// come from a generator of their own (seeded from random01), so the rest of the picture
// draws the same random sequence at every density.
void addNoise(cairo_t* cr, double x, double y, double w, double h, double amount, double density);

enum class Align { Left, Centre, Right };

// Text in Liberation Sans or Serif; `spacing` adds pixels between letters. y is the baseline.
void drawText(cairo_t* cr, const char* text, double x, double y, double size, bool bold,
              Align align = Align::Centre, double spacing = 0.0, bool serif = false,
              bool italic = false);
double textWidth(cairo_t* cr, const char* text, double size, bool bold, double spacing = 0.0,
                 bool serif = false, bool italic = false);

// Rounded rectangle path.
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

// A slotted screw head.
void drawScrew(cairo_t* cr, double x, double y, double r, double slotAngle);

} // namespace art
