#include "toolkit/CKickButton.h"

#include "toolkit/CBitmap.h"

CKickButton::CKickButton(const CRect& rect, CControlListener* l, long t, double heightOfOneImage,
                         CBitmap* background)
    : CControl(rect, l, t, background), frameHeight(heightOfOneImage)
{
}

void CKickButton::draw(cairo_t* cr)
{
    if (bitmap)
        bitmap->draw(cr, size, pressed ? frameHeight : 0.0);
}

void CKickButton::onMouseDown(const CPoint& where, int buttons)
{
    if (!(buttons & kLButton) || tracking)
        return;
    tracking = true;
    pressed = size.pointInside(where);
    setDirty();
    beginEdit();
}

void CKickButton::onMouseMoved(const CPoint& where, int)
{
    if (!tracking)
        return;
    bool over = size.pointInside(where);
    if (over != pressed) {
        pressed = over;
        setDirty();
    }
}

void CKickButton::abortGesture()
{
    if (!tracking)
        return;
    tracking = false;
    pressed = false;
    endEdit();
}

void CKickButton::onMouseUp(const CPoint& where, int)
{
    if (!tracking)
        return;
    tracking = false;
    pressed = false;
    setDirty();
    if (size.pointInside(where)) {
        setValue(1.0f);
        notifyListener();
    }
    setValue(0.0f);
    notifyListener();
    endEdit();
}
