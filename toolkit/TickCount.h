// Milliseconds of a monotonic clock as an unsigned 32-bit count that wraps (the editor's
// meter timing). Tests may install their own clock.
#pragma once

#include <cstdint>

uint32_t getTickCount();

// Replaces the clock; nullptr restores the monotonic one. [UI thread, tests only]
void setTickCountSource(uint32_t (*source)());
