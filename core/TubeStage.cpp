#include "core/TubeStage.h"

#include "core/TubeTables.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kSupply = 270.0f;   // V_B, the supply voltage
constexpr int kMaxStepsPerSample = 48;  // 192 kHz over 4 kHz; below that the clock lags

// The resampling low-pass (both directions).
constexpr float kB[9] = { 0.0009299486f, -0.0005963771f, 0.002155852f, -0.0003243943f,
                          0.002212866f, -0.0003243943f, 0.002155852f, -0.0005963771f,
                          0.0009299486f };
constexpr float kA[9] = { 1.0f, -5.656637f, 15.062768f, -24.344265f, 25.960777f,
                          -18.640486f, 8.786409f, -2.4853153f, 0.32344225f };

// Clamped table position: (v - lo) × recip limited to 0 … 1 (a NaN counts as 0), times n.
inline float position(float v, float lo, float recip, float n)
{
    const float t = (v - lo) * recip;
    return (t > 0.0f ? (t < 1.0f ? t : 1.0f) : 0.0f) * n;
}

struct Cell {
    int i0, i1, j0, j1;  // rows and columns read
    float fr, fc;        // fractions
};

inline Cell locate(float r, float c)
{
    Cell k;
    k.i0 = static_cast<int>(r);
    k.fr = r - static_cast<float>(k.i0);
    k.i1 = k.i0 + 1 < TubeTables::kRows ? k.i0 + 1 : TubeTables::kRows - 1;
    k.j0 = static_cast<int>(c);
    k.fc = c - static_cast<float>(k.j0);
    k.j1 = k.j0 + 1 < TubeTables::kLastColumn ? k.j0 + 1 : TubeTables::kLastColumn;
    return k;
}

inline float bilinear(const TubeTables& t, int table, const Cell& k)
{
    const float* a = t.row(table, k.i0);
    const float* b = t.row(table, k.i1);
    const float lo = a[k.j0] + (a[k.j1] - a[k.j0]) * k.fc;
    const float hi = b[k.j0] + (b[k.j1] - b[k.j0]) * k.fc;
    return (hi - lo) * k.fr + lo;
}

}  // namespace

TubeStage::TubeStage(const float& hostPeriod)
    : tables(TubeTables::instance()), hostPeriod(hostPeriod)
{
    reset();
}

void TubeStage::reset()
{
    internalStep = 1.0f / kInternalRate;
    accumulator = 0.0f;
    warmCounter = 0.0f;
    warmGain = 0.0f;
    warmCoefficient = 0.9999f;
    dcCoefficient = std::exp(std::log(0.996f) * 0.25f);
    rowScale1 = 1.0f / 150.0f;
    colScale1 = 1.0f / 24.0f;
    rowScale2 = 1.0f / 200.0f;
    colScale2 = 1.0f / 40.0f;
    for (Channel& c : channel)
        c = Channel{};
}

float TubeStage::lowpass(Filter& f, float x)
{
    float y = kB[0] * x;
    for (int k = 1; k <= kOrder; ++k)
        y += kB[k] * f.in[k - 1];
    for (int k = 1; k <= kOrder; ++k)
        y -= kA[k] * f.out[k - 1];
    std::memmove(f.in + 1, f.in, (kOrder - 1) * sizeof(float));
    std::memmove(f.out + 1, f.out, (kOrder - 1) * sizeof(float));
    f.in[0] = x;
    f.out[0] = y;
    return y;
}

void TubeStage::advanceWarmup()
{
    if (warmCounter < kWarmupSteps)
        warmCounter += 1.0f;
    const float target = warmCounter >= kWarmupSteps ? 1.0f : 0.0f;
    warmGain = (1.0f - warmCoefficient) * target + warmCoefficient * warmGain;
}

