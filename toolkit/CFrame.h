// CFrame: the editor's drawing surface and the owner of its controls. Everything is drawn
// into one cairo image surface of the frame's size; a windowed frame then uploads the
// redrawn areas into its X11 child window, a headless frame (no parent window) can write the
// surface to a PNG file. Input arrives as mouse calls in window pixels, from the X11 window
// in idle or from a test. An open option menu is an overlay that takes the next click.
// [UI thread]
#pragma once

#include "toolkit/CGraphics.h"

#include <cairo.h>

#include <vector>

class CBitmap;
class CControl;
class COptionMenu;
class VSTGUIEditorInterface;
class X11Window;

class CFrame {
public:
    // parentWindow: the host's X11 window id, or null for a headless frame.
    CFrame(const CRect& size, void* parentWindow, VSTGUIEditorInterface* editor);
    ~CFrame();  // destroys every control, then the window
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

    // False when the surface could not be made or the window could not be opened.
    bool isValid() const;
    bool isHeadless() const { return window == nullptr; }
    unsigned long getWindowId() const;

    void setBackground(CBitmap* bitmap);
    bool addView(CControl* control);  // takes ownership
    int getNbViews() const { return (int)views.size(); }
    CControl* getView(int index) const;
    VSTGUIEditorInterface* getEditor() const { return editor; }
    const CRect& getViewSize() const { return size; }

    // Marks an area for repainting at the next redraw.
    void invalidate(const CRect& rect);
    void setOverlay(COptionMenu* menu);
    COptionMenu* getOverlay() const { return overlay; }
    void closeOverlay();

    // Mouse input in window pixels.
    void mouseDown(const CPoint& where, int buttons);
    void mouseMoved(const CPoint& where, int buttons);
    void mouseUp(const CPoint& where, int buttons);
    bool wheelAt(const CPoint& where, float distance);
    // The host's wheel request: at the last pointer position.
    bool onWheel(float distance) { return wheelAt(lastPointer, distance); }

    // Reads the window's events, then repaints and uploads what changed.
    void idle();
    // Repaints every marked area and every control that needs it.
    void redraw();
    // Repaints everything and writes the surface as a PNG file.
    bool writePng(const char* path);
    cairo_surface_t* getSurface() const { return surface; }

private:
    void drawArea(const CRect& area);

    CRect size;                          // 0, 0, width, height
    VSTGUIEditorInterface* editor;       // gets begin-edit and end-edit
    cairo_surface_t* surface = nullptr;  // the picture, ARGB32
    X11Window* window = nullptr;         // null when headless
    bool wantedWindow = false;           // a parent window was given
    CBitmap* background = nullptr;       // remembered
    std::vector<CControl*> views;        // owned, in drawing order
    std::vector<CRect> pending;          // areas to repaint
    CControl* mouseOwner = nullptr;      // control that got the last press
    COptionMenu* overlay = nullptr;      // open menu list, drawn on top
    CPoint lastPointer;                  // last reported pointer position
};
