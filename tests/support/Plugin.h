// Shared helpers for tests that load the built plug-in through its entry, as a host does.
#pragma once

#include "tools/VstHost.h"

#include <memory>
#include <vector>

// The plug-in library, loaded once per test program.
VstLibrary& pluginLibrary();

// A fresh instance of the plug-in; never null (the test fails otherwise).
std::unique_ptr<VstInstance> newInstance();

// Planar stereo buffers with a processing helper that runs in host-sized blocks.
struct StereoBuffer {
    explicit StereoBuffer(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t size() const { return left.size(); }
    std::vector<float> left, right;
};

// Processes `in` out of place in blocks of `block` samples; returns the output.
StereoBuffer processBlocks(VstInstance& instance, const StereoBuffer& in, int block = 512);
