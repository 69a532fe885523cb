// Parameter indices, defaults and the selector readers shared by the effect and the editor.
#pragma once

enum ParameterIndex {
    kGain = 0,
    kVolume,
    kWidth,
    kHipass,
    kLowpass,
    kPreDel,
    kLength,
    kSound,
    kTune,
    kModVel,
    kModAmp,
    kMix,
    kMode,
    kModMode,
    kPlateType,
    kInputStage,
    kPower,
    kNumParams
};

constexpr int kNumPrograms = 50;

extern const float kParameterDefaults[kNumParams];
extern const char* const kParameterNames[kNumParams];

// Menu texts of the four selectors ("Mode", "ModMode", PlateType, InputStage), in entry
// order; entry i stands for the value i × 0.1. A parameter that is no selector has none.
struct SelectorEntries {
    const char* const* texts;  // count texts
    int count;                 // 0 for the other parameters
};
SelectorEntries selectorEntries(int index);
// The value of entry i of a selector: i × 0.1 in single precision, as the editor writes it.
float selectorValue(int entry);

// "Mode", PlateType and InputStage: (int)(v × 10 + 0.03) in single precision, truncated.
// Non-finite or huge values give -1, which every reader treats as "none of the entries".
int selectorIndex(float value);
// "ModMode": (int)(v × 10), truncated, without the offset; -1 as above.
int modulationSelector(float value);
