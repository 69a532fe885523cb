#include "tools/render/OfflineRenderer.h"

#include "tools/render/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

std::atomic<bool> renderInterrupted{false};

namespace {

struct LevelMeter {
    double peak = 0.0;    // largest magnitude
    double energy = 0.0;  // sum of squares
    int64_t samples = 0;  // samples measured

    void measure(const float* data, int count)
    {
        for (int i = 0; i < count; i++) {
            double x = data[i];
            peak = std::max(peak, std::fabs(x));
            energy += x * x;
        }
        samples += count;
    }
    double rms() const { return samples ? std::sqrt(energy / (double)samples) : 0.0; }
};

std::string decibels(double level)
{
    char text[32];
    if (level <= 1e-10)
        return "-inf";
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(level));
    return text;
}

} // namespace

OfflineRenderer::OfflineRenderer(VstLibrary& library, double sampleRate, int blockSize)
    : rate(sampleRate), block(blockSize), inL(blockSize), inR(blockSize), outL(blockSize), outR(blockSize),
      processed(0), started(false)
{
    instance = library.instantiate();
    if (!instance)
        throw std::runtime_error(library.path() + " declined to create an effect");
    AEffect* effect = instance->effect();
    if (effect->numInputs != 2 || effect->numOutputs != 2 || !(effect->flags & effFlagsCanReplacing) ||
        !effect->processReplacing)
        throw std::runtime_error(library.path() + " is not a stereo effect with replacing processing");
    instance->processLevel = kVstProcessLevelOffline;
    instance->hostBlockSize = blockSize;
    instance->setSampleRate((float)sampleRate);
    instance->dispatch(effSetBlockSize, 0, blockSize);
}

void OfflineRenderer::start()
{
    if (started)
        return;
    started = true;
    instance->dispatch(effMainsChanged, 0, 1);
}

OfflineRenderer::~OfflineRenderer()
{
    if (instance && instance->isOpen()) {
        if (started)
            instance->dispatch(effMainsChanged, 0, 0);
        instance->close();
    }
}

void OfflineRenderer::processBlock(int frames)
{
    start();
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    instance->processReplacing(inputs, outputs, frames);
    processed += frames;
}

float OfflineRenderer::processSilence(int64_t frames)
{
    std::fill(inL.begin(), inL.end(), 0.0f);
    std::fill(inR.begin(), inR.end(), 0.0f);
    float peak = 0.0f;
    while (frames > 0) {
        if (renderInterrupted.load())
            throw std::runtime_error("interrupted");
        int n = (int)std::min<int64_t>(frames, block);
        processBlock(n);
        for (int i = 0; i < n; i++)
            peak = std::max({peak, std::fabs(outL[i]), std::fabs(outR[i])});
        frames -= n;
    }
    return peak;
}

double OfflineRenderer::plateSeconds()
{
    double length = (instance->getParameter(6) * 310000.0 + 11025.0) / 44100.0;
    double preDelay = instance->getParameter(5) * 0.2;
    if (!std::isfinite(length) || !std::isfinite(preDelay))
        return 0.0;
    return std::clamp(length, 0.0, 394.0 * 2048.0 / rate) + std::clamp(preDelay, 0.0, 0.2);
}

