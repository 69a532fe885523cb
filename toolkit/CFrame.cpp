#include "toolkit/CFrame.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CControl.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/X11Window.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include <sys/mman.h>

namespace {

constexpr size_t kMaxAreas = 12;  // beyond this many separate areas, repaint their union

// The window's pixels (12 MB at 200 %) are mapped for the surface alone and unmapped with
// it, so closing an editor gives them back to the system; from the heap, the allocator
// would keep them for the next open.
void unmapPixels(void* mapping)
{
    auto* m = static_cast<std::pair<void*, size_t>*>(mapping);
    munmap(m->first, m->second);
    delete m;
}

cairo_surface_t* createPixels(int w, int h)
{
    static const cairo_user_data_key_t key = {};
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
    size_t bytes = (size_t)stride * (size_t)h;
    void* data = stride > 0 && h > 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                     : MAP_FAILED;
    if (data == MAP_FAILED)
        return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);  // an error surface, or a small one
    cairo_surface_t* s = cairo_image_surface_create_for_data(static_cast<unsigned char*>(data), CAIRO_FORMAT_ARGB32,
                                                             w, h, stride);
    auto* mapping = new std::pair<void*, size_t>(data, bytes);
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS &&
        cairo_surface_set_user_data(s, &key, mapping, unmapPixels) == CAIRO_STATUS_SUCCESS)
        return s;
    cairo_surface_destroy(s);
    unmapPixels(mapping);
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
}

} // namespace

CFrame::CFrame(const CRect& rect, void* parentWindow, VSTGUIEditorInterface* e, double s)
    : size(rect), editor(e), scale(s > 0 && std::isfinite(s) ? s : 1.0)
{
    pixelWidth = pixelsOf(rect.width(), scale);
    pixelHeight = pixelsOf(rect.height(), scale);
    surface = createPixels(pixelWidth, pixelHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return;
    if (parentWindow)
        window = X11Window::create((unsigned long)(uintptr_t)parentWindow, pixelWidth, pixelHeight);
    wantedWindow = parentWindow != nullptr;
    pending.push_back(size);
}

int CFrame::pixelsOf(double units, double scale)
{
    return std::max(1, (int)std::lround(units * scale));
}

bool CFrame::setScale(double newScale)
{
    if (!(newScale > 0) || !std::isfinite(newScale) || !surface)
        return false;
    int w = pixelsOf(size.width(), newScale), h = pixelsOf(size.height(), newScale);
    cairo_surface_t* fresh = createPixels(w, h);
    if (cairo_surface_status(fresh) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(fresh);
        return false;
    }
    cairo_surface_destroy(surface);
    surface = fresh;
    scale = newScale;
    pixelWidth = w;
    pixelHeight = h;
    if (window)
        window->resize(w, h);
    if (overlay)  // laid out for the old size
        overlay->closePopup();
    pending.assign(1, size);
    return true;
}

CFrame::~CFrame()
{
    overlay = nullptr;
    delete contextMenu;
    contextMenu = nullptr;
    if (mouseOwner)  // closed in the middle of a drag: the host still gets its end-edit
        mouseOwner->abortGesture();
    mouseOwner = nullptr;
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        (*it)->setFrame(nullptr);
        delete *it;
    }
    views.clear();
    if (background)
        background->forget();
    delete window;
    if (surface)
        cairo_surface_destroy(surface);
}

bool CFrame::isValid() const
{
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return false;
    return !wantedWindow || window != nullptr;
}

unsigned long CFrame::getWindowId() const
{
    return window ? window->getWindowId() : 0;
}

void CFrame::setBackground(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->remember();
    if (background)
        background->forget();
    background = bitmap;
    invalidate(size);
}

bool CFrame::addView(CControl* control)
{
    if (!control)
        return false;
    control->setFrame(this);
    control->setDirty();
    views.push_back(control);
    return true;
}

CControl* CFrame::getView(int index) const
{
    return index >= 0 && index < (int)views.size() ? views[index] : nullptr;
}

void CFrame::invalidate(const CRect& rect)
{
    CRect r = rect.intersection(size);
    if (!r.isEmpty())
        pending.push_back(r);
}

void CFrame::invalidatePixels(const CRect& pixels)
{
    invalidate(toUnits(pixels));
}

void CFrame::setContextMenu(COptionMenu* menu)
{
    if (menu == contextMenu)
        return;
    if (contextMenu && overlay == contextMenu)
        contextMenu->closePopup();
    delete contextMenu;
    contextMenu = menu;
    if (contextMenu)
        contextMenu->setFrame(this);
}

