#include "dsp/AllpassCascade.h"

namespace {
constexpr int kStages = kAllpassCascadeStages;
constexpr int kWidth = 4;   // lanes per vector: SSE2 on x86, whatever the target has elsewhere
static_assert(kStages % kWidth == 0);
typedef float Floats __attribute__((vector_size(4 * kWidth)));
typedef int Ints __attribute__((vector_size(4 * kWidth)));

Floats loadFloats(const float* p)
{
    Floats v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
Ints loadInts(const int* p)
{
    Ints v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
void store(float* p, Floats v) { __builtin_memcpy(p, &v, sizeof v); }
} // namespace

void allpassCascade(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                    const float* coefficient, const int* count, int n)
{
    // Lane s of diagonal t holds sample t - s. A sample's value, coefficient and count move
    // one lane up per diagonal (two buffers, swapped); a stage at or beyond the sample's count
    // passes the value through unchanged, so the last lane carries the output of the
    // sample's last stage. Lanes outside the run carry a count of 0.
    alignas(32) float value[2][2][kStages + 1] = {};  // [buffer][channel][lane]: stage input
    alignas(32) float coef[2][kStages + 1] = {};      // coefficient of each lane's sample
    alignas(32) int stages[2][kStages + 1] = {};      // stage count of each lane's sample
    int cur = 0;
    for (int t = 0; t < n + kStages - 1; t++) {
        const int next = cur ^ 1;
        if (t < n) {
            value[cur][0][0] = rows[0][t];
            value[cur][1][0] = rows[1][t];
            coef[cur][0] = coefficient[t];
            stages[cur][0] = count[t];
        } else {
            stages[cur][0] = 0;
        }
        for (int ch = 0; ch < 2; ch++) {
            const float* __restrict x = value[cur][ch];
            float* __restrict y = value[next][ch] + 1;
            const float* __restrict c = coef[cur];
            const int* __restrict k = stages[cur];
            float* __restrict pIn = prevIn[ch];
            float* __restrict pOut = prevOut[ch];
            const Ints lane0 = {0, 1, 2, 3};
            for (int s = 0; s < kStages; s += kWidth) {
                const Floats xs = loadFloats(x + s);
                const Floats cs = loadFloats(c + s);
                const Floats in = loadFloats(pIn + s);
                const Floats prev = loadFloats(pOut + s);
                const Floats out = (in - cs * xs) + cs * prev;
                const Ints active = (lane0 + s) < loadInts(k + s);
                store(pIn + s, active ? xs : in);
                store(pOut + s, active ? out : prev);
                store(y + s, active ? out : xs);
            }
        }
        for (int s = 0; s < kStages; s++) {
            coef[next][s + 1] = coef[cur][s];
            stages[next][s + 1] = stages[cur][s];
        }
        // sample t - (kStages - 1) has left the last stage; writing behind the reads keeps
        // the run in place
        const int leaving = t - (kStages - 1);
        if (leaving >= 0) {
            rows[0][leaving] = value[next][0][kStages];
            rows[1][leaving] = value[next][1][kStages];
        }
        cur = next;
    }
}

void allpassCascadeSerial(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                          const float* coefficient, const int* count, int n)
{
    for (int j = 0; j < n; j++) {
        const float c = coefficient[j];
        for (int ch = 0; ch < 2; ch++) {
            float v = rows[ch][j];
            for (int s = 0; s < count[j]; s++) {
                const float y = (prevIn[ch][s] - c * v) + c * prevOut[ch][s];
                prevIn[ch][s] = v;
                prevOut[ch][s] = y;
                v = y;
            }
            rows[ch][j] = v;
        }
    }
}
