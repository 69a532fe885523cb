// The tube stage's block of host samples, written once and compiled twice (TubeKernel.cpp for
// the target's default vectors, TubeKernelAvx2.cpp for AVX2). Include it only there:
// everything here has internal linkage, so each build keeps its own copy.
//
// Both channels run in lockstep, left in lane 0 and right in lane 1; two rows of the network's
// matrices share a quad (lanes a, a, b, b), four share an octet. Every lane performs the
// model's operations in the model's order, single-precision multiplies and adds kept apart
// (no fused multiply-add, no reassociation; a row's missing columns add exact zeros): the
// model is chaotic, and any other rounding would show in its output.
#pragma once

#include "core/TubeKernel.h"
#include "core/TubeTables.h"

#include <cmath>
#include <initializer_list>

#if defined(__SSE__)
#include <immintrin.h>
#endif

// The octets below pass between inlined functions of this file only; that their calling
// convention differs without AVX concerns no interface.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

typedef TubePair Pair;
typedef TubeQuad Quad;
typedef int Int4 __attribute__((vector_size(16)));

constexpr float kSupply = 270.0f;           // V_B, the supply voltage
constexpr int kOrder = 8;                   // the resampling low-passes
constexpr int kMaxStepsPerSample = 48;      // 192 kHz over 4 kHz; below that the clock lags
constexpr float kWarmupSteps = 192000.0f;   // one second of internal time
constexpr float kInternalStep = 1.0f / 192000.0f;
constexpr float kWarmCoefficient = 0.9999f;

// The resampling low-pass (both directions).
constexpr float kB[9] = { 0.0009299486f, -0.0005963771f, 0.002155852f, -0.0003243943f,
                          0.002212866f, -0.0003243943f, 0.002155852f, -0.0005963771f,
                          0.0009299486f };
constexpr float kA[9] = { 1.0f, -5.656637f, 15.062768f, -24.344265f, 25.960777f,
                          -18.640486f, 8.786409f, -2.4853153f, 0.32344225f };

// A quad of two coefficients, each for both channels: lanes (a, a, b, b).
constexpr Quad q(float a, float b) { return Quad{ a, a, b, b }; }

inline Quad lowTwice(Quad v) { return __builtin_shufflevector(v, v, 0, 1, 0, 1); }
inline Quad highTwice(Quad v) { return __builtin_shufflevector(v, v, 2, 3, 2, 3); }

// Each row of the network's matrices summed in the order of its columns (s0 … s6, i1 … i4,
// u, V_B); rows are paired into quads, and a row's missing columns add exact zeros.
alignas(16) constexpr Quad kP1G1[10] = {     // s0 … s5, i3, i4, u, V_B
    q(24753.896f, -62530.023f), q(-0.10415943f, -0.10415943f), q(1577.5487f, 93.03283f),
    q(7.9880314f, 0.47107843f), q(9.127805f, 0.5382943f), q(0.53458506f, 0.031526104f),
    q(-26271.012f, 0.0f), q(-24727.646f, 0.0f), q(0.022813192f, 0.9423723f),
    q(0.9158387f * kSupply, 0.054009784f * kSupply) };
alignas(16) constexpr Quad kP2G2[9] = {      // s0, s2 … s6, i2, u, V_B
    q(23269.38f, 24721.73f), q(-136.27536f, 1575.4988f), q(7.508981f, -122.06148f),
    q(8.580401f, 9.16108f), q(0.50252545f, -19.771725f), q(-0.10415943f, -0.10415943f),
    q(-24727.646f, -26271.012f), q(0.021445062f, 0.022783548f),
    q(0.920886f * kSupply, 0.91464865f * kSupply) };
alignas(16) constexpr Quad kN0N2[11] = {     // s0, s2 … s5, i1 … i4, u, V_B
    q(-0.8391183f, 1.7101623f), q(0.0027362597f, 0.9743253f), q(1.3855248e-5f, 0.00055186584f),
    q(1.5832185e-5f, 0.0006306089f), q(9.272383e-7f, 3.693266e-5f),
    q(0.11525533f, -0.107173815f), q(-0.045626383f, -1.8173361f), q(-0.045567095f, -1.8149745f),
    q(-0.042890124f, 0.1569892f), q(-1.6949314e-6f, 1.5760855e-6f),
    q(1.5885231e-6f * kSupply, -5.814415e-6f * kSupply) };
