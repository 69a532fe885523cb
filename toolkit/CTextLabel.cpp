#include "toolkit/CTextLabel.h"

#include "toolkit/CBitmap.h"

#include <cmath>

namespace {

void setColor(cairo_t* cr, const CColor& c)
{
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

} // namespace

CTextLabel::CTextLabel(const CRect& rect, const char* t, CBitmap* background, long s)
    : CControl(rect, nullptr, -1, background), text(t ? t : ""), style(s)
{
    (void)style;
}

void CTextLabel::setText(const char* t)
{
    text = t ? t : "";
    setDirty();
}

void CTextLabel::drawString(cairo_t* cr, const std::string& text, const CRect& box, const CFontDesc& font,
                            const CColor& color, CHoriTxtAlign align)
{
    cairo_save(cr);
    cairo_select_font_face(cr, font.family, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.size);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr, text.c_str(), &te);
    double x = box.left + 2;
    if (align == kCenterText)
        x = box.left + (box.width() - te.x_advance) / 2;
    else if (align == kRightText)
        x = box.right - 2 - te.x_advance;
    // centre the ascent-descent box; the text may overhang a box smaller than the font
    double y = box.top + (box.height() - (fe.ascent + fe.descent)) / 2 + fe.ascent;
    CRect bounds = textBounds(box);
    cairo_rectangle(cr, bounds.left, bounds.top, bounds.width(), bounds.height());
    cairo_clip(cr);
    setColor(cr, color);
    cairo_move_to(cr, std::round(x), std::round(y));
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

void CTextLabel::draw(cairo_t* cr)
{
    if (bitmap)
        bitmap->draw(cr, size);
    if (backColor.alpha) {
        setColor(cr, backColor);
        cairo_rectangle(cr, size.left, size.top, size.width(), size.height());
        cairo_fill(cr);
    }
    if (frameColor.alpha) {
        setColor(cr, frameColor);
        cairo_rectangle(cr, size.left + 0.5, size.top + 0.5, size.width() - 1, size.height() - 1);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    drawString(cr, text, size, font, fontColor, align);
}
