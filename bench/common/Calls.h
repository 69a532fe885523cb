// The cost of single calls of processReplacing at block 64, the audio thread's worst case:
// every call timed on its own (thread CPU and wall clock), in steady streaming and around the
// swap of a new plate impulse.
#pragma once

#include "bench/common/Streams.h"

namespace bench {

struct CallTimes {
    double p99CpuUs = 0.0, p99WallUs = 0.0, maxCpuUs = 0.0;
};

// `calls` calls of the stream's block, one after the other.
CallTimes callTimes(Stream& s, int calls);

// A plug-in instance at "Length" 1, block 64, paced in real time so that its timer thread
// builds the impulses as in a host: `swaps` times a "Sound" change raises a request, and the
// 0.8 s of audio that follow (the impulse is built within 0.55 s and swapped in within a hop
// or two) are timed call by call.
CallTimes swapCallTimes(VstLibrary& lib, int swaps);

} // namespace bench