float TubeStage::step(Channel& ch, float x, float gain) const
{
    const float u = lowpass(ch.up, x);
    const float* s = ch.s;

    // Argument voltages from the previous state and currents.
    const float p1 = 24753.896f * s[0] - 0.10415943f * s[1] + 1577.5487f * s[2]
                   + 7.9880314f * s[3] + 9.127805f * s[4] + 0.53458506f * s[5]
                   - 26271.012f * ch.i3 - 24727.646f * ch.i4
                   + 0.022813192f * u + 0.9158387f * kSupply;
    const float g1 = -62530.023f * s[0] - 0.10415943f * s[1] + 93.03283f * s[2]
                   + 0.47107843f * s[3] + 0.5382943f * s[4] + 0.031526104f * s[5]
                   + 0.9423723f * u + 0.054009784f * kSupply;
    const float p2 = 23269.38f * s[0] - 136.27536f * s[2] + 7.508981f * s[3]
                   + 8.580401f * s[4] + 0.50252545f * s[5] - 0.10415943f * s[6]
                   - 24727.646f * ch.i2
                   + 0.021445062f * u + 0.920886f * kSupply;
    const float g2 = 24721.73f * s[0] + 1575.4988f * s[2] - 122.06148f * s[3]
                   + 9.16108f * s[4] - 19.771725f * s[5] - 0.10415943f * s[6]
                   - 26271.012f * ch.i2
                   + 0.022783548f * u + 0.91464865f * kSupply;

    // Tube 1: tables A and B; a grid above the table extends both currents linearly.
    const Cell k1 = locate(position(p1, 50.0f, rowScale1, 9.0f),
                           position(g1, -4.0f, colScale1, 44099.0f));
    float i1 = bilinear(tables, 0, k1);
    float i2 = bilinear(tables, 1, k1);
    if (g1 > 20.0f) {
        const double over = static_cast<double>(g1) - 20.0;
        i1 = static_cast<float>(i1 + over * 1.43245574543015e-5);
        i2 = static_cast<float>(i2 + over * 4.75537924389167e-5);
    }
    // Tube 2: tables C and D, clamped at the table edges.
    const Cell k2 = locate(position(p2, 100.0f, rowScale2, 9.0f),
                           position(g2, 5.0f, colScale2, 44099.0f));
    const float i3 = bilinear(tables, 2, k2);
    const float i4 = bilinear(tables, 3, k2);

    // State update from the previous state and this step's currents.
    float n[7];
    n[0] = -0.8391183f * s[0] + 0.0027362597f * s[2] + 1.3855248e-5f * s[3]
         + 1.5832185e-5f * s[4] + 9.272383e-7f * s[5]
         + 0.11525533f * i1 - 0.045626383f * i2 - 0.045567095f * i3 - 0.042890124f * i4
         - 1.6949314e-6f * u + 1.5885231e-6f * kSupply;
    n[1] = 0.9998611f * s[1] + 1.9998611f * i1 + 1.9998611f * i2;
    n[2] = 1.7101623f * s[0] + 0.9743253f * s[2] + 0.00055186584f * s[3]
         + 0.0006306089f * s[4] + 3.693266e-5f * s[5]
         - 0.107173815f * i1 - 1.8173361f * i2 - 1.8149745f * i3 + 0.1569892f * i4
         + 1.5760855e-6f * u - 5.814415e-6f * kSupply;
    n[3] = 0.115460396f * s[0] + 0.007358211f * s[2] + 0.99942994f * s[3]
         - 0.0006514175f * s[4] - 3.815135e-5f * s[5]
         - 0.0072357645f * i1 - 0.12269616f * i2 + 1.8748643f * i3 - 0.11533795f * i4
         + 1.064083e-7f * u + 4.271776e-6f * kSupply;
    n[4] = 0.06596744f * s[0] + 0.0042040595f * s[2] - 0.00032570874f * s[3]
         + 0.9993302f * s[4] + 1.4316865e-6f * s[5]
         - 0.0041341004f * i1 - 0.070101544f * i2 - 0.0703571f * i3 - 0.06589749f * i4
         + 6.079559e-8f * u + 2.4406474e-6f * kSupply;
    n[5] = 0.00019317465f * s[0] + 1.2310886e-5f * s[2] - 9.537837e-7f * s[3]
         + 7.158433e-8f * s[4] + 0.95934284f * s[5]
         - 1.2106023e-5f * i1 - 0.00020528067f * i2 + 0.007592343f * i3 - 0.00019296978f * i4
         + 1.7802976e-10f * u + 7.147029e-9f * kSupply;
    n[6] = 0.9998611f * s[6] + 1.9998611f * i3 + 1.9998611f * i4;
    std::memcpy(ch.s, n, sizeof n);
    ch.i1 = i1;
    ch.i2 = i2;
    ch.i3 = i3;
    ch.i4 = i4;

    // Output voltage from the new state and currents.
    const float y = 23269.38f * n[0] - 136.27536f * n[2] + 7.508981f * n[3]
                  + 8.580401f * n[4] + 0.50252545f * n[5]
                  - 1458.2642f * i1 - 24727.646f * i2 - 24695.514f * i3 - 39863.92f * i4
                  + 0.021445062f * u + 0.920886f * kSupply;

    // DC blocker, warm-up fade, anti-alias filter.
    const float d = y - ch.dcIn + dcCoefficient * ch.dcOut;
    ch.dcIn = y;
    ch.dcOut = d;
    return lowpass(ch.down, d * gain);
}

void TubeStage::process(float a, float b, float& ta, float& tb)
{
    const float x[2] = { std::isfinite(a) ? a : 0.0f, std::isfinite(b) ? b : 0.0f };
    const float period = hostPeriod;
    int steps = 0;
    do {
        advanceWarmup();
        for (int k = 0; k < 2; ++k) {
            Channel& ch = channel[k];
            ch.previous = ch.last;   // across host samples when this one gets a single step
            ch.last = step(ch, x[k], warmGain);
        }
        accumulator += internalStep;
    } while (accumulator < period && ++steps < kMaxStepsPerSample);

    float f = 1.0f;
    if (period > 0.0f) {             // false for 0 and NaN
        accumulator -= period;
        if (accumulator < 0.0f)
            accumulator = 0.0f;      // the step cap cut this host sample short
        else if (accumulator > period)
            accumulator = period;    // host rate above the internal rate: do not run ahead
        f = accumulator / period;
    } else {
        accumulator = 0.0f;
    }

    float* out[2] = { &ta, &tb };
    for (int k = 0; k < 2; ++k) {
        Channel& ch = channel[k];
        if (!std::isfinite(ch.last) || !std::isfinite(ch.previous)) {
            // An input beyond what the network can hold overflowed it: start the channel
            // afresh rather than emit non-finite samples for ever.
            ch = Channel{};
        }
        *out[k] = f * ch.last + (1.0f - f) * ch.previous;
    }
}
