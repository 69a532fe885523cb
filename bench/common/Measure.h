// Timing for the benchmarks: CPU seconds of the whole process (so a convolver that hands
// work to its own threads is charged for it), medians, and the "CPU seconds per second of
// stereo audio at 44.1 kHz" figure the anchors are quoted in.
#pragma once

#include <functional>
#include <vector>

namespace bench {

constexpr double kRate = 44100.0;

double processCpuSeconds();   // CLOCK_PROCESS_CPUTIME_ID
double threadCpuSeconds();    // CLOCK_THREAD_CPUTIME_ID
double wallSeconds();         // steady clock

// Runs `chunk` (which processes `samplesPerChunk` samples) until at least `minCpu` process
// CPU seconds have passed; returns CPU seconds per second of audio.
double cpuPerAudioSecond(const std::function<void()>& chunk, int samplesPerChunk, double minCpu);

double median(std::vector<double> v);
double percentile(std::vector<double> v, double p);   // p in 0..100

long residentKb();   // resident set of this process

// Read bandwidth of one core from memory beyond its caches (a 64 MB stream), bytes per
// second: the floor of any kernel that streams more data than the caches hold.
double streamReadBandwidth();

} // namespace bench
