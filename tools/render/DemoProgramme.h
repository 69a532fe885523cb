// The demo's dry programme, synthesised in code: a bar of drums, a plucked phrase and a
// spoken-like formant burst, with gaps between them so that the plate can be heard.
#pragma once

#include "tools/render/StereoStream.h"

class DemoProgramme {
public:
    static constexpr double kSeconds = 6.5;  // length of the programme

    // The programme at `sampleRate`, peaking at -3 dBFS. Always the same.
    static StereoBuffer generate(double sampleRate);
};
