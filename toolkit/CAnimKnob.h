// CAnimKnob: a knob drawn from a vertical film strip. It shows frame ⌊value × (frames − 1)⌋
// and follows the mouse in the toolkit's knob mode: linear (200 pixels of travel for the
// full range, up or right increases), circular or relative circular; the wheel steps it.
// [UI thread, except setValue]
#pragma once

#include "toolkit/CControl.h"

class CAnimKnob : public CControl {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, int subPixmaps, double heightOfOneImage,
              CBitmap* background);

    void draw(cairo_t* cr) override;
    void onMouseDown(const CPoint& where, int buttons) override;
    void onMouseMoved(const CPoint& where, int buttons) override;
    void onMouseUp(const CPoint& where, int buttons) override;
    bool onWheel(const CPoint& where, float distance) override;
    void abortGesture() override;

    // The strip frame the current value selects.
    int getFrameIndex() const;

    static constexpr double kLinearRange = 200.0;  // pixels for the full range
    static constexpr float kWheelStep = 0.02f;     // value per wheel notch

private:
    // Angle of `where` around the centre, clockwise from 12 o'clock, in degrees.
    double angleOf(const CPoint& where) const;
    void moveTo(float newValue);

    int frames;                // strip frames
    double frameHeight;        // pixels per frame
    bool dragging = false;     // a left-button gesture is running
    int dragMode = 0;          // knob mode at the start of the gesture
    CPoint dragStart;          // where it started
    float dragStartValue = 0;  // value at the start
    double dragStartAngle = 0; // pointer angle at the start (relative circular mode)
};
