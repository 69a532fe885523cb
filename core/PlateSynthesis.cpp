// Plate impulse synthesis. When block processing has asked for a new impulse, one call builds
// the whole stereo impulse from noise into the convolver's back buffers and hands it over
// with loadImpulse: sparse-then-dense random impulses, three allpass tone sections, a
// darkening six-pole low-pass, a dispersive allpass cascade, a fade-in and exponential
// decay, and a width matrix moving from the material's start width to "Width".
// The five materials share the recipe and differ in the constants of PlateRecipe.
//
// Threads: the timer thread serves requests in real time; the audio thread serves them when
// the host renders offline, the host thread builds the first impulse at resume, and other
// formats' owners call synthesisePending from a worker. One synthesis runs at a time: each
// holds the instance's claim (synthesisBusy) from the request check to the cleared request.
// The noise comes from the instance's own generator, so an impulse is the same whichever
// thread builds it.
#include "core/Controlsgui.h"

#include "core/Rand15.h"
#include "dsp/AllpassCascade.h"
#include "dsp/QS_ConvolverP.h"
#include "dsp/QS_LowpassN.h"
#include "dsp/QS_Peaking_1b.h"

#include <algorithm>
#include <chrono>
#include <cmath>

struct Controlsgui::PlateRecipe {
    int plate;                  // variant index: its PlateType menu entry
    float lowpassStart;         // low-pass coefficient at the start …
    float lowpassSlope;         // … and its rise per sample × L
    float densityStart;         // share of empty samples at the start
    bool fixedDensitySlope;     // the slope is -1/2050 rather than from "Sound"
    bool fixedSection2;         // section 2 at 0.05072 / 0.104 rather than from "Tune"/"Sound"
    float section2Bandwidth;    // used when the centre follows "Tune" but the bandwidth is fixed (< 0: from "Sound")
    int stages;                 // dispersion stages, 0: 1 + (int)(Sound × 16 + 20)
    float dispersionBase;       // c = i × 0.11 / L + base; < 0: base = 0.83 × Sound
    bool dispersionFixed;       // c stays at dispersionBase
    float widthStart;           // width matrix at the first sample
    int shape;                  // envelope shape g(e): 0 e, 1 e², 2 0.4e³+0.6e, 3 0.7e³+0.3e
};

namespace {

float envelopeShape(int shape, float e)
{
    switch (shape) {
    case 1:
        return e * e;
    case 2:
        return 0.4f * e * e * e + 0.6f * e;
    case 3:
        return 0.7f * e * e * e + 0.3f * e;
    default:
        return e;
    }
}

constexpr int kSynthBlock = 1024;   // samples per pass of the synthesis loop

} // namespace

void Controlsgui::buildPlateImpulse()
{
    // The variants are called without virtual dispatch: a dying instance rewrites its vtable
    // pointer before its destructor can take the registry lock that keeps this tick out.
    switch (selectorIndex(control(kPlateType))) {
    case 1:
        Controlsgui::buildThickSteel();
        break;
    case 2:
        Controlsgui::buildThinIron();
        break;
    case 3:
        Controlsgui::buildThinBrass();
        break;
    case 4:
        Controlsgui::buildElastic();
        break;
    default:
        Controlsgui::buildStandardSteel();
        break;
    }
}

const Controlsgui::PlateRecipe& Controlsgui::recipeFor(int plate)
{
    static const PlateRecipe recipes[5] = {
        {0, 0.1f, 0.89f, 0.5f, false, false, -1.0f, 0, -1.0f, false, 1.0f, 0},     // Standard Steel
        {1, 0.1f, 0.8f, 0.7f, true, false, 0.12f, 0, -1.0f, false, 1.0f, 1},       // Thick Steel
        {2, 0.5f, 0.499f, 0.5f, false, true, 0.104f, 21, 0.0166f, false, 0.75f, 2},// Thin Iron
        {3, 0.5f, 0.495f, 0.5f, false, false, -1.0f, 0, -1.0f, false, 1.0f, 3},    // Thin Brass
        {4, 0.1f, 0.89f, 0.5f, false, false, -1.0f, 40, 0.94f, true, 1.0f, 0},     // Elastic
    };
    return recipes[plate >= 1 && plate <= 4 ? plate : 0];
}

void Controlsgui::buildStandardSteel()
{
    synthesise(recipeFor(0));
}

void Controlsgui::buildThickSteel()
{
    synthesise(recipeFor(1));
}

void Controlsgui::buildThinIron()
{
    synthesise(recipeFor(2));
}

