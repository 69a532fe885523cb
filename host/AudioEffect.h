// AudioEffect: the VST 2.4 base class. Owns the effect record handed to the host and turns
// the host's opcodes into virtual operations; every answer not overridden is the default
// of the dispatcher table (mostly 0, nothing changed).
#pragma once

#include "host/vst2.h"

#include <atomic>

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    // [host UI thread] opcode entry; never lets an exception out
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }

    // [audio thread]
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double**, double**, VstInt32) {}
    virtual void process(float**, float**, VstInt32) {}

    virtual void setParameter(VstInt32, float) {}
    virtual float getParameter(VstInt32) { return 0; }
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram.load(std::memory_order_relaxed); }
    virtual void setProgram(VstInt32 program) { curProgram.store(program, std::memory_order_relaxed); }
    virtual void setProgramName(char*) {}
    virtual void getProgramName(char* name) { *name = 0; }

    virtual void getParameterLabel(VstInt32, char* label) { *label = 0; }
    virtual void getParameterDisplay(VstInt32, char* text) { *text = 0; }
    virtual void getParameterName(VstInt32, char* text) { *text = 0; }

    virtual VstInt32 getChunk(void**, bool = false) { return 0; }
    virtual VstInt32 setChunk(void*, VstInt32, bool = false) { return 0; }

    virtual void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    virtual void canProcessReplacing(bool state = true);
    virtual void canDoubleReplacing(bool state = true);
    virtual void programsAreChunks(bool state = true);

    // The editor attaches itself here; the record then advertises it.
    virtual void setEditor(AEffEditor* newEditor);
    virtual AEffEditor* getEditor() { return editor; }

    virtual VstInt32 getMasterVersion();
    virtual void masterIdle();
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    AEffect* getAeffect() { return &cEffect; }
    audioMasterCallback getAudioMaster() const { return audioMaster; }

    // The C entry points stored in the record.
    static VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);

protected:
    void setFlag(VstInt32 flag, bool state);  // one effFlags… bit of the record

    // Calls the host unless the callback is null; the answer, or 0.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    audioMasterCallback audioMaster; // the host callback given to the entry
    AEffEditor* editor = nullptr;    // owned; released by the destructor
    float sampleRate = 44100.0f;     // last effSetSampleRate
    VstInt32 blockSize = 1024;       // last effSetBlockSize; stored only
    VstInt32 numPrograms;            // 50
    VstInt32 numParams;              // 17
    std::atomic<VstInt32> curProgram{0};  // index into the program bank; hosts may automate
                                          // from their audio thread while it changes
    AEffect cEffect;                 // the record handed to the host
};
