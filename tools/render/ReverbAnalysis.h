// Measurements of a stereo impulse response: the level envelope, the energy decay curve
// (Schroeder's backward integration) with the reverberation time fitted on it, and a
// spectrogram.
#pragma once

#include <string>
#include <vector>

struct ChannelDecay {
    std::vector<float> envelopeDb;  // short-window level, dB re the loudest window
    std::vector<float> decayDb;     // energy decay curve, dB re the total energy
    double rt60 = 0.0;              // seconds, 0 when the decay is too short to fit
    double fitSlope = 0.0;          // dB per second of the fitted line
    double fitOffset = 0.0;         // dB at time 0 of the fitted line
    double fitFrom = 0.0;           // seconds: where the fitted range starts and ends
    double fitTo = 0.0;
    std::string method;             // "T30", "T20" or "T10": the range the fit used
    double peakDb = -200.0;         // the response's peak in dBFS
};

struct DecayAnalysis {
    double step = 0.0;              // seconds between curve points
    ChannelDecay channel[2];        // left, right
};

// `window` is the envelope's window length in seconds, also the curves' point spacing.
DecayAnalysis analyseDecay(const std::vector<float>& left, const std::vector<float>& right,
                           double sampleRate, double window = 0.005);

struct Spectrogram {
    int columns = 0;                // time steps
    int bins = 0;                   // frequency bins, 0 … Nyquist
    double columnStep = 0.0;        // seconds between columns
    double binStep = 0.0;           // hertz between bins
    std::vector<float> levelDb;     // columns × bins, dB re the loudest cell
    float level(int column, int bin) const { return levelDb[(size_t)column * bins + bin]; }
};

// Hann-windowed short-time spectrum of `signal` with about `columns` columns.
Spectrogram computeSpectrogram(const std::vector<float>& signal, double sampleRate, int columns,
                               int fftSize = 2048);
