// One plug-in instance driven offline, as a host renders offline: it answers
// kVstProcessLevelOffline when the plug-in asks, so the plug-in builds its plate impulses in
// step with the audio instead of the clock, and the output depends on the input and the
// settings alone. On top: removal of the 2048 samples of latency, and a tail rendered until
// it dies away.
//
// Lifecycle: construct (instantiates the plug-in, sets rate and block size); apply settings;
// start() switches the plug-in on (it builds its plate and warms its tube stage up then; the
// first render starts it if need be); render() as often as wanted; the destructor switches
// the plug-in off and closes it. Everything runs on the calling thread, which is the
// plug-in's user-interface and audio thread at once.
#pragma once

#include "tools/VstHost.h"
#include "tools/render/StereoStream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Set from a signal handler; render() stops at the next block when it is set.
extern std::atomic<bool> renderInterrupted;

struct RenderStats {
    int64_t inputFrames = 0;    // frames of the input
    int64_t tailFrames = 0;     // frames written after the input ended
    double inputPeak = 0.0;     // largest input magnitude
    double inputRms = 0.0;      // over both channels
    double outputPeak = 0.0;    // largest output magnitude
    double outputRms = 0.0;     // over both channels
    double seconds = 0.0;       // wall-clock time of the processing
    bool tailAtNoiseFloor = false;  // the automatic tail ended with the plate, above -90 dBFS
};

class OfflineRenderer {
public:
    static constexpr int kLatency = 2048;            // dry and wet paths of the plug-in
    static constexpr double kSilenceDb = -90.0;      // the automatic tail ends below this
    static constexpr double kSilenceHold = 0.5;      // seconds below it before the tail ends
    static constexpr double kTailMargin = 0.5;       // automatic tail past the plate's length, seconds

    OfflineRenderer(VstLibrary& library, double sampleRate, int blockSize);
    ~OfflineRenderer();
    OfflineRenderer(const OfflineRenderer&) = delete;
    OfflineRenderer& operator=(const OfflineRenderer&) = delete;

    VstInstance& plugin() { return *instance; }
    double sampleRate() const { return rate; }

    // Switches the plug-in on (effMainsChanged 1) with the settings made so far. Once only.
    void start();

    // Runs the source through the plug-in into the sink, latency removed. tailSeconds < 0:
    // render until the output's level in 10 ms windows stays below `silenceDb` dBFS for
    // half a second, and end the tail after the last window above it, but no later than
    // the plate can ring (plateSeconds() + 0.5 s: past that only the plug-in's own noise
    // floor, which can lie above -90 dBFS, remains); otherwise exactly that long after the
    // input. Throws std::runtime_error when interrupted or when the
    // plug-in produces non-finite samples.
    RenderStats render(StereoSource& source, StereoSink& sink, double tailSeconds,
                       const std::string& progressLabel = "", double silenceDb = kSilenceDb);

    // How long the plate can ring after the input ends, in seconds: the plate impulse that
    // "Length" gives ((v × 310000 + 11025) samples at 44.1 kHz, at most the convolver's
    // 394 partitions of 2048 samples) plus the pre-delay (up to 200 ms).
    double plateSeconds();

    // Feeds `frames` of silence and drops the output; returns the output's peak.
    float processSilence(int64_t frames);

private:
    void processBlock(int frames);  // inputs → outputs, counts the frames

    std::unique_ptr<VstInstance> instance;   // the plug-in
    double rate;                             // sample rate
    int block;                               // host block size
    std::vector<float> inL, inR;             // one host block of input
    std::vector<float> outL, outR;           // one host block of output
    int64_t processed;                       // frames processed since construction
    bool started;                            // switched on
};

// One line for stderr: levels in and out, tail length, time taken and real-time factor.
std::string describeStats(const RenderStats& stats, double sampleRate);
