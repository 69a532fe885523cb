// Block processing [audio thread]: the control update that turns parameters into per-block
// constants, the per-sample signal chain, and the meter publication.
//
// Parameter values are stored as hosts send them; what processing reads is made safe here:
// a value that is not a number reads as the parameter's default and every other value is
// held to 0..1, the range hosts and the editor use. Inside that range nothing changes.
// Non-finite input samples are taken as silence, and the plate feed is bounded to +80 dBFS,
// so a hostile block can never leave NaN or infinity in a filter, the convolver or the tube.
#include "core/Controlsgui.h"

#include "core/Rand15.h"
#include "dsp/QS_CHORUS_1.h"
#include "dsp/QS_ConvolverP.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

float finiteOrZero(float x)
{
    return std::isfinite(x) ? x : 0.0f;
}

typedef double Dual __attribute__((vector_size(16)));   // left, right

Dual load2(const double* p)
{
    Dual v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

void store2(double* p, Dual v)
{
    __builtin_memcpy(p, &v, sizeof v);
}

} // namespace

float Controlsgui::control(int index) const
{
    float v = parameterValues[index].load(std::memory_order_relaxed);
    if (std::isnan(v))
        return kParameterDefaults[index];
    return std::clamp(v, 0.0f, 1.0f);
}

void Controlsgui::computeBiquad(Biquad& q, float f, float qDivisor, bool highpass)
{
    q.f = std::min(f, kMaxNormalisedCorner);
    double w = q.f * kTwoPi;
    q.cosw = std::cos(w);
    q.alpha = (double)(std::sin((float)w) / qDivisor);
    const double side = highpass ? 1.0 + q.cosw : 1.0 - q.cosw;
    q.b0 = q.b2 = side * 0.5;
    q.b1 = highpass ? -side : side;
    q.a0 = 1.0 + q.alpha;
    q.a1 = q.cosw * -2.0;
    q.a2 = 1.0 - q.alpha;
    q.invA0 = 1.0 / q.a0;
}

void Controlsgui::computeHighpass(Biquad& q, float value, float rateToRef)
{
    // corner 44.1 Hz … 2028.6 Hz at any rate, Q 1.414 / 2
    computeBiquad(q, (value * 0.045f + 0.001f) * rateToRef, 1.414f, true);
}

void Controlsgui::computeLowpass(Biquad& q, float value, float rateToRef)
{
    // corner 882 Hz … 20727 Hz at any rate (held below Nyquist at low rates), Q 0.96 / 2
    computeBiquad(q, (value * 0.45f + 0.02f) * rateToRef, 0.96f, false);
}

void Controlsgui::updateControls()
{
    int stage = selectorIndex(control(kInputStage));
    inputStage = stage;

    limiterAttack = std::exp(std::log(0.983f) * rateToRef);
    limiterRelease = std::exp(std::log(0.999f) * rateToRef);

    float sweep = control(kModVel) * 0.3f;
    for (ChorusParams& p : chorusParams)
        p.sweepWidth = p.rate = sweep;

    auto differs = [this](int index, float value) { return !(cachedParameters[index] == value); };

    float hp = control(kHipass);
    if (differs(kHipass, hp)) {
        computeHighpass(highpass, hp, rateToRef);
        cachedParameters[kHipass] = hp;
    }
    float lp = control(kLowpass);
    if (differs(kLowpass, lp)) {
        computeLowpass(lowpass, lp, rateToRef);
        cachedParameters[kLowpass] = lp;
    }

    int mode = selectorIndex(control(kMode));
    routingMode.store(mode, std::memory_order_relaxed);

    bool rebuild = (mode != 4 && differs(kWidth, control(kWidth))) || differs(kLength, control(kLength)) ||
                   differs(kSound, control(kSound)) || differs(kTune, control(kTune)) ||
                   differs(kPlateType, control(kPlateType));
    if (rebuild && !rebuildRequested[0].load(std::memory_order_acquire) &&
        !rebuildRequested[1].load(std::memory_order_acquire)) {
        // Length and the cache first, then the flags: the synthesis acquires them and finds
        // the request complete.
        impulseLength = impulseLengthFor(control(kLength));
        requestTime = std::chrono::steady_clock::now();
        samplesSinceRequest = 0;
        for (int i = 0; i <= kMix; i++)
            cachedParameters[i] = control(i);
        cachedParameters[kPlateType] = control(kPlateType);
        rebuildRequested[0].store(true, std::memory_order_release);
        rebuildRequested[1].store(true, std::memory_order_release);
    }

    int delay = (int)(refToRate * control(kPreDel) * 8819.0f);
    preDelaySamples = std::min(delay, kPreDelayCapacity - 1);
    // The write position follows the delay from the block's first sample on; otherwise the
    // first sample after a change (the very first sample of a fresh instance among them)
    // would still go through at the old delay.
    preDelayWrite = (preDelayRead + preDelaySamples) % kPreDelayCapacity;
}

