#include "toolkit/COptionMenu.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"
#include "toolkit/CTextLabel.h"

#include <cmath>

namespace {

constexpr double kPopupPadding = 4;     // above the first and below the last row
constexpr double kPopupSideRoom = 36;   // left and right of the widest text

double listFontSize(const CFontDesc& f) { return std::clamp(f.size, 12.0, 15.0); }

} // namespace

COptionMenu::COptionMenu(const CRect& rect, CControlListener* l, long t, CBitmap* background, CBitmap*, long s)
    : CControl(rect, l, t, background), style(s)
{
    (void)style;
}

COptionMenu::~COptionMenu()
{
    if (popupOpen && frame && frame->getOverlay() == this)
        frame->setOverlay(nullptr);
}

bool COptionMenu::addEntry(const char* text, long index)
{
    if (index < -1 || index > (long)entries.size())
        return false;
    if (index == -1)
        index = (long)entries.size();
    entries.insert(entries.begin() + index, text ? text : "");
    setDirty();
    return true;
}

const char* COptionMenu::getEntry(int index) const
{
    return index >= 0 && index < (int)entries.size() ? entries[index].c_str() : nullptr;
}

void COptionMenu::setValue(float v)
{
    float entry = std::trunc(v);
    if (!(entry >= 0.0f && entry < (float)entries.size()))  // also refuses NaN
        return;
    CControl::setValue(v);
    current.store((long)entry, std::memory_order_relaxed);
    setDirty();
}

bool COptionMenu::setCurrent(long index)
{
    if (index < 0 || index >= (long)entries.size())
        return false;
    current.store(index, std::memory_order_relaxed);
    setDirty();
    return true;
}

CRect COptionMenu::getDrawBounds() const
{
    return CTextLabel::textBounds(size);
}

void COptionMenu::draw(cairo_t* cr)
{
    if (bitmap)
        bitmap->draw(cr, size);
    if (backColor.alpha) {
        cairo_set_source_rgba(cr, backColor.red / 255.0, backColor.green / 255.0, backColor.blue / 255.0,
                              backColor.alpha / 255.0);
        cairo_rectangle(cr, size.left, size.top, size.width(), size.height());
        cairo_fill(cr);
    }
    if (frameColor.alpha) {
        cairo_set_source_rgba(cr, frameColor.red / 255.0, frameColor.green / 255.0, frameColor.blue / 255.0,
                              frameColor.alpha / 255.0);
        cairo_rectangle(cr, size.left + 0.5, size.top + 0.5, size.width() - 1, size.height() - 1);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    if (const char* text = getEntry((int)getCurrent()))
        CTextLabel::drawString(cr, text, size, font, fontColor, align);
}

void COptionMenu::onMouseDown(const CPoint&, int buttons)
{
    if ((buttons & kLButton) && !entries.empty())
        openPopup();
}

double COptionMenu::rowHeight() const
{
    return std::round(listFontSize(font) + 10);
}

CPoint COptionMenu::popupSize() const
{
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    cairo_select_font_face(cr, font.family, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, listFontSize(font));
    double widest = 0;
    for (const std::string& e : entries) {
        cairo_text_extents_t te;
        cairo_text_extents(cr, e.c_str(), &te);
        widest = std::max(widest, te.x_advance);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return {std::ceil(std::max(size.width(), widest + 2 * kPopupSideRoom)),
            rowHeight() * entries.size() + 2 * kPopupPadding};
}

void COptionMenu::showPopup(double left, double top, double w, double h)
{
    const CRect bounds = frame->getViewSize();
    left = std::clamp(left, bounds.left + 2, std::max(bounds.left + 2, bounds.right - 2 - w));
    top = std::clamp(top, bounds.top + 2, std::max(bounds.top + 2, bounds.bottom - 2 - h));
    popupRect = CRect(left, top, left + w, top + h);
    popupOpen = true;
    hover = (int)getCurrent();
    frame->setOverlay(this);
}

void COptionMenu::openPopup()
{
    if (popupOpen || !frame)
        return;
    CPoint extent = popupSize();
    double w = extent.h, h = extent.v;
    double left = std::round((size.left + size.right - w) / 2);
    double top = size.bottom + 2;
    if (top + h > frame->getViewSize().bottom)  // no room below: open above
        top = size.top - 2 - h;
    showPopup(left, top, w, h);
}

void COptionMenu::openPopupAt(const CPoint& where)
{
    if (popupOpen || !frame || entries.empty())
        return;
    CPoint extent = popupSize();
    showPopup(std::round(where.h), std::round(where.v), extent.h, extent.v);
}

void COptionMenu::closePopup()
{
    if (!popupOpen)
        return;
    popupOpen = false;
    hover = -1;
    if (frame && frame->getOverlay() == this)
        frame->setOverlay(nullptr);
}

int COptionMenu::entryAt(const CPoint& where) const
{
    if (!popupOpen || !popupRect.pointInside(where))
        return -1;
    int row = (int)std::floor((where.v - popupRect.top - kPopupPadding) / rowHeight());
    return row >= 0 && row < (int)entries.size() ? row : -1;
}

void COptionMenu::popupMouseDown(const CPoint& where, int buttons)
{
    int row = entryAt(where);
    closePopup();
    if (row >= 0 && (buttons & kLButton))
        chooseEntry(row);
}

void COptionMenu::popupMouseMoved(const CPoint& where)
{
    int row = entryAt(where);
    if (row != hover && row >= 0) {
        hover = row;
        if (frame)
            frame->invalidate(popupRect);
    }
}

void COptionMenu::chooseEntry(int index)
{
    if (index < 0 || index >= (int)entries.size())
        return;
    beginEdit();
    setValue((float)index);
    notifyListener();
    endEdit();
}

void COptionMenu::drawPopup(cairo_t* cr)
{
    if (!popupOpen)
        return;
    const CRect& r = popupRect;
    cairo_save(cr);
    for (int i = 4; i >= 1; i--) {  // soft drop shadow
        cairo_rectangle(cr, r.left - i + 3, r.top - i + 5, r.width() + 2 * i, r.height() + 2 * i);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.07);
        cairo_fill(cr);
    }
    cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
    cairo_set_source_rgb(cr, 0.97, 0.95, 0.9);
    cairo_fill(cr);
    cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.width() - 1, r.height() - 1);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgb(cr, 0.35, 0.3, 0.22);
    cairo_stroke(cr);
    CFontDesc listFont = {font.family, listFontSize(font)};
    for (int i = 0; i < (int)entries.size(); i++) {
        CRect row(r.left + 1, r.top + kPopupPadding + i * rowHeight(), r.right - 1,
                  r.top + kPopupPadding + (i + 1) * rowHeight());
        CColor text = {30, 26, 20, 255};
        if (i == hover) {
            cairo_rectangle(cr, row.left + 2, row.top, row.width() - 4, row.height());
            cairo_set_source_rgb(cr, 0.55, 0.38, 0.16);
            cairo_fill(cr);
            text = {255, 250, 240, 255};
        }
        if (i == (int)getCurrent()) {
            cairo_arc(cr, row.left + 14, (row.top + row.bottom) / 2, 3, 0, 2 * 3.14159265358979323846);
            cairo_set_source_rgba(cr, text.red / 255.0, text.green / 255.0, text.blue / 255.0, 1);
            cairo_fill(cr);
        }
        CRect textBox(row.left + kPopupSideRoom - 8, row.top, row.right - 8, row.bottom);
        CTextLabel::drawString(cr, entries[i], textBox, listFont, text, kLeftText);
    }
    cairo_restore(cr);
}
