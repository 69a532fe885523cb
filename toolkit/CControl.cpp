#include "toolkit/CControl.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"
#include "toolkit/VSTGUIEditorInterface.h"

#include <bit>
#include <cstdint>

CControl::CControl(const CRect& rect, CControlListener* l, long t, CBitmap* background)
    : size(rect), listener(l), tag(t), bitmap(background)
{
    if (bitmap)
        bitmap->remember();
}

CControl::~CControl()
{
    if (bitmap)
        bitmap->forget();
}

bool CControl::needsRedraw() const
{
    // compared bit for bit, so that a NaN from the host is drawn once, not at every idle
    return dirty.load(std::memory_order_relaxed) ||
           std::bit_cast<uint32_t>(getValue()) != std::bit_cast<uint32_t>(drawnValue);
}

void CControl::markDrawn()
{
    drawnValue = getValue();
    dirty.store(false, std::memory_order_relaxed);
}

void CControl::beginEdit()
{
    if (frame && frame->getEditor())
        frame->getEditor()->beginEdit(tag);
}

void CControl::endEdit()
{
    if (frame && frame->getEditor())
        frame->getEditor()->endEdit(tag);
}

void CControl::notifyListener()
{
    if (listener)
        listener->valueChanged(this);
}