void Controlsgui::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    updateControls();
    processedAudio = true;

    // A request that waits for the timer is served here, before the next sample, when the
    // host renders offline (or when this instance has no timer).
    bool owed = false;
    if (rebuildRequested[0].load(std::memory_order_acquire)) {
        if (driver == SynthesisDriver::Inline)
            owed = true;
        else if (driver == SynthesisDriver::Timer && registered)
            owed = rendersOffline();
    }

    const int mode = routingMode.load(std::memory_order_relaxed);
    float peakLevel = 0.0f;
    VstInt32 done = 0;
    do {
        VstInt32 end = sampleFrames;
        if (owed) {
            if (!convolver->impulsePending()) {
                synthesisePending();
                owed = false;
            } else {
                // The back buffers are free again after the next block step: run up to it.
                end = std::min(sampleFrames, done + convolver->samplesToBlockStep());
            }
        }
        processChain(inputs, outputs, done, end, mode, peakLevel);
        done = end;
    } while (done < sampleFrames);
    samplesSinceRequest += sampleFrames;

    // Meter: -72 dB … 0 dB relative to a feed of 2.0. The scale rises with the level, so the
    // block's peak meter value is the value of its peak level: one logarithm per block.
    const float dB = peakLevel > 1e-4f ? 20.0f * std::log10(peakLevel * 0.5f) : -80.0f;
    const float peak = sampleFrames > 0 ? std::clamp((dB - -72.0f) * 0.013888889f, 0.0f, 1.0f) : 0.0f;
    std::atomic_ref<float>(levelToPlate).store(peak, std::memory_order_relaxed);
}

void Controlsgui::processChain(float** inputs, float** outputs, VstInt32 begin, VstInt32 end, int mode,
                               float& peakLevel)
{
    // In chunks: the inputs are routed first, the tube stage then runs over the whole chunk
    // (it depends on nothing later in the chain), and the rest of the chain follows sample by
    // sample. Every sample sees the operations of the sample-by-sample order.
    constexpr int kChunk = 256;
    float inL[kChunk], inR[kChunk];   // the chunk's inputs, non-finite values as 0
    float A[kChunk], B[kChunk];       // routed
    float TA[kChunk], TB[kChunk];     // through the tube stage
    for (VstInt32 first = begin; first < end; first += kChunk) {
        const int count = (int)std::min<VstInt32>(kChunk, end - first);
        routeChunk(inputs, first, count, mode, inL, inR, A, B);
        // Input stage: the tube model always runs, so its state and warm-up keep going.
        tubeStage.processBlock(A, B, TA, TB, count);
        for (int k = 0; k < count; k++)
            chainSample(inL[k], inR[k], A[k], B[k], TA[k], TB[k], outputs[0][first + k],
                          outputs[1][first + k], peakLevel);
    }
}

