#include "core/TubeStage.h"

#include "core/TubeTables.h"

#include <cmath>

namespace {

constexpr float kSupply = 270.0f;       // V_B, the supply voltage
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

// Reads two tables that share a first and a second axis at (r, c), bilinearly.
inline void bilinear2(const float* ta, const float* tb, float r, float c, float& va, float& vb)
{
    constexpr int kStride = TubeTables::kColumns;
    const int i = static_cast<int>(r);
    const float fr = r - static_cast<float>(i);
    const int di = i + 1 < TubeTables::kRows ? kStride : 0;
    const int j = static_cast<int>(c);
    const float fc = c - static_cast<float>(j);
    const int dj = j + 1 < TubeTables::kLastColumn ? 1 : 0;
    const float* a = ta + i * kStride + j;
    const float* b = tb + i * kStride + j;
    const float alo = a[0] + (a[dj] - a[0]) * fc;
    const float ahi = a[di] + (a[di + dj] - a[di]) * fc;
    const float blo = b[0] + (b[dj] - b[0]) * fc;
    const float bhi = b[di] + (b[di + dj] - b[di]) * fc;
    va = (ahi - alo) * fr + alo;
    vb = (bhi - blo) * fr + blo;
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
    net = Network{};
}

void TubeStage::restartChannel(int lane)
{
    auto clear = [lane](Pair* p, int n) {
        for (int k = 0; k < n; ++k)
            p[k][lane] = 0.0f;
    };
    clear(net.s, 7);
    clear(&net.i1, 1);
    clear(&net.i2, 1);
    clear(&net.i3, 1);
    clear(&net.i4, 1);
    clear(net.up.in, 2 * kOrder);
    clear(net.up.out, 2 * kOrder);
    clear(net.down.in, 2 * kOrder);
    clear(net.down.out, 2 * kOrder);
    clear(&net.dcIn, 1);
    clear(&net.dcOut, 1);
    clear(&net.last, 1);
    clear(&net.previous, 1);
}

// Direct form I, summed in the order b0 … b8, then a1 … a8. The histories are rings written
// twice, so that the eight newest entries always lie side by side from the position on;
// the caller moves the position back by one after each step of both filters.
TubeStage::Pair TubeStage::lowpass(Filter& f, int history, Pair x)
{
    const Pair* in = f.in + history;
    const Pair* out = f.out + history;
    Pair y = kB[0] * x;
    for (int k = 1; k <= kOrder; ++k)
        y += kB[k] * in[k - 1];
    for (int k = 1; k <= kOrder; ++k)
        y -= kA[k] * out[k - 1];
    const int newest = (history + kOrder - 1) & (kOrder - 1);
    f.in[newest] = f.in[newest + kOrder] = x;
    f.out[newest] = f.out[newest + kOrder] = y;
    return y;
}

void TubeStage::advanceWarmup()
{
    if (warmCounter < kWarmupSteps)
        warmCounter += 1.0f;
    const float target = warmCounter >= kWarmupSteps ? 1.0f : 0.0f;
    warmGain = (1.0f - warmCoefficient) * target + warmCoefficient * warmGain;
}

TubeStage::Pair TubeStage::step(Pair x, float gain)
{
    Network& c = net;
    const Pair u = lowpass(c.up, c.history, x);
    const Pair* s = c.s;

    // Argument voltages from the previous state and currents.
    const Pair p1 = 24753.896f * s[0] - 0.10415943f * s[1] + 1577.5487f * s[2]
                  + 7.9880314f * s[3] + 9.127805f * s[4] + 0.53458506f * s[5]
                  - 26271.012f * c.i3 - 24727.646f * c.i4
                  + 0.022813192f * u + 0.9158387f * kSupply;
    const Pair g1 = -62530.023f * s[0] - 0.10415943f * s[1] + 93.03283f * s[2]
                  + 0.47107843f * s[3] + 0.5382943f * s[4] + 0.031526104f * s[5]
                  + 0.9423723f * u + 0.054009784f * kSupply;
    const Pair p2 = 23269.38f * s[0] - 136.27536f * s[2] + 7.508981f * s[3]
                  + 8.580401f * s[4] + 0.50252545f * s[5] - 0.10415943f * s[6]
                  - 24727.646f * c.i2
                  + 0.021445062f * u + 0.920886f * kSupply;
    const Pair g2 = 24721.73f * s[0] + 1575.4988f * s[2] - 122.06148f * s[3]
                  + 9.16108f * s[4] - 19.771725f * s[5] - 0.10415943f * s[6]
                  - 26271.012f * c.i2
                  + 0.022783548f * u + 0.91464865f * kSupply;

    // Tube 1 (tables A, B): a grid above the table extends both currents linearly.
    // Tube 2 (tables C, D): clamped at the table edges.
    float a[2], b[2], cc[2], dd[2];   // the currents per lane, gathered into pairs below
    for (int lane = 0; lane < 2; ++lane) {
        bilinear2(tables.row(0, 0), tables.row(1, 0),
                  position(p1[lane], 50.0f, rowScale1, 9.0f),
                  position(g1[lane], -4.0f, colScale1, 44099.0f), a[lane], b[lane]);
        if (g1[lane] > 20.0f) {
            const double over = static_cast<double>(g1[lane]) - 20.0;
            a[lane] = static_cast<float>(a[lane] + over * 1.43245574543015e-5);
            b[lane] = static_cast<float>(b[lane] + over * 4.75537924389167e-5);
        }
        bilinear2(tables.row(2, 0), tables.row(3, 0),
                  position(p2[lane], 100.0f, rowScale2, 9.0f),
                  position(g2[lane], 5.0f, colScale2, 44099.0f), cc[lane], dd[lane]);
    }
    const Pair i1 = { a[0], a[1] };
    const Pair i2 = { b[0], b[1] };
    const Pair i3 = { cc[0], cc[1] };
    const Pair i4 = { dd[0], dd[1] };

    // State update from the previous state and this step's currents.
    Pair n[7];
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
    for (int k = 0; k < 7; ++k)
        c.s[k] = n[k];
    c.i1 = i1;
    c.i2 = i2;
    c.i3 = i3;
    c.i4 = i4;

    // Output voltage from the new state and currents.
    const Pair y = 23269.38f * n[0] - 136.27536f * n[2] + 7.508981f * n[3]
                 + 8.580401f * n[4] + 0.50252545f * n[5]
                 - 1458.2642f * i1 - 24727.646f * i2 - 24695.514f * i3 - 39863.92f * i4
                 + 0.021445062f * u + 0.920886f * kSupply;

    // DC blocker, warm-up fade, anti-alias filter.
    const Pair d = y - c.dcIn + dcCoefficient * c.dcOut;
    c.dcIn = y;
    c.dcOut = d;
    const Pair z = lowpass(c.down, c.history, d * gain);
    c.history = (c.history + kOrder - 1) & (kOrder - 1);
    return z;
}

void TubeStage::process(float a, float b, float& ta, float& tb)
{
    const Pair x = { std::isfinite(a) ? a : 0.0f, std::isfinite(b) ? b : 0.0f };
    const float period = hostPeriod;
    int steps = 0;
    do {
        advanceWarmup();
        net.previous = net.last;     // across host samples when this one gets a single step
        net.last = step(x, warmGain);
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

    for (int lane = 0; lane < 2; ++lane) {
        if (!std::isfinite(net.last[lane]) || !std::isfinite(net.previous[lane])) {
            // An input beyond what the network can hold overflowed it: start the channel
            // afresh rather than emit non-finite samples for ever.
            restartChannel(lane);
        }
    }
    const Pair t = f * net.last + (1.0f - f) * net.previous;
    ta = t[0];
    tb = t[1];
}
