// The 15-bit pseudo-random generator of the classic C runtime: state per thread, starting at
// 1 in every thread, so the audio thread's dither and the timer thread's noise are separate
// sequences and the first impulse of a fresh process is reproducible.
#pragma once

#include <cstdint>

namespace rand15 {

constexpr int kMax = 32767;

int next();               // 0 … 32767, advances this thread's state
void reset(uint32_t seed = 1);  // tests only: restart this thread's sequence

} // namespace rand15
