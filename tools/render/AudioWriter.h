// A stereo audio file written through libsndfile. The file is written under a temporary
// name beside the target and only renamed to the target by commit(), so a failed or
// interrupted render leaves no partial file behind.
#pragma once

#include "tools/render/StereoStream.h"

#include <sndfile.h>

#include <string>
#include <vector>

class AudioWriter final : public StereoSink {
public:
    // The libsndfile format for `path`: --format if given, else from the file name's
    // extension, keeping the sample format of `inputFormat` (0: none) where that fits;
    // throws std::runtime_error when nothing fits.
    static int chooseFormat(const std::string& path, const std::string& formatOption, int inputFormat,
                            double sampleRate);
    // Describes a libsndfile format, e.g. "WAV 24-bit".
    static std::string describe(int format);

    // Creates the temporary file; throws std::runtime_error naming the problem.
    AudioWriter(const std::string& path, int format, double sampleRate);
    ~AudioWriter() override;  // removes the temporary file unless committed
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    void write(const float* left, const float* right, int count) override;
    // Closes the file and renames it to the target.
    void commit();

    int64_t clippedSamples() const { return clipped; }

private:
    std::string target;              // the final name
    std::string temporary;           // the name written to until commit
    SNDFILE* file;                   // open handle, null once closed
    bool integer;                    // an integer sample format: values beyond ±1 are clipped
    int64_t clipped;                 // samples beyond ±1 in an integer format
    std::vector<float> interleaved;  // one block for libsndfile
};
