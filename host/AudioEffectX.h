// AudioEffectX: the VST 2.x extensions of the base class (names, canDo, indexed program
// names, editing notifications, the vendor-specific wheel request, key and knob-mode opcodes).
#pragma once

#include "host/AudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    virtual bool canParameterBeAutomated(VstInt32) { return true; }
    virtual bool string2parameter(VstInt32, char*) { return false; }
    virtual bool getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
    virtual bool getInputProperties(VstInt32, void*) { return false; }
    virtual bool getOutputProperties(VstInt32, void*) { return false; }
    virtual VstInt32 getPlugCategory() { return kPlugCategUnknown; }
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
    virtual VstInt32 canDo(char*) { return 0; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual bool getParameterProperties(VstInt32, void*) { return false; }
    virtual VstInt32 getVstVersion() { return 2400; }
    virtual VstInt32 getCurrentMidiProgram(VstInt32, void*) { return -1; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual VstInt32 getNumMidiInputChannels() { return 1; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }

    // Host notifications around a user gesture on a control.
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    // The host's canDo answer: 1 yes, -1 no, 0 it does not know. [UI thread]
    virtual VstInt32 canHostDo(char* text);
    // Asks the host to give the editor's window this size; true when it did. [UI thread]
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
};
