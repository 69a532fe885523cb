// Draws the picture of an impulse response with cairo: title with the settings and the
// measured RT60s, the level envelopes and energy decay curves of both channels with the
// fitted decay lines, and a spectrogram with a log-frequency axis.
#pragma once

#include "tools/render/ReverbAnalysis.h"

#include <string>

struct PlotContent {
    std::string title;         // headline
    std::string settings;      // the parameter settings, one line
    double sampleRate = 0.0;   // of the response
    double duration = 0.0;     // seconds of response shown
    DecayAnalysis decay;       // envelope, decay curves, RT60
    Spectrogram spectrogram;   // of the mid signal
};

class PlotPainter {
public:
    static constexpr int kWidth = 1400;
    static constexpr int kHeight = 1000;

    // Writes the PNG; throws std::runtime_error when cairo cannot.
    static void paint(const PlotContent& content, const std::string& path);
};
