#include "dsp/QS_Peaking_1b.h"

#include <cmath>

QS_Peaking_1b::QS_Peaking_1b(const float& input1, const float& input2, const float* controls_,
                             const float& rateToRef_)
    : input{&input1, &input2}, controls(controls_), rateToRef(rateToRef_), x1{}, x2{}, y1{}, y2{},
      out{}, offset(1e-24), lastCentre(NAN), lastBandwidth(NAN), lastRate(NAN)
{
    // placeholders until the owner's first updateCoefficients
    d = static_cast<float>(-std::cos(0.2855707844951427 * static_cast<double>(rateToRef)));
    const double t = std::tan(0.02325);
    k = static_cast<float>((1.0 - t) / (1.0 + t));
}

float* QS_Peaking_1b::output1() { return &out[0]; }
float* QS_Peaking_1b::output2() { return &out[1]; }

void QS_Peaking_1b::updateCoefficients()
{
    const float c0 = controls[0];
    const float c1 = controls[1];
    const float rho = rateToRef;
    // The synthesis asks at every sample, nearly always with the same controls: the same
    // inputs give the same coefficients, so the cosine and tangent are only taken on a change.
    if (c0 == lastCentre && c1 == lastBandwidth && rho == lastRate)
        return;
    const float angle = static_cast<float>(static_cast<double>(c0 * 0.899f + 0.001f) *
                                           3.141592653589793 * static_cast<double>(rho));
    d = -cosf(angle);
    const float t = tanf((0.3f - c1 * 0.29f) * 1.5f * c0) * 6.0f;
    k = (1.0f - t) / (1.0f + t);
    lastCentre = c0;
    lastBandwidth = c1;
    lastRate = rho;
}

void QS_Peaking_1b::process()
{
    offset = -offset;   // flipping 1e-24 keeps the decaying recursion out of denormals
    const float kd = (1.0f + k) * d;
    for (int c = 0; c < 2; ++c) {
        const float x = *input[c];
        const float feedback = kd * y1[c] + k * y2[c];
        const double y = static_cast<double>(k * x) + offset + static_cast<double>(kd * x1[c]) +
                         static_cast<double>(x2[c]) - static_cast<double>(feedback);
        out[c] = static_cast<float>(y);
        x2[c] = x1[c];
        x1[c] = x;
        y2[c] = y1[c];
        y1[c] = out[c];
    }
}
