// Lv2Ui: the LV2 user interface, an X11 UI: the plug-in's editor (ControlsguiEditor, the
// same as in the VST 2.4 plug-in) inside the host's window (ui:parent), or in a top-level
// window of its own when the host only shows and hides UIs (ui:showInterface). It talks to
// the plug-in only through ports, by way of Lv2UiEffect. Driven by the host's idle calls
// (ui:idleInterface): the editor reads its window's events, redraws and moves the meter
// there. The child window carries size hints of the editor's size, from which hosts that
// embed X11 UIs (suil) size their socket. The host's ui:scaleFactor is the editor's host
// scale (the user's remembered zoom and LUSTRANA_SCALE come first); a zoom chosen while
// open resizes the host's window through ui:resize, or the UI's own window.
// [UI thread]: everything.
#pragma once

#include "lv2/Lv2UiEffect.h"

#include <lv2/ui/ui.h>

#include <memory>
#include <optional>

struct _XDisplay;
class ControlsguiEditor;

class Lv2Ui {
public:
    // Null when the editor cannot be opened in the host's window (no display, a bad id).
    static std::unique_ptr<Lv2Ui> create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                         const LV2_Feature* const* features, LV2UI_Widget* widget);
    ~Lv2Ui();
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    // 0 while the UI is shown; 1 once the user closed its own top-level window.
    int idle();
    int show();  // 0 on success
    int hide();

    unsigned long windowId() const;  // the editor's X window, 0 while closed

    // The host's ui:scaleFactor among the features (options, with urid:map), if it gave one.
    static std::optional<double> hostScale(const LV2_Feature* const* features);

private:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
          std::optional<double> scale);
    bool openIn(unsigned long parent);
    // The editor's size now, pixels.
    void currentSize(int& width, int& height);
    // Size hints of this size on a window, so that hosts size for it.
    void hintSize(unsigned long window, int width, int height);
    // The zoom asks for another size while open; false when the host cannot follow.
    bool resizeTo(int width, int height);
    bool openDisplay();
    bool closeRequested();  // the window manager asked to close the top-level window

    Lv2UiEffect effect;                  // the port-backed effect; owns the editor
    ControlsguiEditor* editor;           // created with the effect, deleted by it
    const LV2UI_Resize* resize = nullptr;  // the host's resize feature, or null
    _XDisplay* display = nullptr;        // our connection for hints and the top-level window
    unsigned long topLevel = 0;          // our own window when shown without a host window
    unsigned long deleteAtom = 0;        // WM_DELETE_WINDOW
};
