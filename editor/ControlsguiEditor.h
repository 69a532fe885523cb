// ControlsguiEditor: the plug-in's 900 × 851 window. One picture (image 101) carries every
// caption and scale; the controls draw only the moving parts over it: film-strip knobs, the
// meter needle, the decay-time marker, the power switch and the UP/DOWN buttons, plus the
// four menus' texts and the value read-out. The plate in the picture is an invisible button
// that sends a test impulse.
//
// Threads: construction, open, close, idle and all mouse handling run on the host's UI
// thread. setParameter comes from whatever thread sets the effect's parameters; it only sets
// control values (atomics) and is ignored while the window is closed or still being built.
// It never waits: it only counts itself in and out, and close waits for that count to reach
// zero before the controls are destroyed.
#pragma once

#include "toolkit/AEffGUIEditor.h"
#include "toolkit/CControl.h"

#include <atomic>
#include <cstdint>

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
    enum { kMeterTag = 18, kUpTag = 19, kDownTag = 20, kPingTag = 21 };

    explicit ControlsguiEditor(AudioEffect* effect);
    ~ControlsguiEditor() override;

    // Opens inside the host's X11 window (ptr is its id); false without a display, with a
    // bad window id, or when already open in another window.
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // Shows a parameter the effect now holds. [any thread]
    virtual void setParameter(VstInt32 index, float value);
    void valueChanged(CControl* control) override;

    // Builds the window on a headless frame: tests and screenshots.
    bool openHeadless();
    // Draws the editor with the current parameter values into a PNG file, opening a
    // headless frame for the moment if the window is closed.
    bool writeScreenshot(const char* path);

    const char* getDisplayText() const { return displayText; }
    uint32_t getLastMeterUpdate() const { return lastMeterUpdate; }

private:
    bool build(void* parentWindow);
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
    std::atomic<bool> controlsReady{false};// the controls exist and may follow setParameter
    std::atomic<int> settersInside{0};     // setParameter calls between their check and return
};
