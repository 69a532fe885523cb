// --bench: the plug-in's processing cost, in CPU time per second of audio at 44.1 kHz.
#pragma once

#include "tools/VstHost.h"

#include <string>

class Benchmark {
public:
    // Prepares one instance (impulse in place), then processes `seconds` of noise in blocks
    // of 64, 512 and 4096 samples, printing one line per block size to stdout.
    static void run(VstLibrary& library, double seconds);
};
