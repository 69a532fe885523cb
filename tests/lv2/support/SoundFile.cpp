#include "lv2/support/SoundFile.h"

#include <sndfile.h>

#include <vector>

bool writeFloatWav(const std::string& path, const StereoBuffer& audio, int rate)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    std::vector<float> frames(audio.size() * 2);
    for (size_t i = 0; i < audio.size(); i++) {
        frames[2 * i] = audio.left[i];
        frames[2 * i + 1] = audio.right[i];
    }
    const bool ok = sf_writef_float(f, frames.data(), (sf_count_t)audio.size()) == (sf_count_t)audio.size();
    return sf_close(f) == 0 && ok;
}

bool readWav(const std::string& path, StereoBuffer& audio, int& rate)
{
    SF_INFO info = {};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return false;
    if (info.channels != 2) {
        sf_close(f);
        return false;
    }
    std::vector<float> frames((size_t)info.frames * 2);
    const sf_count_t got = sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    audio = StereoBuffer((size_t)got);
    for (size_t i = 0; i < (size_t)got; i++) {
        audio.left[i] = frames[2 * i];
        audio.right[i] = frames[2 * i + 1];
    }
    rate = info.samplerate;
    return true;
}
