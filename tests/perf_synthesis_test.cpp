// The plate synthesis as the engine runs it (skewed filter passes, vectorised dispersion,
// coefficients recomputed only on a change) against a plain sample-by-sample rendering of
// the recipe written here from scratch: the first impulse of a fresh timer thread must come
// out with the same bits, for materials that exercise every branch of the recipe.
#include "support/Engine.h"

#include "core/Rand15.h"
#include "dsp/QS_ConvolverP.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Material {
    float lowStart, lowSlope, densityStart;
    bool fixedDensity, fixedSection2;
    float section2Bandwidth;   // < 0: from Sound
    int stages;                // 0: from Sound
    float dispersionBase;      // < 0: 0.83 Sound
    bool dispersionFixed;
    float widthStart;
    int shape;
};

const Material kMaterials[5] = {
    {0.1f, 0.89f, 0.5f, false, false, -1.0f, 0, -1.0f, false, 1.0f, 0},    // Standard Steel
    {0.1f, 0.8f, 0.7f, true, false, 0.12f, 0, -1.0f, false, 1.0f, 1},      // Thick Steel
    {0.5f, 0.499f, 0.5f, false, true, 0.104f, 21, 0.0166f, false, 0.75f, 2}, // Thin Iron
    {0.5f, 0.495f, 0.5f, false, false, -1.0f, 0, -1.0f, false, 1.0f, 3},   // Thin Brass
    {0.1f, 0.89f, 0.5f, false, false, -1.0f, 40, 0.94f, true, 1.0f, 0},    // Elastic
};

// The second-order allpass of the tone sections, one channel, recomputing its coefficients
// whenever asked.
struct Allpass {
    float d = 0, k = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double offset = 1e-24;
    void set(float c0, float c1)
    {
        const float angle = (float)((double)(c0 * 0.899f + 0.001f) * 3.141592653589793 * 1.0);
        d = -cosf(angle);
        const float t = tanf((0.3f - c1 * 0.29f) * 1.5f * c0) * 6.0f;
        k = (1.0f - t) / (1.0f + t);
    }
    float step(float x)
    {
        offset = -offset;
        const float kd = (1.0f + k) * d;
        const float fb = kd * y1 + k * y2;
        const float y = (float)((double)(k * x) + offset + (double)(kd * x1) + (double)x2 - (double)fb);
        x2 = x1; x1 = x; y2 = y1; y1 = y;
        return y;
    }
};

struct Impulse {
    std::vector<float> left, right;
};

