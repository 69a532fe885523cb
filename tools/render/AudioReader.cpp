#include "tools/render/AudioReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

AudioReader::AudioReader(const std::string& name) : info(), file(nullptr), path(name)
{
    std::memset(&info, 0, sizeof info);
    // Opened here first: for a file that is missing or unreadable libsndfile says only
    // "System error"; the system's own reason is the useful one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file)
        throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    std::string problem;
    if (info.channels < 1 || info.channels > 2)
        problem = "it has " + std::to_string(info.channels) + " channels; only mono and stereo are supported";
    else if (info.samplerate < 22050 || info.samplerate > 192000)
        problem = "its sample rate " + std::to_string(info.samplerate) + " Hz is outside 22050 … 192000 Hz";
    else if (info.frames <= 0)
        problem = "it holds no audio";
    if (!problem.empty()) {
        sf_close(file);
        throw std::runtime_error("cannot render " + path + ": " + problem);
    }
}

AudioReader::~AudioReader()
{
    sf_close(file);
}

int AudioReader::read(float* left, float* right, int count)
{
    interleaved.resize((size_t)count * info.channels);
    sf_count_t got = sf_readf_float(file, interleaved.data(), count);
    if (got < 0)
        got = 0;
    for (sf_count_t i = 0; i < got; i++) {
        left[i] = interleaved[i * info.channels];
        right[i] = interleaved[i * info.channels + info.channels - 1];
    }
    if (got == 0 && sf_error(file) != SF_ERR_NO_ERROR)
        throw std::runtime_error("cannot read " + path + ": " + sf_strerror(file));
    return (int)got;
}
