// CControl: the base of every control: rectangle, value, tag, listener, redraw mark, and the
// frame it sits in. CControlListener is the editor side that hears value changes.
//
// Threads: the value and the redraw mark may be written from any thread (the effect's
// setParameter reaches the controls from wherever the host sets parameters), so they are
// atomics; drawing and mouse handling run on the UI thread only.
#pragma once

#include "toolkit/CGraphics.h"

#include <cairo.h>

#include <atomic>

class CBitmap;
class CControl;
class CFrame;

class CControlListener {
public:
    virtual ~CControlListener() {}
    virtual void valueChanged(CControl* control) = 0;
    virtual long controlModifierClicked(CControl*, long) { return 0; }
    virtual void controlBeginEdit(CControl*) {}
    virtual void controlEndEdit(CControl*) {}
};

class CControl {
public:
    CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr);
    virtual ~CControl();
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    virtual void draw(cairo_t* cr) = 0;
    // Whether a click at `where` belongs to this control.
    virtual bool hitTest(const CPoint& where) const { return size.pointInside(where); }
    // The area its drawing may cover; the frame repaints it when the control changes.
    virtual CRect getDrawBounds() const { return size; }
    virtual void onMouseDown(const CPoint&, int) {}
    virtual void onMouseMoved(const CPoint&, int) {}
    virtual void onMouseUp(const CPoint&, int) {}
    virtual bool onWheel(const CPoint&, float) { return false; }
    // The frame goes away during a gesture: close its edit bracket, report nothing more.
    virtual void abortGesture() {}

    virtual void setValue(float v) { value.store(v, std::memory_order_relaxed); }
    float getValue() const { return value.load(std::memory_order_relaxed); }
    void setDefaultValue(float v) { defaultValue = v; }
    float getDefaultValue() const { return defaultValue; }
    long getTag() const { return tag; }
    const CRect& getViewSize() const { return size; }

    void setDirty(bool state = true) { dirty.store(state, std::memory_order_relaxed); }
    // Marked, or the value moved since the last draw. [UI thread]
    virtual bool needsRedraw() const;
    virtual void markDrawn();

    void setFrame(CFrame* f) { frame = f; }
    CFrame* getFrame() const { return frame; }

protected:
    // The gesture brackets: the editor forwards them to the effect with this tag.
    void beginEdit();
    void endEdit();
    // Tells the listener about the current value.
    void notifyListener();

    CRect size;                       // window rectangle
    CControlListener* listener;       // the editor, or null
    long tag;                         // parameter index or one of the editor's own tags
    CBitmap* bitmap;                  // remembered image, or null
    CFrame* frame = nullptr;          // set when added to a frame
    std::atomic<float> value{0.0f};   // any thread writes, UI thread draws
    std::atomic<bool> dirty{true};    // redraw requested
    float drawnValue = -1e30f;        // value at the last draw [UI thread]
    float defaultValue = 0.5f;        // value for a reset
};