void Controlsgui::routeChunk(float** inputs, VstInt32 first, int count, int mode, float* inL, float* inR,
                             float* A, float* B)
{
    rand15::Generator& noise = rand15::thisThread();   // the audio thread's own sequence
    for (int k = 0; k < count; k++) {
        const float L = finiteOrZero(inputs[0][first + k]);
        const float R = finiteOrZero(inputs[1][first + k]);
        inL[k] = L;
        inR[k] = R;

        // Dither: the same tiny noise on both routed channels.
        const float dither = (float)noise.next() * 1e-4f * 3.0518509e-05f;
        antiDenormal = -antiDenormal;

        // Routing.
        const float G = control(kGain);
        const float W = control(kWidth);
        const float l = std::clamp(L, -kMaxInput, kMaxInput);
        const float r = std::clamp(R, -kMaxInput, kMaxInput);
        switch (mode) {
        case 0:
            A[k] = B[k] = (r + l) * (G * 0.5f) + dither;
            break;
        case 2:
            A[k] = (l * 0.9f + r * 0.1f) * G + dither;
            B[k] = (r * 0.9f + l * 0.1f) * G + dither;
            break;
        case 3:
            A[k] = r * G + dither;
            B[k] = l * G + dither;
            break;
        case 4:
            A[k] = (1.0f - W) * G * 0.5f * (r + l) + dither;
            B[k] = (r + l) * (W * G * 0.5f) + dither;
            break;
        default:  // 1 "Split Stereo", 5 and above "Follow the source"
            A[k] = l * G + dither;
            B[k] = r * G + dither;
            break;
        }
    }
}

