// COnOffButton: a two-state switch drawn from a two-frame strip (frame 0 off, frame 1 on);
// a left click toggles it between 0 and 1 and tells the listener. [UI thread, except setValue]
#pragma once

#include "toolkit/CControl.h"

class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long style = 0);

    void draw(cairo_t* cr) override;
    void onMouseDown(const CPoint& where, int buttons) override;
    long getStyle() const { return style; }

private:
    long style;  // kept for the toolkit's shape; no style changes the behaviour
};