typedef float Oct __attribute__((vector_size(32)));
inline Oct wide(Quad v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3, 0, 1, 2, 3); }
// An octet of four coefficients, each for both channels.
constexpr Oct o(float a, float b, float c, float d) { return Oct{ a, a, b, b, c, c, d, d }; }
// Rows s1, s3, s4, s5 of the state update side by side, over the columns s0 … s5, i1 … i4, u,
// V_B (s1's row only has s1, i1 and i2).
alignas(32) constexpr Oct kN1345[12] = {
    o(0.0f, 0.115460396f, 0.06596744f, 0.00019317465f),             // s0
    o(0.9998611f, 0.0f, 0.0f, 0.0f),                                 // s1
    o(0.0f, 0.007358211f, 0.0042040595f, 1.2310886e-5f),            // s2
    o(0.0f, 0.99942994f, -0.00032570874f, -9.537837e-7f),           // s3
    o(0.0f, -0.0006514175f, 0.9993302f, 7.158433e-8f),              // s4
    o(0.0f, -3.815135e-5f, 1.4316865e-6f, 0.95934284f),             // s5
    o(1.9998611f, -0.0072357645f, -0.0041341004f, -1.2106023e-5f),  // i1
    o(1.9998611f, -0.12269616f, -0.070101544f, -0.00020528067f),    // i2
    o(0.0f, 1.8748643f, -0.0703571f, 0.007592343f),                 // i3
    o(0.0f, -0.11533795f, -0.06589749f, -0.00019296978f),           // i4
    o(0.0f, 1.064083e-7f, 6.079559e-8f, 1.7802976e-10f),            // u
    o(0.0f, 4.271776e-6f * kSupply, 2.4406474e-6f * kSupply, 7.147029e-9f * kSupply) };

// Table positions: (plate, plate, grid, grid) minus these, times the scales (the reciprocals
// 1/150, 1/24 and 1/200, 1/40 in single precision), limited to 0 … 1 (a NaN counts as 0),
// times the last row and column index.
constexpr Quad kTube1Low = { 50.0f, 50.0f, -4.0f, -4.0f };
constexpr Quad kTube2Low = { 100.0f, 100.0f, 5.0f, 5.0f };
constexpr Quad kTube1Scale = { 1.0f / 150.0f, 1.0f / 150.0f, 1.0f / 24.0f, 1.0f / 24.0f };
constexpr Quad kTube2Scale = { 1.0f / 200.0f, 1.0f / 200.0f, 1.0f / 40.0f, 1.0f / 40.0f };
constexpr Quad kLastIndex = { 9.0f, 9.0f, 44099.0f, 44099.0f };

