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
    auto clearQuad = [lane](Quad* q, int n) {
        for (int k = 0; k < n; ++k)
            q[k][lane] = q[k][lane + 2] = 0.0f;
    };
    clearQuad(net.s, 7);
    clearQuad(&net.i2, 1);
    clearQuad(&net.i3, 1);
    clearQuad(&net.i4, 1);
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
inline __attribute__((always_inline)) TubeStage::Pair TubeStage::lowpass(Filter& f, int history, Pair x)
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

namespace {

typedef float Quad4 __attribute__((vector_size(16)));

// A quad of two coefficients, each for both channels: lanes (a, a, b, b).
constexpr Quad4 q(float a, float b) { return Quad4{ a, a, b, b }; }

inline Quad4 lowTwice(Quad4 v) { return __builtin_shufflevector(v, v, 0, 1, 0, 1); }
inline Quad4 highTwice(Quad4 v) { return __builtin_shufflevector(v, v, 2, 3, 2, 3); }

// Each row of the network's matrices summed in the order of its columns (s0 … s6, i1 … i4,
// u, V_B); rows are paired into quads, and a row's missing columns add exact zeros.
alignas(16) constexpr Quad4 kP1G1[10] = {     // s0 … s5, i3, i4, u, V_B
    q(24753.896f, -62530.023f), q(-0.10415943f, -0.10415943f), q(1577.5487f, 93.03283f),
    q(7.9880314f, 0.47107843f), q(9.127805f, 0.5382943f), q(0.53458506f, 0.031526104f),
    q(-26271.012f, 0.0f), q(-24727.646f, 0.0f), q(0.022813192f, 0.9423723f),
    q(0.9158387f * kSupply, 0.054009784f * kSupply) };
alignas(16) constexpr Quad4 kP2G2[9] = {      // s0, s2 … s6, i2, u, V_B
    q(23269.38f, 24721.73f), q(-136.27536f, 1575.4988f), q(7.508981f, -122.06148f),
    q(8.580401f, 9.16108f), q(0.50252545f, -19.771725f), q(-0.10415943f, -0.10415943f),
    q(-24727.646f, -26271.012f), q(0.021445062f, 0.022783548f),
    q(0.920886f * kSupply, 0.91464865f * kSupply) };
alignas(16) constexpr Quad4 kN0N2[11] = {     // s0, s2 … s5, i1 … i4, u, V_B
    q(-0.8391183f, 1.7101623f), q(0.0027362597f, 0.9743253f), q(1.3855248e-5f, 0.00055186584f),
    q(1.5832185e-5f, 0.0006306089f), q(9.272383e-7f, 3.693266e-5f),
    q(0.11525533f, -0.107173815f), q(-0.045626383f, -1.8173361f), q(-0.045567095f, -1.8149745f),
    q(-0.042890124f, 0.1569892f), q(-1.6949314e-6f, 1.5760855e-6f),
    q(1.5885231e-6f * kSupply, -5.814415e-6f * kSupply) };
alignas(16) constexpr Quad4 kN3N4[11] = {     // s0, s2 … s5, i1 … i4, u, V_B
    q(0.115460396f, 0.06596744f), q(0.007358211f, 0.0042040595f), q(0.99942994f, -0.00032570874f),
    q(-0.0006514175f, 0.9993302f), q(-3.815135e-5f, 1.4316865e-6f),
    q(-0.0072357645f, -0.0041341004f), q(-0.12269616f, -0.070101544f), q(1.8748643f, -0.0703571f),
    q(-0.11533795f, -0.06589749f), q(1.064083e-7f, 6.079559e-8f),
    q(4.271776e-6f * kSupply, 2.4406474e-6f * kSupply) };
alignas(16) constexpr Quad4 kN5N1[12] = {     // s0, s1, s2 … s5, i1 … i4, u, V_B
    q(0.00019317465f, 0.0f), q(0.0f, 0.9998611f), q(1.2310886e-5f, 0.0f), q(-9.537837e-7f, 0.0f),
    q(7.158433e-8f, 0.0f), q(0.95934284f, 0.0f),
    q(-1.2106023e-5f, 1.9998611f), q(-0.00020528067f, 1.9998611f), q(0.007592343f, 0.0f),
    q(-0.00019296978f, 0.0f), q(1.7802976e-10f, 0.0f), q(7.147029e-9f * kSupply, 0.0f) };

typedef int Int4 __attribute__((vector_size(16)));

// Table positions: (plate, plate, grid, grid) minus these, times the scales below, limited
// to 0 … 1 (a NaN counts as 0), times the last row and column index.
constexpr Quad4 kTube1Low = { 50.0f, 50.0f, -4.0f, -4.0f };
constexpr Quad4 kTube2Low = { 100.0f, 100.0f, 5.0f, 5.0f };
constexpr Quad4 kLastIndex = { 9.0f, 9.0f, 44099.0f, 44099.0f };

// Reads two tables that share their axes, bilinearly, for both channels: args holds
// (first-axis voltage left, right, second-axis voltage left, right); the result holds the
// first table's current left, right, then the second table's.
inline Quad4 lookup(const float* ta, const float* tb, Quad4 args, Quad4 low, Quad4 scale)
{
    Quad4 t = (args - low) * scale;
    t = t > 0.0f ? (t < 1.0f ? t : 1.0f) : 0.0f;
    const Quad4 pos = t * kLastIndex;
    const Int4 index = __builtin_convertvector(pos, Int4);   // truncation, as (int)
    const Quad4 frac = pos - __builtin_convertvector(index, Quad4);
    constexpr int kStride = TubeTables::kColumns;
    int at[2], down[2], right[2];
    for (int lane = 0; lane < 2; ++lane) {
        const int i = index[lane], j = index[lane + 2];
        at[lane] = i * kStride + j;
        down[lane] = i + 1 < TubeTables::kRows ? kStride : 0;   // the next row, at most 9
        right[lane] = j < TubeTables::kLastColumn ? 1 : 0;      // the next column, at most 44099
    }
    const float* a0 = ta + at[0];
    const float* a1 = ta + at[1];
    const float* b0 = tb + at[0];
    const float* b1 = tb + at[1];
    const Quad4 c00 = { a0[0], a1[0], b0[0], b1[0] };
    const Quad4 c01 = { a0[right[0]], a1[right[1]], b0[right[0]], b1[right[1]] };
    const Quad4 c10 = { a0[down[0]], a1[down[1]], b0[down[0]], b1[down[1]] };
    const Quad4 c11 = { a0[down[0] + right[0]], a1[down[1] + right[1]],
                        b0[down[0] + right[0]], b1[down[1] + right[1]] };
    const Quad4 fr = lowTwice(frac);
    const Quad4 fc = highTwice(frac);
    const Quad4 lo = c00 + (c01 - c00) * fc;
    const Quad4 hi = c10 + (c11 - c10) * fc;
    return (hi - lo) * fr + lo;
}

}  // namespace

