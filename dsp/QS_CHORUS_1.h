// QS_CHORUS_1: one-channel modulated delay (chorus/vibrato) over a 66000-sample line.
#pragma once

struct ChorusParams {
    float active;      // exactly 0 bypasses
    float sweepWidth;  // maximum delay in units of 1000 samples
    float feedback;    // share of the delayed signal written back
    float unused;      // not read
    float rate;        // oscillator speed
    float mix;         // share of the delayed signal in the output
};

class QS_CHORUS_1 final {
public:
    static constexpr int kLineLength = 66000;

    QS_CHORUS_1(const float& input, const ChorusParams& params, const float& rateToRef);
    ~QS_CHORUS_1();
    QS_CHORUS_1(const QS_CHORUS_1&) = delete;
    QS_CHORUS_1& operator=(const QS_CHORUS_1&) = delete;

    virtual void process();
    virtual float* output();

private:
    const float& input;          // bound input cell
    const ChorusParams& params;  // bound parameter block
    const float& rateToRef;      // kept, not used
    float* line;                 // delay line, kLineLength floats
    int writeIndex;              // integer write position
    float writePosition;         // float copy of it
    float readPosition;          // swept read position
    int readIndex;               // its integer part
    int nextIndex;               // the following index
    float fraction;              // interpolation fraction
    float phase;                 // oscillator phase, radians
    float sine;                  // last sine value
    float delayed;               // last delayed sample, feedback source
    float out;                   // output cell
};
