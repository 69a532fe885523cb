// LSP Impulse Reverb (Debian lsp-plugins-vst, the convolution reverb Linux users pick) as an
// anchor: loaded as a VST 2 plug-in with a stereo impulse file of the plug-in's own length
// (decaying noise, written to a temporary WAV file), left and right each convolved with one
// track of it, at the plug-in's default transform size.
#pragma once

#include "bench/common/Streams.h"

#include <memory>
#include <string>

namespace bench {

// Streaming noise in blocks of `block` once the impulse is in use; null when the plug-in is
// not installed or would not take the impulse. `note` says which, or what was measured.
std::unique_ptr<Stream> lspImpulseReverbStream(int block, int impulseLength, std::string& note);

} // namespace bench
