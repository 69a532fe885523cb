// The pieces of the artwork generator.
#pragma once

#include <cairo.h>

namespace art {

// The whole 900 × 851 background: the room above y 500, the panel below.
void drawRoom(cairo_t* cr);
// Parts of the room, in the order drawRoom paints them.
void drawPlate(cairo_t* cr);
void drawRack(cairo_t* cr);
void drawCarpetAndPreamp(cairo_t* cr);
void drawPanel(cairo_t* cr);

// One frame of each strip, drawn with its origin at the frame's top-left corner.
void drawBlackKnob(cairo_t* cr, int width, int height, double pivotX, double pivotY, double radius,
                   double value);
void drawSilverKnob(cairo_t* cr, int width, int height, double value);
void drawMeter(cairo_t* cr, double value);
void drawDecayScale(cairo_t* cr, double value);
void drawPowerSwitch(cairo_t* cr, bool on);
void drawPushButton(cairo_t* cr, bool pressed);

} // namespace art