inline Quad load4(const float* p)
{
    Quad v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// One step of the resampling low-pass on four lanes (up left, up right, down left, down right),
// direct form I, summed in the order b0 … b8, then a1 … a8: in and out are the rings, history
// the position of the eight latest entries. The caller stores x and the result at the next
// position back (both copies) in the lanes that took part.
inline __attribute__((always_inline)) Quad lowpass(const TubeState& st, int history, Quad x)
{
    const Quad* in = st.in + history;
    const Quad* out = st.out + history;
    Quad y = kB[0] * x;
    for (int k = 1; k <= kOrder; ++k)
        y += kB[k] * in[k - 1];
    for (int k = 1; k <= kOrder; ++k)
        y -= kA[k] * out[k - 1];
    return y;
}

inline int newer(int position) { return (position + kOrder - 1) & (kOrder - 1); }

// Reads the two interleaved tables of one tube bilinearly, for both channels: args holds
// (first-axis voltage left, right, second-axis voltage left, right); the result holds the
// first table's current left, right, then the second table's. One 16-byte read per channel
// and row holds both tables at the column and the next one (column 44100 copies 44099, so
// the read at the last column interpolates towards itself, as the model clamps it).
inline __attribute__((always_inline)) Quad lookup(const float* tube, Quad args, Quad low, Quad scale)
{
    Quad t = (args - low) * scale;
#if defined(__SSE__)
    // max first: it takes the second operand (0) for a NaN, as "t > 0 ? … : 0" does
    t = _mm_min_ps(_mm_max_ps(t, Quad{}), Quad{ 1.0f, 1.0f, 1.0f, 1.0f });
#else
    t = t > 0.0f ? (t < 1.0f ? t : 1.0f) : 0.0f;
#endif
    const Quad pos = t * kLastIndex;
    const Int4 index = __builtin_convertvector(pos, Int4);   // truncation, as (int)
    const Quad frac = pos - __builtin_convertvector(index, Quad);
    constexpr int kRowFloats = 2 * TubeTables::kColumns;
    const int iL = index[0], iR = index[1], jL = index[2], jR = index[3];
    const float* left = tube + iL * kRowFloats + 2 * jL;
    const float* right = tube + iR * kRowFloats + 2 * jR;
    const Quad upperL = load4(left), upperR = load4(right);   // (A, B, A next, B next)
    const Int4 down = (index < TubeTables::kRows - 1) & kRowFloats;   // the next row, at most 9
    const Quad lowerL = load4(left + down[0]);
    const Quad lowerR = load4(right + down[1]);
    const Quad c00 = __builtin_shufflevector(upperL, upperR, 0, 4, 1, 5);
    const Quad c01 = __builtin_shufflevector(upperL, upperR, 2, 6, 3, 7);
    const Quad c10 = __builtin_shufflevector(lowerL, lowerR, 0, 4, 1, 5);
    const Quad c11 = __builtin_shufflevector(lowerL, lowerR, 2, 6, 3, 7);
    const Quad fr = lowTwice(frac);
    const Quad fc = highTwice(frac);
    const Quad lo = c00 + (c01 - c00) * fc;
    const Quad hi = c10 + (c11 - c10) * fc;
    return (hi - lo) * fr + lo;
}

// The network's state between two steps, kept in registers over a block.
struct Network {
    Quad s0, s1, s2, s3, s4, s5, s6;
    Quad i2, i3, i4;
};

// The network's part of one internal step of both channels: u the upsampled input, gain
// the warm-up gain; returns the DC-free, faded output that the downsampling filter takes.
inline __attribute__((always_inline)) Pair network(Network& n, Pair& dcIn, Pair& dcOut, Pair u,
                                                   float gain, float dcCoefficient,
                                                   const float* tube1, const float* tube2)
{
    const Quad uu = { u[0], u[1], u[0], u[1] };

    // Argument voltages from the previous state and currents: (P1, G1) and (P2, G2).
    Quad pg1 = kP1G1[0] * n.s0;
    pg1 += kP1G1[1] * n.s1;
    pg1 += kP1G1[2] * n.s2;
    pg1 += kP1G1[3] * n.s3;
    pg1 += kP1G1[4] * n.s4;
    pg1 += kP1G1[5] * n.s5;
    pg1 += kP1G1[6] * n.i3;
    pg1 += kP1G1[7] * n.i4;
    pg1 += kP1G1[8] * uu;
    pg1 += kP1G1[9];
    Quad pg2 = kP2G2[0] * n.s0;
    pg2 += kP2G2[1] * n.s2;
    pg2 += kP2G2[2] * n.s3;
    pg2 += kP2G2[3] * n.s4;
    pg2 += kP2G2[4] * n.s5;
    pg2 += kP2G2[5] * n.s6;
    pg2 += kP2G2[6] * n.i2;
    pg2 += kP2G2[7] * uu;
    pg2 += kP2G2[8];

    // Tube 1 (tables A, B): a grid above the table extends both currents linearly, in double
    // precision. Tube 2 (tables C, D): clamped at the table edges.
    Quad t12 = lookup(tube1, pg1, kTube1Low, kTube1Scale);
    if (__builtin_expect(pg1[2] > 20.0f || pg1[3] > 20.0f, 0)) {
        for (int lane = 0; lane < 2; ++lane) {
            if (pg1[lane + 2] > 20.0f) {
                const double over = static_cast<double>(pg1[lane + 2]) - 20.0;
                t12[lane] = static_cast<float>(t12[lane] + over * 1.43245574543015e-5);
                t12[lane + 2] = static_cast<float>(t12[lane + 2] + over * 4.75537924389167e-5);
            }
        }
    }
    const Quad t34 = lookup(tube2, pg2, kTube2Low, kTube2Scale);
    const Quad i1 = lowTwice(t12);
    const Quad i2 = highTwice(t12);
    const Quad i3 = lowTwice(t34);
    const Quad i4 = highTwice(t34);

    // State update from the previous state and this step's currents: rows s0 and s2 in a
    // quad (s0 leads the next step's sums, so it stays clear of the octet's lane crossings),
    // rows s1, s3, s4, s5 in an octet, row s6 alone.
    Quad n02 = kN0N2[0] * n.s0;
    Oct w = kN1345[0] * wide(n.s0);
    w += kN1345[1] * wide(n.s1);
    n02 += kN0N2[1] * n.s2;
    w += kN1345[2] * wide(n.s2);
    n02 += kN0N2[2] * n.s3;
    w += kN1345[3] * wide(n.s3);
    n02 += kN0N2[3] * n.s4;
    w += kN1345[4] * wide(n.s4);
    n02 += kN0N2[4] * n.s5;
    w += kN1345[5] * wide(n.s5);
    n02 += kN0N2[5] * i1;
    w += kN1345[6] * wide(i1);
    n02 += kN0N2[6] * i2;
    w += kN1345[7] * wide(i2);
    n02 += kN0N2[7] * i3;
    w += kN1345[8] * wide(i3);
    n02 += kN0N2[8] * i4;
    w += kN1345[9] * wide(i4);
    n02 += kN0N2[9] * uu;
    w += kN1345[10] * wide(uu);
    n02 += kN0N2[10];
    w += kN1345[11];
    n.s6 = 0.9998611f * n.s6 + 1.9998611f * i3 + 1.9998611f * i4;
    n.s0 = lowTwice(n02);
    n.s2 = highTwice(n02);
    const Quad w13 = __builtin_shufflevector(w, w, 0, 1, 2, 3);
    const Quad w45 = __builtin_shufflevector(w, w, 4, 5, 6, 7);
    n.s1 = lowTwice(w13);
    n.s3 = highTwice(w13);
    n.s4 = lowTwice(w45);
    n.s5 = highTwice(w45);
    n.i2 = i2;
    n.i3 = i3;
    n.i4 = i4;

    // Output voltage from the new state and currents (lanes 0 and 1 carry it).
    const Quad yq = 23269.38f * n.s0 - 136.27536f * n.s2 + 7.508981f * n.s3
                  + 8.580401f * n.s4 + 0.50252545f * n.s5
                  - 1458.2642f * i1 - 24727.646f * i2 - 24695.514f * i3 - 39863.92f * i4
                  + 0.021445062f * uu + 0.920886f * kSupply;
    const Pair y = { yq[0], yq[1] };

    // DC blocker and warm-up fade.
    const Pair d = y - dcIn + dcCoefficient * dcOut;
    dcIn = y;
    dcOut = d;
    return d * gain;
}

// Where the upsampling filter's next step falls: the host sample it belongs to, and the
// internal clock as the network's own loop will have it there (the same operations).
struct Cursor {
    int sample;          // host sample of the block
    float accumulator;   // internal time past the previous host sample
    int steps;           // steps already made in this host sample, less one
};

inline void advance(Cursor& c, float period)
{
    c.accumulator += kInternalStep;
    if (c.accumulator < period && ++c.steps < kMaxStepsPerSample)
        return;
    if (period > 0.0f) {
        c.accumulator -= period;
        if (c.accumulator < 0.0f)
            c.accumulator = 0.0f;
        else if (c.accumulator > period)
            c.accumulator = period;
    } else {
        c.accumulator = 0.0f;
    }
    c.steps = 0;
    ++c.sample;
}

inline Pair heldInput(const float* a, const float* b, int k)
{
    return Pair{ std::isfinite(a[k]) ? a[k] : 0.0f, std::isfinite(b[k]) ? b[k] : 0.0f };
}

// Zero one channel's state (lane 0 left, 1 right), then recompute its upsampling filter's
// steps made ahead from their held inputs, as they come out of a cleared filter.
inline void restartChannel(TubeState& st, Network& n, Pair* ahead, const Pair* aheadInput,
                           int lead, int lane)
{
    for (Quad* v : { &n.s0, &n.s1, &n.s2, &n.s3, &n.s4, &n.s5, &n.s6, &n.i2, &n.i3, &n.i4 })
        (*v)[lane] = (*v)[lane + 2] = 0.0f;
    for (int k = 0; k < 2 * kOrder; ++k) {
        st.in[k][lane] = st.in[k][lane + 2] = 0.0f;
        st.out[k][lane] = st.out[k][lane + 2] = 0.0f;
    }
    st.dcIn[lane] = st.dcOut[lane] = 0.0f;
    st.last[lane] = st.previous[lane] = 0.0f;
    for (int j = 0; j < lead; ++j) {
        const int position = (st.upPosition + lead - 1 - j) & (kOrder - 1);
        Quad x = {};
        x[lane] = aheadInput[j][lane];
        const Quad y = lowpass(st, (position + 1) & (kOrder - 1), x);
        st.in[position][lane] = st.in[position + kOrder][lane] = x[lane];
        st.out[position][lane] = st.out[position + kOrder][lane] = y[lane];
        ahead[j][lane] = y[lane];
    }
}

inline __attribute__((always_inline)) void runBlock(TubeState& st, const float* tube1,
                                                    const float* tube2, const float* a,
                                                    const float* b, float period, float* ta,
                                                    float* tb, int count)
{
    if (count <= 0)
        return;
    Network n = { st.s[0], st.s[1], st.s[2], st.s[3], st.s[4], st.s[5], st.s[6],
                  st.i2, st.i3, st.i4 };
    Pair dcIn = st.dcIn, dcOut = st.dcOut;
    Pair last = st.last, previous = st.previous;
    float accumulator = st.accumulator;
    float warmCounter = st.warmCounter, warmGain = st.warmGain;
    const float dcCoefficient = st.dcCoefficient;

    // The upsampling filter's outputs made ahead, oldest first, and their held inputs.
    Pair ahead[kTubeLead], aheadInput[kTubeLead];
    int lead = 0;
    Cursor cursor = { 0, accumulator, 0 };
    while (lead < kTubeLead && cursor.sample < count) {
        const Pair x = heldInput(a, b, cursor.sample);
        const Quad y = lowpass(st, st.upPosition, Quad{ x[0], x[1], 0.0f, 0.0f });
        const int p = st.upPosition = newer(st.upPosition);
        st.in[p][0] = st.in[p + kOrder][0] = x[0];
        st.in[p][1] = st.in[p + kOrder][1] = x[1];
        st.out[p][0] = st.out[p + kOrder][0] = y[0];
        st.out[p][1] = st.out[p + kOrder][1] = y[1];
        ahead[lead] = Pair{ y[0], y[1] };
        aheadInput[lead++] = x;
        advance(cursor, period);
    }

    for (int k = 0; k < count; ++k) {
        int steps = 0;
        do {
            // The warm-up, shared by both channels.
            if (warmCounter < kWarmupSteps)
                warmCounter += 1.0f;
            const float target = warmCounter >= kWarmupSteps ? 1.0f : 0.0f;
            warmGain = (1.0f - kWarmCoefficient) * target + kWarmCoefficient * warmGain;

            const Pair u = ahead[0];
            for (int j = 1; j < kTubeLead; ++j) {
                ahead[j - 1] = ahead[j];
                aheadInput[j - 1] = aheadInput[j];
            }
            --lead;
            const Pair z = network(n, dcIn, dcOut, u, warmGain, dcCoefficient, tube1, tube2);

            previous = last;     // across host samples when this one gets a single step
            if (cursor.sample < count) {
                // Both filters: this step down, a later one up (the positions agree).
                const Pair x = heldInput(a, b, cursor.sample);
                const Quad in = { x[0], x[1], z[0], z[1] };
                const Quad y = lowpass(st, st.downPosition, in);
                const int p = st.upPosition = st.downPosition = newer(st.downPosition);
                st.in[p] = st.in[p + kOrder] = in;
                st.out[p] = st.out[p + kOrder] = y;
                ahead[lead] = Pair{ y[0], y[1] };
                aheadInput[lead++] = x;
                last = Pair{ y[2], y[3] };
                advance(cursor, period);
            } else {
                // The block's last steps: the downsampling filter alone.
                const Quad y = lowpass(st, st.downPosition, Quad{ 0.0f, 0.0f, z[0], z[1] });
                const int p = st.downPosition = newer(st.downPosition);
                st.in[p][2] = st.in[p + kOrder][2] = z[0];
                st.in[p][3] = st.in[p + kOrder][3] = z[1];
                st.out[p][2] = st.out[p + kOrder][2] = y[2];
                st.out[p][3] = st.out[p + kOrder][3] = y[3];
                last = Pair{ y[2], y[3] };
            }
            accumulator += kInternalStep;
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
            if (__builtin_expect(!std::isfinite(last[lane]) || !std::isfinite(previous[lane]), 0)) {
                // An input beyond what the network can hold overflowed it: start the channel
                // afresh rather than emit non-finite samples for ever.
                st.dcIn = dcIn;
                st.dcOut = dcOut;
                st.last = last;
                st.previous = previous;
                restartChannel(st, n, ahead, aheadInput, lead, lane);
                dcIn = st.dcIn;
                dcOut = st.dcOut;
                last = st.last;
                previous = st.previous;
            }
        }
        const Pair t = f * last + (1.0f - f) * previous;
        ta[k] = t[0];
        tb[k] = t[1];
    }

    st.s[0] = n.s0; st.s[1] = n.s1; st.s[2] = n.s2; st.s[3] = n.s3;
    st.s[4] = n.s4; st.s[5] = n.s5; st.s[6] = n.s6;
    st.i2 = n.i2; st.i3 = n.i3; st.i4 = n.i4;
    st.dcIn = dcIn;
    st.dcOut = dcOut;
    st.last = last;
    st.previous = previous;
    st.accumulator = accumulator;
    st.warmCounter = warmCounter;
    st.warmGain = warmGain;
}

}  // namespace
