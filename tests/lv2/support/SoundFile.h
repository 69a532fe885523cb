// Stereo 32-bit float WAV files for the tests that hand audio to command-line hosts.
#pragma once

#include "support/Plugin.h"

#include <string>

bool writeFloatWav(const std::string& path, const StereoBuffer& audio, int rate);
// False when the file cannot be read or is not stereo.
bool readWav(const std::string& path, StereoBuffer& audio, int& rate);
