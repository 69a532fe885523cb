// Helpers for tests that drive the effect object directly (the engine linked in), where a
// test must see inside: the registry, the request flags, the convolver's state.
#pragma once

#include "core/Controlsgui.h"
#include "support/Plugin.h"

#include <memory>

std::unique_ptr<Controlsgui> makeEffect();

// Processes `in` out of place in blocks; returns the output.
StereoBuffer run(Controlsgui& fx, const StereoBuffer& in, int block = 512);

// Raises the impulse request with one silent block, waits for the timer's synthesis, then
// processes silence past the next block boundary so the new impulse is in use. Returns
// false if no synthesis happened within the time limit.
bool primeImpulse(Controlsgui& fx, double timeoutSeconds = 60.0);

// Sets every parameter to a sound-measuring setting: solid state, mix 1, volume 1, filters
// wide open, no pre-delay, amplitude modulation with no depth.
void setMeasuring(Controlsgui& fx);

// The energy of x[from, to) in dB (10 log10 of the sum of squares), -300 for silence.
double energyDb(const std::vector<float>& x, size_t from, size_t to);
