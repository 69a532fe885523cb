// The plate's impulse response as a host hears it, and the picture of it.
#pragma once

#include "tools/render/OfflineRenderer.h"
#include "tools/render/ParameterTable.h"
#include "tools/render/PlotPainter.h"
#include "tools/render/StereoStream.h"

#include <string>

class ImpulseResponse {
public:
    // Sends a unit impulse (both inputs) through the whole chain with "Mix" 1, "Solid State",
    // the filters open ("Hipass" 0, "Lowpass" 1) and the power on, latency removed; every
    // other setting as it is. The settings are restored afterwards.
    static StereoBuffer render(OfflineRenderer& renderer, double tailSeconds, RenderStats* stats = nullptr);

    // Title, settings line, decay analysis and spectrogram for the picture.
    static PlotContent describe(const StereoBuffer& response, double sampleRate, const std::string& settings);

    // "RT60 left 1.84 s, right 1.79 s (T30)" for the terminal.
    static std::string rt60Line(const DecayAnalysis& decay);

    // Writes a stereo buffer to a file (format chosen as for renders; float WAV by default).
    static void write(const StereoBuffer& audio, const std::string& path, const std::string& formatOption,
                      double sampleRate, int defaultFormat);
};
