// The 15-bit pseudo-random generator of the classic C runtime: each call
// state = state × 214013 + 2531011 (unsigned 32-bit wrap-around), result (state >> 16) & 0x7FFF.
// rand15::next() keeps one state per thread, starting at 1 in every thread: the audio
// thread's dither is its own sequence. The plate synthesis draws from a Generator of its
// own instance instead, so an impulse does not depend on the thread it is built on, and the
// dither does not depend on whether a synthesis ran on the audio thread.
#pragma once

#include <cstdint>

namespace rand15 {

constexpr int kMax = 32767;

class Generator {
public:
    int next()  // 0 … 32767
    {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF);
    }
    void reset(uint32_t seed = 1) { state = seed; }

private:
    uint32_t state = 1;
};

int next();               // 0 … 32767, advances this thread's state
Generator& thisThread();  // this thread's state itself, for many draws in a row
void reset(uint32_t seed = 1);  // tests only: restart this thread's sequence

} // namespace rand15
