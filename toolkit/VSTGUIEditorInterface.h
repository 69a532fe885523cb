// What the frame and its controls need from the editor that owns them: the begin-edit and
// end-edit forwarding around a gesture, the knob mode, and the idle pump.
#pragma once

class VSTGUIEditorInterface {
public:
    virtual ~VSTGUIEditorInterface() {}
    virtual void beginEdit(long tag) = 0;
    virtual void endEdit(long tag) = 0;
    virtual int getKnobMode() const = 0;
    virtual void doIdleStuff() {}
};