RenderStats OfflineRenderer::render(StereoSource& source, StereoSink& sink, double tailSeconds,
                                    const std::string& progressLabel, double silenceDb)
{
    const auto clockStart = std::chrono::steady_clock::now();
    RenderStats stats;
    const int64_t inputFrames = source.frames();
    const bool automatic = tailSeconds < 0.0;
    const int64_t fixedTail = automatic ? 0 : (int64_t)std::llround(tailSeconds * rate);
    const int64_t tailLimit = automatic ? (int64_t)((plateSeconds() + kTailMargin) * rate) : fixedTail;
    const int64_t hold = (int64_t)(kSilenceHold * rate);
    const double threshold = std::pow(10.0, silenceDb / 20.0);

    std::vector<float> tailL, tailR;  // automatic tail, held back until its end is known
    int64_t lastLoud = -1;            // last tail frame of a window at or above the threshold
    const int window = std::max(1, (int)(0.01 * rate));  // 10 ms level windows in the tail
    double windowL = 0.0, windowR = 0.0;  // energy of the current window
    int windowFill = 0;                   // frames in the current window
    int64_t fed = 0;                  // frames given to the plug-in in this render
    int64_t inputRead = 0;            // input frames read so far
    LevelMeter inMeter, outMeter;
    ProgressBar progress(progressLabel, rate, inputFrames);

    std::vector<float> directL, directR;
    while (true) {
        if (renderInterrupted.load())
            throw std::runtime_error("interrupted");
        int64_t delivered = std::max<int64_t>(0, fed - kLatency);  // output frames so far
        int64_t tailSoFar = std::max<int64_t>(0, delivered - inputFrames);
        if (delivered >= inputFrames) {
            if (!automatic && tailSoFar >= fixedTail)
                break;
            if (automatic && (tailSoFar - (lastLoud + 1) >= hold || tailSoFar >= tailLimit)) {
                stats.tailAtNoiseFloor = tailSoFar >= tailLimit && tailSoFar - (lastLoud + 1) < hold;
                break;
            }
        }
        int n = block;
        if (!automatic)
            n = (int)std::min<int64_t>(n, inputFrames + fixedTail + kLatency - fed);
        int got = 0;
        if (inputRead < inputFrames) {
            got = source.read(inL.data(), inR.data(), (int)std::min<int64_t>(n, inputFrames - inputRead));
            if (got <= 0)
                throw std::runtime_error("the input ended after " + std::to_string(inputRead) + " of " +
                                         std::to_string(inputFrames) + " frames");
            inMeter.measure(inL.data(), got);
            inMeter.measure(inR.data(), got);
            inputRead += got;
            n = got;
        }
        std::fill(inL.begin() + got, inL.begin() + n, 0.0f);
        std::fill(inR.begin() + got, inR.begin() + n, 0.0f);
        processBlock(n);

        directL.clear();
        directR.clear();
        for (int k = 0; k < n; k++) {
            int64_t position = fed + k - kLatency;  // output frame this sample belongs to
            if (position < 0)
                continue;
            float l = outL[k], r = outR[k];
            if (!std::isfinite(l) || !std::isfinite(r)) {
                char text[160];
                std::snprintf(text, sizeof text, "the plug-in produced a non-finite sample at %.3f s",
                              (double)position / rate);
                throw std::runtime_error(text);
            }
            if (position < inputFrames || !automatic) {
                // A fixed tail needs no trimming: it streams out like the input part.
                directL.push_back(l);
                directR.push_back(r);
            } else if (position - inputFrames < tailLimit) {
                tailL.push_back(l);
                tailR.push_back(r);
                windowL += (double)l * l;
                windowR += (double)r * r;
                if (++windowFill == window) {
                    // The tail is loud while a window's mean square in either channel is.
                    if (std::max(windowL, windowR) / window >= threshold * threshold)
                        lastLoud = position - inputFrames;
                    windowL = windowR = 0.0;
                    windowFill = 0;
                }
            }
        }
        if (!directL.empty()) {
            outMeter.measure(directL.data(), (int)directL.size());
            outMeter.measure(directR.data(), (int)directR.size());
            sink.write(directL.data(), directR.data(), (int)directL.size());
        }
        fed += n;
        progress.update(std::max<int64_t>(0, fed - kLatency));
    }
    progress.clear();

    int64_t tailFrames = automatic ? std::min<int64_t>(lastLoud + 1, (int64_t)tailL.size()) : 0;
    for (int64_t start = 0; start < tailFrames; start += block) {
        int n = (int)std::min<int64_t>(block, tailFrames - start);
        outMeter.measure(tailL.data() + start, n);
        outMeter.measure(tailR.data() + start, n);
        sink.write(tailL.data() + start, tailR.data() + start, n);
    }
    stats.inputFrames = inputFrames;
    stats.tailFrames = automatic ? tailFrames : fixedTail;
    stats.inputPeak = inMeter.peak;
    stats.inputRms = inMeter.rms();
    stats.outputPeak = outMeter.peak;
    stats.outputRms = outMeter.rms();
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clockStart).count();
    return stats;
}

std::string describeStats(const RenderStats& stats, double sampleRate)
{
    double audio = (double)(stats.inputFrames + stats.tailFrames) / sampleRate;
    char text[512];
    std::snprintf(text, sizeof text,
                  "in %.2f s, peak %s dBFS, rms %s dBFS | out %.2f s, peak %s dBFS, rms %s dBFS | tail %.2f s%s | "
                  "%.2f s, %.1fx real time",
                  (double)stats.inputFrames / sampleRate, decibels(stats.inputPeak).c_str(),
                  decibels(stats.inputRms).c_str(), audio, decibels(stats.outputPeak).c_str(),
                  decibels(stats.outputRms).c_str(), (double)stats.tailFrames / sampleRate,
                  stats.tailAtNoiseFloor ? " (ends in the plug-in's noise floor)" : "", stats.seconds,
                  stats.seconds > 0 ? audio / stats.seconds : 0.0);
    return text;
}
