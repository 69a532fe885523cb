// Plate impulse synthesis [timer thread]. When block processing has asked for a new impulse,
// one call builds the whole stereo impulse from noise into the convolver's back buffers and
// hands it over with loadImpulse: sparse-then-dense random impulses, three allpass tone
// sections, a darkening six-pole low-pass, a dispersive allpass cascade, a fade-in and
// exponential decay, and a width matrix moving from the material's start width to "Width".
// The five materials share the recipe and differ in the constants of PlateRecipe.
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
    switch (selectorIndex(control(kPlateType))) {
    case 1:
        buildThickSteel();
        break;
    case 2:
        buildThinIron();
        break;
    case 3:
        buildThinBrass();
        break;
    case 4:
        buildElastic();
        break;
    default:
        buildStandardSteel();
        break;
    }
}

void Controlsgui::buildStandardSteel()
{
    synthesise({0.1f, 0.89f, 0.5f, false, false, -1.0f, 0, -1.0f, false, 1.0f, 0});
}

void Controlsgui::buildThickSteel()
{
    synthesise({0.1f, 0.8f, 0.7f, true, false, 0.12f, 0, -1.0f, false, 1.0f, 1});
}

void Controlsgui::buildThinIron()
{
    synthesise({0.5f, 0.499f, 0.5f, false, true, 0.104f, 21, 0.0166f, false, 0.75f, 2});
}

void Controlsgui::buildThinBrass()
{
    synthesise({0.5f, 0.495f, 0.5f, false, false, -1.0f, 0, -1.0f, false, 1.0f, 3});
}

void Controlsgui::buildElastic()
{
    synthesise({0.1f, 0.89f, 0.5f, false, false, -1.0f, 40, 0.94f, true, 1.0f, 0});
}

bool Controlsgui::mayBeginSynthesis() const
{
    // A loaded impulse that still waits for its swap owns the back buffers: wait for a later
    // tick, keeping the request pending.
    return rebuildRequested[0].load(std::memory_order_acquire) && !convolver->impulsePending();
}

void Controlsgui::synthesise(const PlateRecipe& recipe)
{
    if (!mayBeginSynthesis())
        return;
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
    const float lowpassSlope = recipe.lowpassSlope / Lf;
    const float widthStart = recipe.widthStart;
    const float widthSlope = (cachedParameters[kWidth] - widthStart) / Lf;
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
    float coefficient[kSynthBlock];   // dispersion coefficient of each sample of the pass
    int stageCount[kSynthBlock];      // dispersion stages of each sample of the pass
    for (int begin = 0; begin < L; begin += kSynthBlock) {
        const int end = std::min(begin + kSynthBlock, L);

        // Noise, tone sections and low-pass, sample by sample; the result waits in the
        // impulse buffers for the dispersion.
        for (int i = begin; i < end; i++) {
            const float fi = (float)i;

            // Noise, and its density: sparse at the start, every sample later.
            const float m = (float)rand15::next() * (1.0f / 32767.0f) * 2.0f - 1.0f;
            float n = 1.0f - std::fabs(m);
            if (m < 0.0f)
                n = -n;
            const float t = std::max(fi * densitySlope + recipe.densityStart, 0.0f);
            const float draw = (float)rand15::next() * (1.0f / 32767.0f);
            float x[2] = {0.0f, 0.0f};
            if (draw > t) {
                x[0] = m;
                x[1] = n;
            }

            // Section 2 follows "Tune" and "Sound" live (the filters only recompute their
            // coefficients when these moved).
            const float liveSound = control(kSound);
            float centre, bandwidth;
            if (recipe.fixedSection2) {
                centre = 0.05072f;
                bandwidth = 0.104f;
            } else {
                centre = control(kTune) * 0.1452f + 0.0362f;
                bandwidth = recipe.section2Bandwidth >= 0.0f ? recipe.section2Bandwidth : liveSound * 0.2f + 0.1f;
            }
            for (int k : {1, 4}) {
                toneFilterControls[k][0] = centre;
                toneFilterControls[k][1] = bandwidth;
                toneFilter[k]->updateCoefficients();
            }

            const float k2 = fi * section2Slope + 1.0f;
            const float q3 = fi * section3Slope + 0.5f;
            synthLowpassCoefficient = fi * lowpassSlope + recipe.lowpassStart;
            coefficient[i - begin] =
                recipe.dispersionFixed
                    ? recipe.dispersionBase
                    : fi * dispersionSlope + (recipe.dispersionBase >= 0.0f ? recipe.dispersionBase
                                                                           : 0.83f * liveSound);
            stageCount[i - begin] = recipe.stages > 0 ? recipe.stages : 1 + (int)(liveSound * 16.0f + 20.0f);

            for (int ch = 0; ch < 2; ch++) {
                const int base = ch * 3;
                float v = x[ch];
                // Section 1: +4.6 dB at the low centre.
                toneFilterInput[base][0] = v;
                toneFilter[base]->process();
                float a = *toneFilterOutput[base];
                v = ((v - a) * boost + a + v) * 0.5f;
                // Section 2: the tone band at unit gain, the rest fading out over the impulse.
                toneFilterInput[base + 1][0] = v;
                toneFilter[base + 1]->process();
                a = *toneFilterOutput[base + 1];
                v = ((v + a) * k2 + (v - a)) * 0.5f;
                // Section 3: a wide cut high up, deepening over the impulse.
                toneFilterInput[base + 2][0] = v;
                toneFilter[base + 2]->process();
                a = *toneFilterOutput[base + 2];
                v = ((v - a) * q3 + a + v) * 0.5f;
                // Low-pass darkening over the impulse.
                synthLowpassInput[ch] = v;
                synthLowpass[ch]->updateCoefficient();
                synthLowpass[ch]->process();
                out[ch][i] = *synthLowpassOutput[ch];
            }
        }

        // Dispersion: first-order allpasses (-c + z^-1) / (1 - c z^-1), in place.
        float* rows[2] = {out[0] + begin, out[1] + begin};
        allpassCascade(dispersionPrevIn, dispersionPrevOut, rows, coefficient, stageCount, end - begin);

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

    if (routingMode.load(std::memory_order_relaxed) == 5)
        std::copy(out[0], out[0] + L, out[1]);

    convolver->loadImpulse();
    synthIndex = 0;
    synthesisMicros.store(std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - started).count(),
                          std::memory_order_relaxed);
    rebuildRequested[0].store(false, std::memory_order_release);
    rebuildRequested[1].store(false, std::memory_order_release);
}
