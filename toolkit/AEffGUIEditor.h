// AEffGUIEditor: the VST 2.x editor base of the widget layer. It registers itself with the
// effect, keeps the editor rectangle and the frame, passes idle, keys and the wheel to the
// frame, keeps the toolkit-wide knob mode, and forwards the controls' begin-edit and
// end-edit to the effect. [UI thread]
#pragma once

#include "host/AEffEditor.h"
#include "toolkit/VSTGUIEditorInterface.h"

class CFrame;

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    bool open(void* ptr) override;
    void close() override;
    bool isOpen() override { return frame != nullptr; }
    void idle() override;
    bool onKeyDown(VstKeyCode& key) override;
    bool onKeyUp(VstKeyCode& key) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 mode) override;

    // VSTGUIEditorInterface
    void beginEdit(long tag) override;
    void endEdit(long tag) override;
    int getKnobMode() const override { return knobMode; }
    // Runs idle, then asks the host for idle time.
    void doIdleStuff() override;

    CFrame* getFrame() const { return frame; }

    static constexpr int kEscapeKey = 6;  // VKEY_ESCAPE

protected:
    ERect rect = {0, 0, 0, 0};  // editor rectangle handed to the host
    CFrame* frame = nullptr;    // the open window's frame; null while closed
    bool inIdlePump = false;    // doIdleStuff is running

    static int knobMode;        // toolkit-wide knob mode [UI thread]
};