// The recipe, sample by sample, in the order the steps are written.
Impulse render(const Material& mat, int L, float sound, float tune, float width, bool mono)
{
    rand15::reset(1);
    Impulse h{std::vector<float>(L), std::vector<float>(L)};
    const float Lf = (float)L;
    Allpass tone[6];
    const float centres[6] = {0.009f, 0.136f, 0.8163f, 0.008f, 0.127f, 0.8163f};
    const float widths[6] = {0.4f, 0.1f, 0.0f, 0.4f, 0.1f, 0.0f};
    for (int f = 0; f < 6; f++)
        tone[f].set(centres[f], widths[f]);
    float low[2][6] = {}, pin[2][40] = {}, pout[2][40] = {};
    double lowOffset[2] = {1e-24, 1e-24};
    float antiDenormal = 1e-22f, fade = 1.0f, decay = 1.0f;
    const float fadeFactor = 1.0f / powf(10.0f, 1.2f);
    const float decayFactor = 1.0f / powf(10.0f, 6.0f / (float)(L - 5));
    const float densitySlope = mat.fixedDensity ? -0.00048780485f : -0.5f / ((1.0f - sound) * 800.0f + 100.0f);
    float w = mat.widthStart;
    for (int i = 0; i < L; i++) {
        const float fi = (float)i;
        antiDenormal = -antiDenormal;
        const float m = (float)rand15::next() * (1.0f / 32767.0f) * 2.0f - 1.0f;
        const float n = m < 0.0f ? -(1.0f - std::fabs(m)) : 1.0f - std::fabs(m);
        const float t = std::max(fi * densitySlope + mat.densityStart, 0.0f);
        const float r = (float)rand15::next() * (1.0f / 32767.0f);
        float x[2] = {r > t ? m : 0.0f, r > t ? n : 0.0f};
        const float c2 = mat.fixedSection2 ? 0.05072f : tune * 0.1452f + 0.0362f;
        const float b2 = mat.fixedSection2 ? 0.104f : (mat.section2Bandwidth >= 0 ? mat.section2Bandwidth : sound * 0.2f + 0.1f);
        tone[1].set(c2, b2);
        tone[4].set(c2, b2);
        const float k2 = fi * (-1.0f / Lf) + 1.0f;
        const float q3 = fi * (-0.5f / Lf) + 0.5f;
        const float a = fi * (mat.lowSlope / Lf) + mat.lowStart;
        const float c = mat.dispersionFixed ? mat.dispersionBase
                                            : fi * (0.11f / Lf) + (mat.dispersionBase >= 0 ? mat.dispersionBase : 0.83f * sound);
        const int S = mat.stages > 0 ? mat.stages : 1 + (int)(sound * 16.0f + 20.0f);
        float y[2];
        for (int ch = 0; ch < 2; ch++) {
            float v = x[ch];
            float ap = tone[ch * 3].step(v);
            v = ((v - ap) * 1.7f + ap + v) * 0.5f;
            ap = tone[ch * 3 + 1].step(v);
            v = ((v + ap) * k2 + (v - ap)) * 0.5f;
            ap = tone[ch * 3 + 2].step(v);
            v = ((v - ap) * q3 + ap + v) * 0.5f;
            lowOffset[ch] = -lowOffset[ch];
            for (int s = 0; s < 6; s++) {
                low[ch][s] = (float)((double)(a * low[ch][s]) + lowOffset[ch] + (double)((1.0f - a) * v));
                v = low[ch][s];
            }
            for (int s = 0; s < S; s++) {
                const float o = (pin[ch][s] - c * v) + c * pout[ch][s];
                pin[ch][s] = v;
                pout[ch][s] = o;
                v = o;
            }
            y[ch] = v;
        }
        float e;
        if (i < 5) {
            fade = fade * fadeFactor + antiDenormal;
            e = antiDenormal + 1.0f - fade;
        } else {
            decay = decay * decayFactor + antiDenormal;
            e = decay;
        }
        const float g = mat.shape == 1 ? e * e : mat.shape == 2 ? 0.4f * e * e * e + 0.6f * e
                      : mat.shape == 3 ? 0.7f * e * e * e + 0.3f * e : e;
        const float l = y[0] * g, rr = y[1] * g;
        h.left[i] = ((1.0f + w) * l + (1.0f - 1.4f * w) * rr) * 0.5f;
        h.right[i] = ((1.0f + w) * rr + (1.0f - 1.4f * w) * l) * 0.5f;
        w = fi * ((width - mat.widthStart) / Lf) + mat.widthStart;
    }
    if (mono)
        h.right = h.left;
    return h;
}

// The first impulse of a fresh instance, synthesised on a fresh timer thread.
Impulse engineImpulse(int material, float length, float sound, float tune, float width, int& L)
{
    auto fx = makeEffect();
    fx->setParameter(kPlateType, material * 0.1f);
    fx->setParameter(kLength, length);
    fx->setParameter(kSound, sound);
    fx->setParameter(kTune, tune);
    fx->setParameter(kWidth, width);
    float* none[2] = {nullptr, nullptr};
    fx->processReplacing(none, none, 0);
    auto start = std::chrono::steady_clock::now();
    while (fx->rebuildPending() && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    L = fx->getImpulseLength();
    const float* l = fx->getConvolver()->impulseBufferRef(0);
    const float* r = fx->getConvolver()->impulseBufferRef(1);
    return {std::vector<float>(l, l + L), std::vector<float>(r, r + L)};
}

} // namespace

TEST(PlateSynthesisReference, EveryMaterialMatchesThePlainRecipeBitForBit)
{
    // Length 0 (11025 samples: ten passes of the engine's loop and a partial one); Sound and
    // Tune away from the defaults so the stage count and the centres are not special.
    for (int material = 0; material < 5; material++) {
        const float sound = 0.37f + 0.1f * material, tune = 0.61f, width = 0.4f;
        int L = 0;
        Impulse got = engineImpulse(material, 0.0f, sound, tune, width, L);
        ASSERT_EQ(L, 11025);
        Impulse want = render(kMaterials[material], L, sound, tune, width, false);
        size_t firstDiff = L;
        for (int i = 0; i < L && firstDiff == (size_t)L; i++)
            if (std::memcmp(&got.left[i], &want.left[i], 4) || std::memcmp(&got.right[i], &want.right[i], 4))
                firstDiff = i;
        EXPECT_EQ(firstDiff, (size_t)L) << "material " << material << ": first difference at sample " << firstDiff
                                        << " (" << got.left[firstDiff % L] << " vs " << want.left[firstDiff % L] << ")";
    }
}