void Controlsgui::buildThinBrass()
{
    synthesise(recipeFor(3));
}

void Controlsgui::buildElastic()
{
    synthesise(recipeFor(4));
}

bool Controlsgui::mayBeginSynthesis() const
{
    // A loaded impulse that still waits for its swap owns the back buffers: wait for a later
    // tick, keeping the request pending.
    return rebuildRequested[0].load(std::memory_order_acquire) && !convolver->impulsePending();
}

void Controlsgui::synthesise(const PlateRecipe& recipe)
{
    // A synthesis that another thread runs for this instance serves the request itself.
    if (!mayBeginSynthesis() || !tryClaimSynthesis())
        return;
    if (mayBeginSynthesis()) {
        synthesiseClaimed(recipe, cachedParameters[kWidth], Mono::FromRouting);
        rebuildRequested[0].store(false, std::memory_order_release);
        rebuildRequested[1].store(false, std::memory_order_release);
    }
    releaseSynthesis();
}

void Controlsgui::synthesiseClaimed(const PlateRecipe& recipe, float width, Mono mono)
{
    const auto started = std::chrono::steady_clock::now();

    const int L = std::clamp(impulseLength, 6, QS_ConvolverP::kImpulseCapacity);
    const float Lf = (float)L;
    float* out[2] = {*backImpulse[0], *backImpulse[1]};

    // Envelope: a 5-sample fade-in, then 120 dB of exponential decay over L.
    float fade = 1.0f;
    const float fadeFactor = 1.0f / std::pow(10.0f, 1.2f);
    float decay = 1.0f;
    const float decayFactor = 1.0f / std::pow(10.0f, 6.0f / (float)(L - 5));

    const float sound = control(kSound);
    builtShape = ImpulseShape{impulseLength, width, sound, control(kTune), recipe.plate, false};
    const float lowpassSlope = recipe.lowpassSlope / Lf;
    const float widthStart = recipe.widthStart;
    const float widthSlope = (width - widthStart) / Lf;
    const float densitySlope =
        recipe.fixedDensitySlope ? -0.00048780485f : -0.5f / ((1.0f - sound) * 800.0f + 100.0f);
    const float section2Slope = -1.0f / Lf;
    const float section3Slope = -0.5f / Lf;
    const float dispersionSlope = 0.11f / Lf;
    float w = widthStart;

    for (int c = 0; c < 2; c++)
        for (int s = 0; s < kDispersionStages; s++)
            dispersionPrevIn[c][s] = dispersionPrevOut[c][s] = 0.0f;

    const float boost = toneFilterControls[0][2];  // section 1 gain, 1.7
    static_assert(kDispersionStages == kAllpassCascadeStages);
    // Per-sample values of one pass, computed first so that the filters can then run over
    // the whole pass.
    float centre[kSynthBlock];        // section 2 controls, live "Tune" and "Sound"
    float bandwidth[kSynthBlock];
    float bandGain[kSynthBlock];      // section 2 gain k, falling 1 → 0
    float cutDepth[kSynthBlock];      // section 3 gain q, falling 0.5 → 0
    float darkening[kSynthBlock];     // low-pass coefficient
    float coefficient[kSynthBlock];   // dispersion coefficient
    int stageCount[kSynthBlock];      // dispersion stages
    for (int begin = 0; begin < L; begin += kSynthBlock) {
        const int end = std::min(begin + kSynthBlock, L);
        const int n = end - begin;
        float* row[2] = {out[0] + begin, out[1] + begin};

        // Noise and the per-sample controls. The noise waits in the impulse buffers, which
        // then carry the signal through the sections, the low-pass and the dispersion.
        for (int j = 0; j < n; j++) {
            const float fi = (float)(begin + j);

            // Noise, and its density: sparse at the start, every sample later.
            const float m = (float)synthRandom.next() * (1.0f / 32767.0f) * 2.0f - 1.0f;
            float nm = 1.0f - std::fabs(m);
            if (m < 0.0f)
                nm = -nm;
            const float t = std::max(fi * densitySlope + recipe.densityStart, 0.0f);
            const float draw = (float)synthRandom.next() * (1.0f / 32767.0f);
            row[0][j] = draw > t ? m : 0.0f;
            row[1][j] = draw > t ? nm : 0.0f;

            // Section 2 follows "Tune" and "Sound" live.
            const float liveSound = control(kSound);
            if (recipe.fixedSection2) {
                centre[j] = 0.05072f;
                bandwidth[j] = 0.104f;
            } else {
                centre[j] = control(kTune) * 0.1452f + 0.0362f;
                bandwidth[j] = recipe.section2Bandwidth >= 0.0f ? recipe.section2Bandwidth : liveSound * 0.2f + 0.1f;
            }
            bandGain[j] = fi * section2Slope + 1.0f;
            cutDepth[j] = fi * section3Slope + 0.5f;
            darkening[j] = fi * lowpassSlope + recipe.lowpassStart;
            coefficient[j] = recipe.dispersionFixed
                                 ? recipe.dispersionBase
                                 : fi * dispersionSlope + (recipe.dispersionBase >= 0.0f ? recipe.dispersionBase
                                                                                        : 0.83f * liveSound);
            stageCount[j] = recipe.stages > 0 ? recipe.stages : 1 + (int)(liveSound * 16.0f + 20.0f);
        }

        // The three tone sections, skewed: in step t section 1 takes sample t, section 2
        // sample t - 1 and section 3 sample t - 2, so the six filter recursions (three per
        // channel) of one step are independent of each other and overlap.
        for (int t = 0; t < n + 2; t++) {
            if (t - 2 >= 0 && t - 2 < n) {
                // Section 3: a wide cut high up, deepening over the impulse.
                const int j = t - 2;
                for (int ch = 0; ch < 2; ch++) {
                    const float v = row[ch][j];
                    const float a = toneFilter[ch * 3 + 2]->processFirst(v);
                    row[ch][j] = ((v - a) * cutDepth[j] + a + v) * 0.5f;
                }
            }
            if (t - 1 >= 0 && t - 1 < n) {
                // Section 2: the tone band at unit gain, the rest fading out over the impulse;
                // the filters recompute their coefficients only when the controls moved.
                const int j = t - 1;
                for (int k : {1, 4}) {
                    toneFilterControls[k][0] = centre[j];
                    toneFilterControls[k][1] = bandwidth[j];
                    toneFilter[k]->updateCoefficients();
                }
                for (int ch = 0; ch < 2; ch++) {
                    const float v = row[ch][j];
                    const float a = toneFilter[ch * 3 + 1]->processFirst(v);
                    row[ch][j] = ((v + a) * bandGain[j] + (v - a)) * 0.5f;
                }
            }
            if (t < n) {
                // Section 1: +4.6 dB at the low centre.
                for (int ch = 0; ch < 2; ch++) {
                    const float v = row[ch][t];
                    const float a = toneFilter[ch * 3]->processFirst(v);
                    row[ch][t] = ((v - a) * boost + a + v) * 0.5f;
                }
            }
        }

        // Low-pass darkening over the impulse.
        QS_LowpassN::processRuns(*synthLowpass[0], row[0], *synthLowpass[1], row[1], darkening, n);
        synthLowpassCoefficient = darkening[n - 1];

        // Dispersion: first-order allpasses (-c + z^-1) / (1 - c z^-1), in place.
        allpassCascade(dispersionPrevIn, dispersionPrevOut, row, coefficient, stageCount, n);

        // Envelope and width matrix, sample by sample.
        for (synthIndex = begin; synthIndex < end; synthIndex++) {
            const int i = synthIndex;
            const float fi = (float)i;
            synthAntiDenormal = -synthAntiDenormal;
            float e;
            if (i < 5) {
                fade = fade * fadeFactor + synthAntiDenormal;
                e = synthAntiDenormal + 1.0f - fade;
            } else {
                decay = decay * decayFactor + synthAntiDenormal;
                e = decay;
            }
            const float g = envelopeShape(recipe.shape, e);
            const float l = out[0][i] * g;
            const float r = out[1][i] * g;

            // Width matrix: l - 0.2 r at w = 1, the mono sum at w = 0.
            out[0][i] = ((1.0f + w) * l + (1.0f - 1.4f * w) * r) * 0.5f;
            out[1][i] = ((1.0f + w) * r + (1.0f - 1.4f * w) * l) * 0.5f;
            w = fi * widthSlope + widthStart;
        }
    }

    builtShape.mono = mono == Mono::FromRouting ? routingMode.load(std::memory_order_relaxed) == 5
                                                : mono == Mono::Yes;
    if (builtShape.mono)
        std::copy(out[0], out[0] + L, out[1]);

    convolver->loadImpulse();
    hasBuiltImpulse = true;
    synthIndex = 0;
    synthesisMicros.store(std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - started).count(),
                          std::memory_order_relaxed);
}
