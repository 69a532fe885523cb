#include "toolkit/CAnimKnob.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"
#include "toolkit/VSTGUIEditorInterface.h"

#include <cmath>

namespace {
constexpr double kSweep = 270.0;  // degrees of a circular-mode gesture for the full range
}

CAnimKnob::CAnimKnob(const CRect& rect, CControlListener* l, long t, int subPixmaps, double heightOfOneImage,
                     CBitmap* background)
    : CControl(rect, l, t, background), frames(std::max(1, subPixmaps)), frameHeight(heightOfOneImage)
{
}

int CAnimKnob::getFrameIndex() const
{
    float v = std::clamp(getValue(), 0.0f, 1.0f);  // also maps NaN to 0
    if (!(v >= 0.0f))
        v = 0.0f;
    return std::clamp((int)(v * (float)(frames - 1)), 0, frames - 1);
}

void CAnimKnob::draw(cairo_t* cr)
{
    if (bitmap)
        bitmap->draw(cr, size, getFrameIndex() * frameHeight);
}

double CAnimKnob::angleOf(const CPoint& where) const
{
    double cx = (size.left + size.right) / 2, cy = (size.top + size.bottom) / 2;
    return std::atan2(where.h - cx, cy - where.v) * 180.0 / 3.14159265358979323846;
}

void CAnimKnob::moveTo(float newValue)
{
    newValue = std::clamp(newValue, 0.0f, 1.0f);
    if (newValue == getValue())
        return;
    setValue(newValue);
    setDirty();
    notifyListener();
}

void CAnimKnob::onMouseDown(const CPoint& where, int buttons)
{
    if (!(buttons & kLButton) || dragging)
        return;
    dragging = true;
    dragMode = frame && frame->getEditor() ? frame->getEditor()->getKnobMode() : kLinearMode;
    dragStart = where;
    dragStartValue = getValue();
    dragStartAngle = angleOf(where);
    beginEdit();
    if (dragMode == kCircularMode)
        moveTo((float)((angleOf(where) + kSweep / 2) / kSweep));
}

void CAnimKnob::onMouseMoved(const CPoint& where, int)
{
    if (!dragging)
        return;
    if (dragMode == kLinearMode) {
        double travel = (where.h - dragStart.h) + (dragStart.v - where.v);
        moveTo(dragStartValue + (float)(travel / kLinearRange));
    } else if (dragMode == kCircularMode) {
        moveTo((float)((angleOf(where) + kSweep / 2) / kSweep));
    } else {
        double turn = std::remainder(angleOf(where) - dragStartAngle, 360.0);
        moveTo(dragStartValue + (float)(turn / kSweep));
    }
}

void CAnimKnob::onMouseUp(const CPoint& where, int buttons)
{
    if (!dragging)
        return;
    onMouseMoved(where, buttons);
    dragging = false;
    endEdit();
}

void CAnimKnob::abortGesture()
{
    if (!dragging)
        return;
    dragging = false;
    endEdit();
}

bool CAnimKnob::onWheel(const CPoint&, float distance)
{
    if (dragging || !std::isfinite(distance))
        return false;
    beginEdit();
    moveTo(getValue() + distance * kWheelStep);
    endEdit();
    return true;
}
