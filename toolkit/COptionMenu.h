// COptionMenu: shows the text of its current entry; a click opens the entry list as an
// overlay inside the frame, and a click on an entry chooses it (value = entry index). A menu
// with an empty rectangle shows nothing and serves as a context menu, opened at a point. The
// value follows the toolkit's rule: setValue(p) takes p and makes entry trunc(p) current only
// when that entry exists, and otherwise changes nothing.
//
// Threads: entries are added on the UI thread before the menu is shown; setValue and
// setCurrent may come from any thread (atomics); the overlay lives on the UI thread.
#pragma once

#include "toolkit/CControl.h"

#include <string>
#include <vector>

class COptionMenu : public CControl {
public:
    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* backgroundWhenClicked = nullptr, long style = 0);
    ~COptionMenu() override;

    // Appends, or inserts at `index`; false when the index is out of range.
    bool addEntry(const char* text, long index = -1);
    int getNbEntries() const { return (int)entries.size(); }
    const char* getEntry(int index) const;
    bool setCurrent(long index);
    long getCurrent() const { return current.load(std::memory_order_relaxed); }
    void setValue(float v) override;

    void setFont(const CFontDesc& f) { font = f; setDirty(); }
    void setFontColor(const CColor& c) { fontColor = c; setDirty(); }
    void setBackColor(const CColor& c) { backColor = c; setDirty(); }
    void setFrameColor(const CColor& c) { frameColor = c; setDirty(); }
    void setHoriAlign(CHoriTxtAlign a) { align = a; setDirty(); }

    void draw(cairo_t* cr) override;
    CRect getDrawBounds() const override;
    void onMouseDown(const CPoint& where, int buttons) override;

    // The overlay. [UI thread]
    bool isPopupOpen() const { return popupOpen; }
    CRect getPopupRect() const { return popupRect; }
    void openPopup();
    // Opens the list with its top-left corner at `where` (units), kept inside the frame.
    void openPopupAt(const CPoint& where);
    void closePopup();
    void drawPopup(cairo_t* cr);
    void popupMouseDown(const CPoint& where, int buttons);
    void popupMouseMoved(const CPoint& where);
    // Chooses an entry as a click on it would. [UI thread]
    void chooseEntry(int index);
    // Entry row under `where` in the open overlay, or -1.
    int entryAt(const CPoint& where) const;

private:
    double rowHeight() const;
    // Width and height of the open list.
    CPoint popupSize() const;
    void showPopup(double left, double top, double w, double h);

    std::vector<std::string> entries;       // entry texts, by index
    std::atomic<long> current{0};           // current entry
    long style;                             // kept for the toolkit's shape
    CFontDesc font = kNormalFont;           // face and size
    CColor fontColor = kBlackCColor;        // text
    CColor backColor = kTransparentCColor;  // fill behind the text
    CColor frameColor = kTransparentCColor; // one-pixel frame
    CHoriTxtAlign align = kCenterText;      // horizontal alignment
    bool popupOpen = false;                 // the overlay is shown [UI thread]
    CRect popupRect;                        // where the overlay is drawn
    int hover = -1;                         // entry under the pointer in the overlay
};
