// Planar stereo audio flowing into and out of the offline renderer: a source hands out the
// input block by block, a sink takes the output. Files and memory both play either role.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class StereoSource {
public:
    virtual ~StereoSource() = default;
    virtual int64_t frames() const = 0;  // total length
    // Fills up to `count` frames; returns how many, 0 at the end.
    virtual int read(float* left, float* right, int count) = 0;
};

class StereoSink {
public:
    virtual ~StereoSink() = default;
    virtual void write(const float* left, const float* right, int count) = 0;
};

// Audio held in memory, usable as source (read from the start) and as sink (appended).
class StereoBuffer final : public StereoSource, public StereoSink {
public:
    std::vector<float> left;   // left channel
    std::vector<float> right;  // right channel, as long as left

    int64_t frames() const override { return (int64_t)left.size(); }
    int read(float* l, float* r, int count) override
    {
        int n = (int)std::min<int64_t>(count, frames() - readPosition);
        std::copy_n(left.begin() + readPosition, n, l);
        std::copy_n(right.begin() + readPosition, n, r);
        readPosition += n;
        return n;
    }
    void write(const float* l, const float* r, int count) override
    {
        left.insert(left.end(), l, l + count);
        right.insert(right.end(), r, r + count);
    }
    void rewind() { readPosition = 0; }

private:
    int64_t readPosition = 0;  // next frame that read() hands out
};
