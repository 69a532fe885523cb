#include "tools/render/AudioWriter.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

std::string extensionOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = (char)std::tolower((unsigned char)c);
    return ext;
}

bool fits(int format, double rate)
{
    SF_INFO info{};
    info.format = format;
    info.channels = 2;
    info.samplerate = (int)rate;
    return sf_format_check(&info) != 0;
}

} // namespace

int AudioWriter::chooseFormat(const std::string& path, const std::string& option, int inputFormat,
                              double rate)
{
    int chosen = 0;
    if (option == "wav16")
        chosen = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    else if (option == "wav24")
        chosen = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    else if (option == "float")
        chosen = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    else if (option == "flac")
        chosen = SF_FORMAT_FLAC |
                 ((inputFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
    if (chosen) {
        if (!fits(chosen, rate))
            throw std::runtime_error("cannot write " + describe(chosen) + " at " + std::to_string((int)rate) +
                                     " Hz");
        return chosen;
    }
    std::string ext = extensionOf(path);
    int major = 0;
    if (ext == "wav" || ext == "wave")
        major = SF_FORMAT_WAV;
    else if (ext == "flac")
        major = SF_FORMAT_FLAC;
    else if (ext == "aif" || ext == "aiff" || ext == "aifc")
        major = SF_FORMAT_AIFF;
    else if (ext == "ogg" || ext == "oga")
        major = SF_FORMAT_OGG;
    else if (ext == "caf")
        major = SF_FORMAT_CAF;
    else if (ext == "w64")
        major = SF_FORMAT_W64;
    else if (inputFormat)
        major = inputFormat & SF_FORMAT_TYPEMASK;
    else
        major = SF_FORMAT_WAV;
    int candidates[] = {inputFormat & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24, SF_FORMAT_FLOAT, SF_FORMAT_PCM_16,
                        SF_FORMAT_VORBIS};
    for (int sub : candidates)
        if (sub && fits(major | sub, rate))
            return major | sub;
    throw std::runtime_error("cannot tell which audio format to write for " + path +
                             " (use a .wav, .flac, .aiff or .ogg name, or --format)");
}

std::string AudioWriter::describe(int format)
{
    SF_FORMAT_INFO major{}, sub{};
    major.format = format & SF_FORMAT_TYPEMASK;
    sub.format = format & SF_FORMAT_SUBMASK;
    std::string text = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0 && major.extension
                           ? major.extension
                           : "audio";
    for (char& c : text)
        c = (char)std::toupper((unsigned char)c);
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0 && sub.name)
        text += std::string(" ") + sub.name;
    return text;
}

AudioWriter::AudioWriter(const std::string& path, int format, double rate)
    : target(path), file(nullptr), integer(false), clipped(0)
{
    int sub = format & SF_FORMAT_SUBMASK;
    integer = sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32 ||
              sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8;
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    temporary = (slash == std::string::npos ? "" : folder) + "." + base + ".partial-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw std::runtime_error("cannot write " + target + ": " + std::strerror(errno));
    // mkstemp makes the file private; give it the permissions of any new file.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    SF_INFO info{};
    info.format = format;
    info.channels = 2;
    info.samplerate = (int)rate;
    file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        std::string why = sf_strerror(nullptr);
        unlink(temporary.c_str());
        throw std::runtime_error("cannot write " + target + ": " + why);
    }
    if (integer)
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The PEAK chunk of float files carries the time of writing: without it the same render
    // gives the same file, byte for byte.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG) {
        double quality = 0.6;
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }
}

AudioWriter::~AudioWriter()
{
    if (file) {
        sf_close(file);
        unlink(temporary.c_str());
    }
}

void AudioWriter::write(const float* left, const float* right, int count)
{
    interleaved.resize((size_t)count * 2);
    for (int i = 0; i < count; i++) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
        if (integer)
            clipped += (std::fabs(left[i]) > 1.0f) + (std::fabs(right[i]) > 1.0f);
    }
    sf_count_t written = sf_writef_float(file, interleaved.data(), count);
    if (written != count) {
        std::string why = sf_error(file) != SF_ERR_NO_ERROR ? sf_strerror(file) : "the disk may be full";
        throw std::runtime_error("cannot write " + target + ": " + why + " (" + std::to_string((long long)written) +
                                 " of " + std::to_string(count) + " frames written)");
    }
}

void AudioWriter::commit()
{
    int error = sf_close(file);
    file = nullptr;
    if (error != 0) {
        unlink(temporary.c_str());
        throw std::runtime_error("cannot finish " + target + ": " + sf_error_number(error));
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::string why = std::strerror(errno);
        unlink(temporary.c_str());
        throw std::runtime_error("cannot write " + target + ": " + why);
    }
}
