// An audio file read through libsndfile as a stereo source: mono files feed both channels.
#pragma once

#include "tools/render/StereoStream.h"

#include <sndfile.h>

#include <string>
#include <vector>

class AudioReader final : public StereoSource {
public:
    // Opens the file; throws std::runtime_error naming the problem (missing, unreadable,
    // not audio, more than two channels, a rate outside 22.05 … 192 kHz, no frames).
    explicit AudioReader(const std::string& path);
    ~AudioReader() override;
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int64_t frames() const override { return (int64_t)info.frames; }
    int read(float* left, float* right, int count) override;

    int channels() const { return info.channels; }
    double sampleRate() const { return info.samplerate; }
    int format() const { return info.format; }  // libsndfile format code

private:
    SF_INFO info;                    // the file's format, rate, channels, length
    SNDFILE* file;                   // open handle
    std::vector<float> interleaved;  // one block as libsndfile delivers it
    std::string path;                // for messages
};
