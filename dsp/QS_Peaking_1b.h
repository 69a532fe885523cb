// QS_Peaking_1b: two-channel second-order allpass; its owner mixes output and input into a
// peaking or band section. Controls: c0 centre, c1 bandwidth, c2 gain (read by the owner).
#pragma once

class QS_Peaking_1b final {
public:
    QS_Peaking_1b(const float& input1, const float& input2, const float* controls,
                  const float& rateToRef);

    virtual float* output1();
    virtual float* output2();
    virtual void updateCoefficients();
    virtual void process();

    // One sample of channel 1 alone, for owners that use only that channel: the arithmetic of
    // process for channel 1, without the cells; channel 2's memory stands still.
    float processFirst(float x)
    {
        offset = -offset;
        const float kd = (1.0f + k) * d;
        const float feedback = kd * y1[0] + k * y2[0];
        const double y = static_cast<double>(k * x) + offset + static_cast<double>(kd * x1[0]) +
                         static_cast<double>(x2[0]) - static_cast<double>(feedback);
        out[0] = static_cast<float>(y);
        x2[0] = x1[0];
        x1[0] = x;
        y2[0] = y1[0];
        y1[0] = out[0];
        return out[0];
    }

    float coefficientD() const { return d; }
    float coefficientK() const { return k; }

private:
    const float* input[2];   // bound input cells
    const float* controls;   // centre, bandwidth, gain
    const float& rateToRef;  // 44100 / fs
    float d;                 // -cos(centre angle)
    float k;                 // bandwidth coefficient
    float x1[2], x2[2];      // previous inputs per channel
    float y1[2], y2[2];      // previous outputs per channel
    float out[2];            // output cells
    double offset;           // ±1e-24 against denormals, flips every call
    float lastCentre;        // controls and ratio of the last coefficient computation;
    float lastBandwidth;     // NaN until the first, so that it always computes
    float lastRate;
};
