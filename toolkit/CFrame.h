// CFrame: the editor's drawing surface and the owner of its controls. The controls are laid
// out in units (the 1× pixels of the editor's artwork); the frame draws them at its scale,
// units × scale pixels, into one cairo image surface of the window's size. A windowed frame
// then uploads the redrawn areas into its X11 child window, a headless frame (no parent
// window) can write the surface to a PNG file. Input arrives as mouse calls in window
// pixels, from the X11 window in idle or from a test, and reaches the controls in units, so
// hit areas and drag distances scale with the picture. An open option menu is an overlay
// that takes the next click; a right click opens the context menu, if there is one.
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
    // size: in units; parentWindow: the host's X11 window id, or null for a headless frame;
    // scale: window pixels per unit.
    CFrame(const CRect& size, void* parentWindow, VSTGUIEditorInterface* editor, double scale = 1.0);
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

    double getScale() const { return scale; }
    int getPixelWidth() const { return pixelWidth; }
    int getPixelHeight() const { return pixelHeight; }
    // The window's size in pixels at a scale: units × scale, rounded.
    static int pixelsOf(double units, double scale);
    // Draws at another scale from now on: a new surface, the child window resized, all of it
    // repainted at the next redraw. False (and nothing changed) when the surface cannot be made.
    bool setScale(double newScale);

    // Marks an area (units) for repainting at the next redraw.
    void invalidate(const CRect& rect);
    // The same for an area in window pixels (an X expose).
    void invalidatePixels(const CRect& pixels);
    void setOverlay(COptionMenu* menu);
    COptionMenu* getOverlay() const { return overlay; }
    void closeOverlay();
    // The menu a right click opens at the pointer (owned; null for none).
    void setContextMenu(COptionMenu* menu);
    COptionMenu* getContextMenu() const { return contextMenu; }

    // Mouse input in window pixels.
    void mouseDown(const CPoint& where, int buttons);
    void mouseMoved(const CPoint& where, int buttons);
    void mouseUp(const CPoint& where, int buttons);
    bool wheelAt(const CPoint& where, float distance);
    // The host's wheel request: at the last pointer position.
    bool onWheel(float distance) { return wheelAtUnits(lastPointer, distance); }

    // Reads the window's events, then repaints and uploads what changed.
    void idle();
    // Repaints every marked area and every control that needs it.
    void redraw();
    // Repaints everything and writes the surface as a PNG file.
    bool writePng(const char* path);
    cairo_surface_t* getSurface() const { return surface; }

private:
    // Paints an area given in window pixels.
    void drawArea(const CRect& pixels);
    // Pixels per unit along each axis: the scale, adjusted by the rounding of the window's size.
    double scaleX() const { return pixelWidth / size.width(); }
    double scaleY() const { return pixelHeight / size.height(); }
    CPoint toUnits(const CPoint& pixel) const { return {pixel.h / scaleX(), pixel.v / scaleY()}; }
    CRect toUnits(const CRect& pixels) const
    {
        return CRect(pixels.left / scaleX(), pixels.top / scaleY(), pixels.right / scaleX(), pixels.bottom / scaleY());
    }
    // wheelAt for a point already in units (the last pointer position).
    bool wheelAtUnits(const CPoint& where, float distance);

    CRect size;                          // 0, 0, width, height in units
    VSTGUIEditorInterface* editor;       // gets begin-edit and end-edit
    double scale = 1.0;                  // window pixels per unit
    int pixelWidth = 0, pixelHeight = 0; // the surface's and the window's size
    cairo_surface_t* surface = nullptr;  // the picture, ARGB32, in window pixels
    X11Window* window = nullptr;         // null when headless
    bool wantedWindow = false;           // a parent window was given
    CBitmap* background = nullptr;       // remembered
    std::vector<CControl*> views;        // owned, in drawing order
    std::vector<CRect> pending;          // areas to repaint, units
    CControl* mouseOwner = nullptr;      // control that got the last press
    COptionMenu* overlay = nullptr;      // open menu list, drawn on top
    COptionMenu* contextMenu = nullptr;  // opened by a right click; owned, not a view
    CPoint lastPointer;                  // last reported pointer position, units
};
