#include "toolkit/COnOffButton.h"

#include "toolkit/CBitmap.h"

COnOffButton::COnOffButton(const CRect& rect, CControlListener* l, long t, CBitmap* background, long s)
    : CControl(rect, l, t, background), style(s)
{
    defaultValue = 0.0f;
}

void COnOffButton::draw(cairo_t* cr)
{
    if (bitmap)
        bitmap->draw(cr, size, getValue() > 0.5f ? bitmap->getHeight() / 2.0 : 0.0);
}

void COnOffButton::onMouseDown(const CPoint&, int buttons)
{
    if (!(buttons & kLButton))
        return;
    beginEdit();
    setValue(getValue() > 0.5f ? 0.0f : 1.0f);
    setDirty();
    notifyListener();
    endEdit();
}
