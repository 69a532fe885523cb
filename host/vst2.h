// The VST 2.4 binary interface, declared from its published facts: the effect record,
// the callback signatures, the opcodes and flags this plug-in and its test host use.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int32_t VstInt32;
typedef intptr_t VstIntPtr;
typedef int16_t VstInt16;

struct AEffect;

extern "C" {
typedef VstIntPtr (*audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr (*AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt);
typedef void (*AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                   VstInt32 sampleFrames);
typedef void (*AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                         VstInt32 sampleFrames);
typedef void (*AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float (*AEffectGetParameterProc)(AEffect* effect, VstInt32 index);
typedef AEffect* (*VstPluginMainProc)(audioMasterCallback host);
}

constexpr VstInt32 vstFourCC(char a, char b, char c, char d)
{
    return (VstInt32)(((uint32_t)(uint8_t)a << 24) | ((uint32_t)(uint8_t)b << 16) |
                      ((uint32_t)(uint8_t)c << 8) | (uint32_t)(uint8_t)d);
}

constexpr VstInt32 kEffectMagic = vstFourCC('V', 's', 't', 'P');

struct AEffect {
    VstInt32 magic;                                   // kEffectMagic
    AEffectDispatcherProc dispatcher;                 // opcode entry
    AEffectProcessProc process;                       // deprecated accumulating entry
    AEffectSetParameterProc setParameter;             // parameter write
    AEffectGetParameterProc getParameter;             // parameter read
    VstInt32 numPrograms;                             // program count
    VstInt32 numParams;                               // parameter count
    VstInt32 numInputs;                               // audio inputs
    VstInt32 numOutputs;                              // audio outputs
    VstInt32 flags;                                   // effFlags… bits
    VstIntPtr resvd1;                                 // zero
    VstIntPtr resvd2;                                 // zero
    VstInt32 initialDelay;                            // reported latency in samples
    VstInt32 realQualities;                           // deprecated
    VstInt32 offQualities;                            // deprecated
    float ioRatio;                                    // deprecated, 1
    void* object;                                     // the plug-in's own instance
    void* user;                                       // free for the host
    VstInt32 uniqueID;                                // registered identifier
    VstInt32 version;                                 // plug-in version
    AEffectProcessProc processReplacing;              // replacing float entry
    AEffectProcessDoubleProc processDoubleReplacing;  // replacing double entry
    char future[56];                                  // zero
};

#if defined(__x86_64__)
static_assert(sizeof(AEffect) == 192, "AEffect size on x86-64");
static_assert(offsetof(AEffect, dispatcher) == 8, "dispatcher offset");
static_assert(offsetof(AEffect, numPrograms) == 40, "numPrograms offset");
static_assert(offsetof(AEffect, flags) == 56, "flags offset");
static_assert(offsetof(AEffect, resvd1) == 64, "resvd1 offset");
static_assert(offsetof(AEffect, initialDelay) == 80, "initialDelay offset");
static_assert(offsetof(AEffect, ioRatio) == 92, "ioRatio offset");
static_assert(offsetof(AEffect, object) == 96, "object offset");
static_assert(offsetof(AEffect, uniqueID) == 112, "uniqueID offset");
static_assert(offsetof(AEffect, processReplacing) == 120, "processReplacing offset");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "processDoubleReplacing offset");
static_assert(offsetof(AEffect, future) == 136, "future offset");
#elif defined(__i386__)
static_assert(sizeof(AEffect) == 144, "AEffect size on i386");
static_assert(offsetof(AEffect, dispatcher) == 4, "dispatcher offset");
static_assert(offsetof(AEffect, numPrograms) == 20, "numPrograms offset");
static_assert(offsetof(AEffect, flags) == 36, "flags offset");
static_assert(offsetof(AEffect, initialDelay) == 48, "initialDelay offset");
static_assert(offsetof(AEffect, ioRatio) == 60, "ioRatio offset");
static_assert(offsetof(AEffect, object) == 64, "object offset");
static_assert(offsetof(AEffect, uniqueID) == 72, "uniqueID offset");
static_assert(offsetof(AEffect, processReplacing) == 80, "processReplacing offset");
static_assert(offsetof(AEffect, future) == 88, "future offset");
#endif

struct ERect {
    VstInt16 top, left, bottom, right;
};

struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};

enum VstAEffectFlags {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum AudioMasterOpcodes {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

enum AEffectOpcodes {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

enum {
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxEffectNameLen = 32,
};

enum VstPlugCategory { kPlugCategUnknown = 0 };

// Answers to audioMasterGetCurrentProcessLevel.
enum VstProcessLevels {
    kVstProcessLevelUnknown = 0,   // the host does not say
    kVstProcessLevelUser = 1,      // the user-interface thread
    kVstProcessLevelRealtime = 2,  // the audio thread
    kVstProcessLevelPrefetch = 3,  // a sequencer thread working ahead
    kVstProcessLevelOffline = 4,   // rendering offline, faster or slower than real time
};