void Controlsgui::chainSample(float L, float R, float A, float B, float TA, float TB, float& outputL,
                                float& outputR, float& peakLevel)
{
    double feedL, feedR;
    if (inputStage == 0) {
        feedL = TA * 0.01f;
        feedR = TB * 0.01f;
    } else {
        feedL = A * 0.25f;
        feedR = B * 0.25f;
    }

    // Level to plate: the block's loudest feed; its meter value is taken after the loop.
    const float level = (std::fabs((float)feedL) + std::fabs((float)feedR)) * 0.5f;
    peakLevel = std::max(peakLevel, level);

    // Pre-delay, with the editor's ping entering both rings once.
    const float ping = pingLevel.load(std::memory_order_relaxed);
    preDelayRing[0][preDelayWrite] = (float)(ping + feedL);
    preDelayRing[1][preDelayWrite] = (float)(ping + feedR);
    double x[2] = {preDelayRing[0][preDelayRead], preDelayRing[1][preDelayRead]};
    // (read + 1) and (read + delay) modulo the ring, for indices within it and a delay below it
    if (++preDelayRead == kPreDelayCapacity)
        preDelayRead = 0;
    preDelayWrite = preDelayRead + preDelaySamples;
    if (preDelayWrite >= kPreDelayCapacity)
        preDelayWrite -= kPreDelayCapacity;
    if (ping != 0.0f) {
        float consumed = ping;  // a ping requested meanwhile stays for the next sample
        pingLevel.compare_exchange_strong(consumed, 0.0f, std::memory_order_relaxed);
    }

    // High-pass then low-pass, double precision, direct form I; left and right side by side.
    Dual feed = {x[0], x[1]};
    for (Biquad* q : {&highpass, &lowpass}) {
        const Dual x1 = load2(q->x1), x2 = load2(q->x2), y1 = load2(q->y1), y2 = load2(q->y2);
        const Dual y = (q->b0 * feed + q->b1 * x1 + q->b2 * x2 - q->a1 * y1 - q->a2 * y2) * q->invA0 + 0.0;
        store2(q->x2, x1);
        store2(q->x1, feed);
        store2(q->y2, y1);
        store2(q->y1, y);
        feed = y;
    }
    x[0] = feed[0];
    x[1] = feed[1];

    // Convolution: the wet signal arrives one hop (2048 samples) later.
    convolverInput[0] = (float)x[0];
    convolverInput[1] = (float)x[1];
    convolver->processSample();
    const float WL = *convolverOutput[0];
    const float WR = *convolverOutput[1];

    dryRing[0][dryWrite] = L;
    dryRing[1][dryWrite] = R;

    // Wet limiter: stereo-linked, threshold -6 dB, slope 0.1.
    // Below 0.5 (-6.02 dB) the level is under the threshold whatever its exact dB value,
    // so the logarithm is only taken above it; limiterDb then holds the last level taken.
    const float v = std::fabs(std::sqrt(WL * WL + WR * WR));
    if (v >= 0.5f) {
        limiterDb = 20.0f * std::log10(std::max(v, 1e-4f));
        limiterGr = limiterDb > -6.0f ? limiterDb - ((limiterDb - -6.0f) * 0.1f + -6.0f) : 0.0f;
    } else {
        limiterGr = 0.0f;
    }
    const float c = limiterGr > limiterSmoothed ? limiterAttack : limiterRelease;
    limiterSmoothed = (1.0f - c) * limiterGr + limiterSmoothed * c;
    // 10^-0 is 1: at rest (no reduction left) the power is skipped
    limiterGain = limiterSmoothed == 0.0f ? 1.0f : std::pow(10.0f, -limiterSmoothed * 0.05f);
    limited[0] = limiterGain * WL;
    limited[1] = WR * limiterGain;

    // Modulation and mix.
    const float dryL = dryRing[0][dryRead];
    const float dryR = dryRing[1][dryRead];
    const float mix = control(kMix);
    const float volume = control(kVolume);
    const float modVel = control(kModVel);
    const float modAmp = control(kModAmp);
    const float dryWeight = 1.0f - mix;
    const float wetWeight = (1.0f - dryWeight) * 8.0f;
    float outL, outR;
    const int selector = modulationSelector(control(kModMode));
    if (selector == 0 || selector == 3) {
        modIncrement = (float)((double)modVel * 3.141592653589793 * (double)1e-4f * (double)rateToRef);
        modPhase += modIncrement;
        if ((double)modPhase >= kTwoPi)
            modPhase = (float)((double)modPhase - kTwoPi);
        if (selector == 0) {
            modGain[0] = modGain[1] = 1.0f - modAmp * 0.3f * std::sin(modPhase);
        } else {
            const float s = std::sin(modPhase);
            modGain[0] = 1.0f - modAmp * 0.5f * (modAmp * s);
            modGain[1] = 1.0f - modAmp * 0.5f * (1.0f - modAmp * s);
        }
        outL = dryWeight * dryL + wetWeight * volume * modGain[0] * limited[0];
        outR = dryWeight * dryR + wetWeight * volume * modGain[1] * limited[1];
    } else {
        if (selector == 1) {
            chorusParams[0].rate = modVel * 0.15f + 0.02f;
            chorusParams[1].rate = modVel * 0.16f + 0.022f;
            chorusParams[0].mix = chorusParams[1].mix = modAmp * 0.5f;
        } else {
            chorusParams[0].rate = modVel * 0.2f + 0.02f;
            chorusParams[1].rate = modVel * 0.21f + 0.022f;
            chorusParams[0].mix = chorusParams[1].mix = 1.0f;
        }
        chorusInput[0] = WL;
        chorusInput[1] = WR;
        chorus[0]->process();
        chorus[1]->process();
        outL = dryWeight * dryL + wetWeight * volume * *chorusOutput[0];
        outR = dryWeight * dryR + wetWeight * volume * *chorusOutput[1];
    }

    if (control(kPower) < 0.5f) {
        outL = dryL;
        outR = dryR;
    }
    outputL = outL;
    outputR = outR;

    if (++dryRead == kRingLength)
        dryRead = 0;
    dryWrite = dryRead + dryDelay;   // the delay is below the ring's length
    if (dryWrite >= kRingLength)
        dryWrite -= kRingLength;
}
