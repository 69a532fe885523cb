// ControlsguiEditor: the plug-in's window, 900 × 851 units at 100 %. One picture (image 101)
// carries every caption and scale; the controls draw only the moving parts over it:
// film-strip knobs, the meter needle, the decay-time marker, the power switch and the
// UP/DOWN buttons, plus the four menus' texts and the value read-out. The plate in the
// picture is an invisible button that sends a test impulse.
//
// Zoom: the window shows the layout at a factor of 0.75 … 2 (EditorScale says which when it
// opens; a right click opens the menu "Zoom 75 %" … "Zoom 200 %", whose choice is
// remembered for the user). The rectangle the host gets is the zoomed size. A choice while
// open asks the host to resize its window (when it says it can) and redraws at the new
// size; a host that cannot resize gets the new size at the next open.
//
// Threads: construction, open, close, idle and all mouse handling run on the host's UI
// thread. setParameter comes from whatever thread sets the effect's parameters; it only sets
// control values (atomics) and is ignored while the window is closed or still being built.
// It never waits: it only counts itself in and out, and close waits for that count to reach
// zero before the controls are destroyed.
#pragma once

#include "editor/EditorScale.h"
#include "toolkit/AEffGUIEditor.h"
#include "toolkit/CControl.h"

#include <atomic>
#include <cstdint>
#include <optional>

class CAnimKnob;
class CBitmap;
class CKickButton;
class COnOffButton;
class COptionMenu;
class CTextLabel;
class PlateLink;

class ControlsguiEditor : public AEffGUIEditor, public CControlListener {
public:
    // Control tags that are not parameter indices.
    enum { kMeterTag = 18, kUpTag = 19, kDownTag = 20, kPingTag = 21, kZoomTag = 22 };
    static constexpr int kUnitsWide = 900, kUnitsHigh = 851;  // the layout's size in units

    // hostScale: the host's own scale factor, if its interface gives one (VST 2 does not).
    explicit ControlsguiEditor(AudioEffect* effect, std::optional<double> hostScale = std::nullopt);
    ~ControlsguiEditor() override;

    // The zoomed size. While closed, the zoom is chosen anew (EditorScale) and kept for the
    // next open.
    bool getRect(ERect** rect) override;
    // Opens inside the host's X11 window (ptr is its id); false without a display, with a
    // bad window id, or when already open in another window.
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // Shows a parameter the effect now holds. [any thread]
    virtual void setParameter(VstInt32 index, float value);
    void valueChanged(CControl* control) override;
    // The zoom menu is the editor's own: no parameter, nothing for the host.
    void beginEdit(long tag) override;
    void endEdit(long tag) override;

    // The user's choice of zoom: remembered, and applied as the class comment says.
    void chooseZoom(double factor);

    // Builds the window on a headless frame: tests and screenshots.
    bool openHeadless();
    // Draws the editor with the current parameter values into a PNG file at a zoom (0: the
    // open window's, or 100 % when closed), opening a headless frame for the moment if the
    // window is closed. False for a zoom other than the open window's.
    bool writeScreenshot(const char* path, double scale = 0);

    const char* getDisplayText() const { return displayText; }
    uint32_t getLastMeterUpdate() const { return lastMeterUpdate; }

private:
    bool build(void* parentWindow);
    // Sets the zoom and the rectangle the host gets.
    void applyZoom(double factor);
    // The zoom menu (tag 22), given to the frame as its context menu.
    void addZoomMenu(CFrame* frame);
    // Stops setParameter from reaching the controls and waits for calls still inside.
    void retireControls();
    // Sets the control of a parameter to the effect's value. [any thread, controls alive]
    void showParameter(VstInt32 index);
    // The menu takes p: entry trunc(p) if it exists, then entry trunc((p + 0.03) × 10) if that
    // one exists.
    static void showMenuValue(COptionMenu* menu, float p);
    void showReadOut();
    void formatGain(const char* format, const char* silent, float v);

    PlateLink* plate;                      // the effect, for requestPing and the meter level
    CBitmap* background;                   // image 101, from construction to destruction
    CControl* knobs[12] = {};              // parameters 0..11; 7 and 8 stay empty
    COnOffButton* powerSwitch = nullptr;   // parameter 16
    CAnimKnob* levelMeter = nullptr;       // tag 18
    CKickButton* upButton = nullptr;       // tag 19
    CKickButton* downButton = nullptr;     // tag 20
    CKickButton* pingArea = nullptr;       // tag 21
    COptionMenu* menus[4] = {};            // parameters 12..15
    char displayText[256];                 // the read-out's text
    CTextLabel* valueDisplay = nullptr;    // the read-out
    uint32_t lastMeterUpdate = 0;          // tick of the last meter step, ms [UI thread]
    EditorScale scaleChoice;               // where the zoom comes from [UI thread]
    double zoom = 1.0;                     // window pixels per unit [UI thread]
    bool zoomChosen = false;               // getRect chose the zoom for the next open
    std::atomic<bool> controlsReady{false};// the controls exist and may follow setParameter
    std::atomic<int> settersInside{0};     // setParameter calls between their check and return
};