TubeStage::Pair TubeStage::step(Pair x, float gain)
{
    Network& c = net;
    const Pair u = lowpass(c.up, c.history, x);
    const Quad uu = { u[0], u[1], u[0], u[1] };
    const Quad* s = c.s;

    // Argument voltages from the previous state and currents: (P1, G1) and (P2, G2).
    Quad pg1 = kP1G1[0] * s[0];
    pg1 += kP1G1[1] * s[1];
    pg1 += kP1G1[2] * s[2];
    pg1 += kP1G1[3] * s[3];
    pg1 += kP1G1[4] * s[4];
    pg1 += kP1G1[5] * s[5];
    pg1 += kP1G1[6] * c.i3;
    pg1 += kP1G1[7] * c.i4;
    pg1 += kP1G1[8] * uu;
    pg1 += kP1G1[9];
    Quad pg2 = kP2G2[0] * s[0];
    pg2 += kP2G2[1] * s[2];
    pg2 += kP2G2[2] * s[3];
    pg2 += kP2G2[3] * s[4];
    pg2 += kP2G2[4] * s[5];
    pg2 += kP2G2[5] * s[6];
    pg2 += kP2G2[6] * c.i2;
    pg2 += kP2G2[7] * uu;
    pg2 += kP2G2[8];

    // Tube 1 (tables A, B): a grid above the table extends both currents linearly.
    // Tube 2 (tables C, D): clamped at the table edges.
    const Quad scale1 = { rowScale1, rowScale1, colScale1, colScale1 };
    const Quad scale2 = { rowScale2, rowScale2, colScale2, colScale2 };
    Quad t12 = lookup(tables.row(0, 0), tables.row(1, 0), pg1, kTube1Low, scale1);
    if (pg1[2] > 20.0f || pg1[3] > 20.0f) {
        for (int lane = 0; lane < 2; ++lane) {
            if (pg1[lane + 2] > 20.0f) {
                const double over = static_cast<double>(pg1[lane + 2]) - 20.0;
                t12[lane] = static_cast<float>(t12[lane] + over * 1.43245574543015e-5);
                t12[lane + 2] = static_cast<float>(t12[lane + 2] + over * 4.75537924389167e-5);
            }
        }
    }
    const Quad t34 = lookup(tables.row(2, 0), tables.row(3, 0), pg2, kTube2Low, scale2);
    const Quad i1 = lowTwice(t12);
    const Quad i2 = highTwice(t12);
    const Quad i3 = lowTwice(t34);
    const Quad i4 = highTwice(t34);

    // State update from the previous state and this step's currents.
    Quad n02 = kN0N2[0] * s[0];
    Quad n34 = kN3N4[0] * s[0];
    Quad n51 = kN5N1[0] * s[0];
    n51 += kN5N1[1] * s[1];
    n02 += kN0N2[1] * s[2];
    n34 += kN3N4[1] * s[2];
    n51 += kN5N1[2] * s[2];
    n02 += kN0N2[2] * s[3];
    n34 += kN3N4[2] * s[3];
    n51 += kN5N1[3] * s[3];
    n02 += kN0N2[3] * s[4];
    n34 += kN3N4[3] * s[4];
    n51 += kN5N1[4] * s[4];
    n02 += kN0N2[4] * s[5];
    n34 += kN3N4[4] * s[5];
    n51 += kN5N1[5] * s[5];
    n02 += kN0N2[5] * i1;
    n34 += kN3N4[5] * i1;
    n51 += kN5N1[6] * i1;
    n02 += kN0N2[6] * i2;
    n34 += kN3N4[6] * i2;
    n51 += kN5N1[7] * i2;
    n02 += kN0N2[7] * i3;
    n34 += kN3N4[7] * i3;
    n51 += kN5N1[8] * i3;
    n02 += kN0N2[8] * i4;
    n34 += kN3N4[8] * i4;
    n51 += kN5N1[9] * i4;
    n02 += kN0N2[9] * uu;
    n34 += kN3N4[9] * uu;
    n51 += kN5N1[10] * uu;
    n02 += kN0N2[10];
    n34 += kN3N4[10];
    n51 += kN5N1[11];
    const Quad n6 = 0.9998611f * s[6] + 1.9998611f * i3 + 1.9998611f * i4;
    c.s[0] = lowTwice(n02);
    c.s[2] = highTwice(n02);
    c.s[3] = lowTwice(n34);
    c.s[4] = highTwice(n34);
    c.s[5] = lowTwice(n51);
    c.s[1] = highTwice(n51);
    c.s[6] = n6;
    c.i2 = i2;
    c.i3 = i3;
    c.i4 = i4;

    // Output voltage from the new state and currents (lanes 0 and 1 carry it).
    const Quad yq = 23269.38f * c.s[0] - 136.27536f * c.s[2] + 7.508981f * c.s[3]
                  + 8.580401f * c.s[4] + 0.50252545f * c.s[5]
                  - 1458.2642f * i1 - 24727.646f * i2 - 24695.514f * i3 - 39863.92f * i4
                  + 0.021445062f * uu + 0.920886f * kSupply;
    const Pair y = { yq[0], yq[1] };

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
