#include "dsp/AllpassCascade.h"

#include "dsp/CpuFeatures.h"

namespace {

constexpr int kStages = kAllpassCascadeStages;
constexpr int kRun = 1024;   // samples per diagonal sweep; longer runs are cut into these

// Eight lanes: two SSE vectors in the portable build, one AVX vector in the AVX2 build. The
// arithmetic per lane is the same in both (no fused operations), so are the bits.
typedef float Floats __attribute__((vector_size(32)));
typedef int Ints __attribute__((vector_size(32)));
constexpr int kWidth = 8;
static_assert(kStages % kWidth == 0);

// Lane s of diagonal t holds sample t - s. The samples' coefficients and counts are laid out
// backwards with kStages of padding (count 0) on both sides, so lane s reads entry
// kStages + n - 1 - (t - s): one contiguous load per vector. A sample's value moves one lane
// up per diagonal (two buffers, swapped); a stage at or beyond the sample's count passes the
// value through unchanged and keeps its state, so the last lane carries the output of the
// sample's last stage.
template <int Target>
__attribute__((always_inline)) inline void sweep(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                  const float* coefficient, const int* count, int n)
{
    float backCoef[kRun + 2 * kStages];
    int backCount[kRun + 2 * kStages];
    for (int i = 0; i < kStages; i++) {
        backCoef[i] = backCoef[kStages + n + i] = 0.0f;
        backCount[i] = backCount[kStages + n + i] = 0;
    }
    int uniform = count[0];   // the run's stage count if all samples share it, else 0
    for (int j = 0; j < n; j++) {
        backCoef[kStages + n - 1 - j] = coefficient[j];
        backCount[kStages + n - 1 - j] = count[j];
        if (count[j] != uniform)
            uniform = 0;
    }
    alignas(32) float value[2][2][kStages + kWidth] = {};  // [buffer][channel][lane]
    const Ints lane0 = {0, 1, 2, 3, 4, 5, 6, 7};
    int cur = 0;
    for (int t = 0; t < n + kStages - 1; t++) {
        const int next = cur ^ 1;
        if (t < n) {
            value[cur][0][0] = rows[0][t];
            value[cur][1][0] = rows[1][t];
        }
        const float* c = backCoef + kStages + n - 1 - t;
        const int* k = backCount + kStages + n - 1 - t;
        // Where every lane holds a sample of the run and all of them have the same count,
        // the vectors below the count need no selection and those above it only pass on.
        const bool steady = uniform > 0 && t >= kStages - 1 && t < n;
        for (int ch = 0; ch < 2; ch++) {
            const float* x = value[cur][ch];
            float* y = value[next][ch] + 1;
            float* pIn = prevIn[ch];
            float* pOut = prevOut[ch];
            for (int s = 0; s < kStages; s += kWidth) {
                Floats xs;
                __builtin_memcpy(&xs, x + s, sizeof xs);
                if (steady && s >= uniform) {
                    __builtin_memcpy(y + s, &xs, sizeof xs);
                    continue;
                }
                Floats cs, in, prev;
                __builtin_memcpy(&cs, c + s, sizeof cs);
                __builtin_memcpy(&in, pIn + s, sizeof in);
                __builtin_memcpy(&prev, pOut + s, sizeof prev);
                const Floats out = (in - cs * xs) + cs * prev;
                if (steady && s + kWidth <= uniform) {
                    __builtin_memcpy(pIn + s, &xs, sizeof xs);
                    __builtin_memcpy(pOut + s, &out, sizeof out);
                    __builtin_memcpy(y + s, &out, sizeof out);
                    continue;
                }
                Ints ks;
                __builtin_memcpy(&ks, k + s, sizeof ks);
                const Ints active = (lane0 + s) < ks;
                const Floats keepIn = active ? xs : in;
                const Floats keepOut = active ? out : prev;
                const Floats pass = active ? out : xs;
                __builtin_memcpy(pIn + s, &keepIn, sizeof keepIn);
                __builtin_memcpy(pOut + s, &keepOut, sizeof keepOut);
                __builtin_memcpy(y + s, &pass, sizeof pass);
            }
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

void cascadePortable(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                     const float* coefficient, const int* count, int n)
{
    sweep<0>(prevIn, prevOut, rows, coefficient, count, n);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
__attribute__((target("avx2"))) void cascadeAvx2(AllpassState& prevIn, AllpassState& prevOut,
                                                 float* const rows[2], const float* coefficient,
                                                 const int* count, int n)
{
    sweep<1>(prevIn, prevOut, rows, coefficient, count, n);
}
#else
void cascadeAvx2(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                 const float* coefficient, const int* count, int n)
{
    sweep<0>(prevIn, prevOut, rows, coefficient, count, n);
}
#endif

} // namespace

void allpassCascade(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                    const float* coefficient, const int* count, int n)
{
    static const bool avx2 = cpuHasAvx2();
    for (int begin = 0; begin < n; begin += kRun) {
        const int m = n - begin < kRun ? n - begin : kRun;
        float* part[2] = {rows[0] + begin, rows[1] + begin};
        if (avx2)
            cascadeAvx2(prevIn, prevOut, part, coefficient + begin, count + begin, m);
        else
            cascadePortable(prevIn, prevOut, part, coefficient + begin, count + begin, m);
    }
}

void allpassCascadePortable(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                            const float* coefficient, const int* count, int n)
{
    for (int begin = 0; begin < n; begin += kRun) {
        const int m = n - begin < kRun ? n - begin : kRun;
        float* part[2] = {rows[0] + begin, rows[1] + begin};
        cascadePortable(prevIn, prevOut, part, coefficient + begin, count + begin, m);
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
