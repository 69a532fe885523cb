// One program (preset) of the bank: 17 parameter values and a name.
#pragma once

#include "host/vst2.h"

struct ControlsguiProgram {
    static constexpr int kNumParams = 17;

    ControlsguiProgram();

    float values[kNumParams];       // one value per parameter index
    char name[kVstMaxProgNameLen];  // zero-terminated, at most 23 characters
};