void CFrame::setOverlay(COptionMenu* menu)
{
    if (overlay == menu)
        return;
    if (overlay)
        invalidate(CRect(overlay->getPopupRect().left - 6, overlay->getPopupRect().top - 6,
                         overlay->getPopupRect().right + 8, overlay->getPopupRect().bottom + 10));
    COptionMenu* previous = overlay;
    overlay = menu;
    if (previous && previous->isPopupOpen())
        previous->closePopup();
    if (overlay)
        invalidate(CRect(overlay->getPopupRect().left - 6, overlay->getPopupRect().top - 6,
                         overlay->getPopupRect().right + 8, overlay->getPopupRect().bottom + 10));
}

void CFrame::closeOverlay()
{
    if (overlay)
        overlay->closePopup();
}

void CFrame::mouseDown(const CPoint& pixel, int buttons)
{
    CPoint where = toUnits(pixel);
    lastPointer = where;
    if (overlay) {  // the open list takes the click, inside or outside
        overlay->popupMouseDown(where, buttons);
        return;
    }
    if (mouseOwner)
        return;
    // the controls take only the left button: a right click anywhere opens the context menu
    if ((buttons & kRButton) && !(buttons & kLButton) && contextMenu) {
        contextMenu->openPopupAt(where);
        return;
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->hitTest(where)) {
            mouseOwner = *it;
            mouseOwner->onMouseDown(where, buttons);
            return;
        }
}

void CFrame::mouseMoved(const CPoint& pixel, int buttons)
{
    CPoint where = toUnits(pixel);
    lastPointer = where;
    if (overlay)
        overlay->popupMouseMoved(where);
    else if (mouseOwner)
        mouseOwner->onMouseMoved(where, buttons);
}

void CFrame::mouseUp(const CPoint& pixel, int buttons)
{
    CPoint where = toUnits(pixel);
    lastPointer = where;
    if (CControl* owner = mouseOwner) {
        mouseOwner = nullptr;
        owner->onMouseUp(where, buttons);
    }
}

bool CFrame::wheelAt(const CPoint& pixel, float distance)
{
    return wheelAtUnits(toUnits(pixel), distance);
}

bool CFrame::wheelAtUnits(const CPoint& where, float distance)
{
    lastPointer = where;
    if (overlay || mouseOwner)
        return false;
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->hitTest(where))
            return (*it)->onWheel(where, distance);
    return false;
}

void CFrame::idle()
{
    if (window)
        window->dispatchEvents(*this);
    redraw();
}

void CFrame::redraw()
{
    if (!surface)
        return;
    std::vector<CRect> areas;
    areas.swap(pending);
    for (CControl* v : views)
        if (v->needsRedraw())
            areas.push_back(v->getDrawBounds().intersection(size));
    if (areas.empty())
        return;
    if (areas.size() > kMaxAreas) {
        CRect all;
        for (const CRect& a : areas)
            all = all.united(a);
        areas.assign(1, all);
    }
    for (CControl* v : views)  // before drawing: a value set meanwhile is drawn next time
        if (v->needsRedraw())
            v->markDrawn();
    const CRect bounds(0, 0, pixelWidth, pixelHeight);
    for (CRect& a : areas) {  // to whole window pixels
        a = CRect(std::floor(a.left * scaleX()), std::floor(a.top * scaleY()), std::ceil(a.right * scaleX()),
                  std::ceil(a.bottom * scaleY()))
                .intersection(bounds);
        if (!a.isEmpty())
            drawArea(a);
    }
    cairo_surface_flush(surface);
    if (window)
        for (const CRect& a : areas)
            window->upload(surface, a);
}

void CFrame::drawArea(const CRect& pixels)
{
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, pixels.left, pixels.top, pixels.width(), pixels.height());
    cairo_clip(cr);
    // the window's whole pixels hold the whole layout: per axis, the rounded size over the units
    cairo_scale(cr, scaleX(), scaleY());
    const CRect area = toUnits(pixels);
    if (background)
        background->draw(cr, size);
    else {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
    }
    for (CControl* v : views)
        if (v->getDrawBounds().intersects(area)) {
            cairo_save(cr);
            v->draw(cr);
            cairo_restore(cr);
        }
    if (overlay)
        overlay->drawPopup(cr);
    cairo_destroy(cr);
}

bool CFrame::writePng(const char* path)
{
    if (!surface || !path)
        return false;
    invalidate(size);
    redraw();
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}
