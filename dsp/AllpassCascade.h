// The synthesis's dispersion: per channel a cascade of up to 40 first-order allpasses
// y = (x1 - c·x) + c·y1, that is (-c + z^-1) / (1 - c·z^-1), sharing one coefficient, run
// over a run of samples of both channels in place. Each sample brings its own coefficient and
// stage count (the first count stages run, the rest keep their state). The state arrays hold
// each stage's previous input and previous output per channel.
#pragma once

constexpr int kAllpassCascadeStages = 40;

using AllpassState = float[2][kAllpassCascadeStages];

// Stage s of sample j needs stage s - 1 of sample j and stage s of sample j - 1, so all
// stages on one diagonal j + s are independent: this runs each diagonal as one vectorised
// loop over the stages. Every stage does the same arithmetic as allpassCascadeSerial, so the
// results are the same bits. counts must lie in 0 .. kAllpassCascadeStages.
void allpassCascade(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                    const float* coefficient, const int* count, int n);

// The same diagonal run without AVX2 (allpassCascade picks AVX2 where the processor has it).
void allpassCascadePortable(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                            const float* coefficient, const int* count, int n);

// The plain sample-by-sample loop, kept as the reference.
void allpassCascadeSerial(AllpassState& prevIn, AllpassState& prevOut, float* const rows[2],
                          const float* coefficient, const int* count, int n);
