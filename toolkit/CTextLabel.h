// CTextLabel: a line of text in a rectangle; it keeps its own copy of the text. It takes no
// mouse input. [UI thread]
#pragma once

#include "toolkit/CControl.h"

#include <string>

class CTextLabel : public CControl {
public:
    CTextLabel(const CRect& size, const char* text = nullptr, CBitmap* background = nullptr, long style = 0);

    void setText(const char* text);
    const std::string& getText() const { return text; }
    void setFont(const CFontDesc& f) { font = f; setDirty(); }
    void setFontColor(const CColor& c) { fontColor = c; setDirty(); }
    void setBackColor(const CColor& c) { backColor = c; setDirty(); }
    void setFrameColor(const CColor& c) { frameColor = c; setDirty(); }
    void setHoriAlign(CHoriTxtAlign a) { align = a; setDirty(); }

    void draw(cairo_t* cr) override;
    bool hitTest(const CPoint&) const override { return false; }
    CRect getDrawBounds() const override { return textBounds(size); }

    // Text may overhang a box lower than its font by this much above and below.
    static CRect textBounds(const CRect& box) { return {box.left, box.top - 5, box.right, box.bottom + 5}; }

    // Shared by the option menu: one line of text, vertically centred in `box`.
    static void drawString(cairo_t* cr, const std::string& text, const CRect& box, const CFontDesc& font,
                           const CColor& color, CHoriTxtAlign align);

private:
    std::string text;                       // own copy
    long style;                             // kept for the toolkit's shape
    CFontDesc font = kNormalFont;           // face and size
    CColor fontColor = kBlackCColor;        // text
    CColor backColor = kTransparentCColor;  // fill behind the text
    CColor frameColor = kTransparentCColor; // one-pixel frame
    CHoriTxtAlign align = kCenterText;      // horizontal alignment
};
