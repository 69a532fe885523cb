// The cost over time: an hour (or `minutes`) of audio through one instance, rendered offline
// as fast as it goes: noise, music-like bursts and silence, random automation of every
// parameter every few seconds and program changes. Every minute plays the same script from the
// same start (the programs as they were, program 0 selected), so the minutes can be compared:
// CPU time per minute must stay flat (no denormal slowdown after silence, nothing that grows),
// resident memory flat, and every output sample finite. On a machine shared with others the
// CPU time of a minute swings with their load, so a second instance streams steady noise
// block for block beside the soaked one, and CPU time is compared as the ratio to it.
#pragma once

#include "tools/VstHost.h"

#include <vector>

namespace bench {

struct SoakMinute {
    double cpuSeconds = 0.0;   // this thread's CPU time for the minute (synthesis included)
    double referenceSeconds = 0.0;   // CPU time of a second instance streaming steady noise,
                                     // block for block alongside: the machine's own speed
    long residentKb = 0;       // at the minute's end
    long nonFinite = 0;        // output samples that were not finite
    float peak = 0.0f;         // largest output magnitude
};

std::vector<SoakMinute> soak(VstLibrary& lib, int minutes);

// Prints the minutes and the verdicts; returns true when all are met.
bool reportSoak(const std::vector<SoakMinute>& minutes);

} // namespace bench
