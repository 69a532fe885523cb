// CKickButton: a push button. While the left button, pressed on it, is held with the pointer
// over it, it shows frame 1 of its two-frame strip (frame 0 otherwise; nothing without a
// strip). On release over it the listener hears the value 1 and then 0; a release outside
// reports only 0. [UI thread]
#pragma once

#include "toolkit/CControl.h"

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, double heightOfOneImage,
                CBitmap* background);

    void draw(cairo_t* cr) override;
    void onMouseDown(const CPoint& where, int buttons) override;
    void onMouseMoved(const CPoint& where, int buttons) override;
    void onMouseUp(const CPoint& where, int buttons) override;
    void abortGesture() override;

    bool isPressed() const { return pressed; }

private:
    double frameHeight;     // pixels per strip frame
    bool tracking = false;  // a left-button gesture started on the button
    bool pressed = false;   // the pointer is over it during that gesture
};
