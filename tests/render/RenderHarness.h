// Helpers for the tests of lustrana-render: run the built executable with arguments, and
// write and read WAV files with a small RIFF codec of the tests' own (independent of the
// libsndfile code under test).
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace render_test {

inline std::string rendererPath()
{
    return std::string(LUSTRANA_BINARY_DIR) + "/tools/lustrana-render";
}

// A fresh folder for one test, removed with its files at the end.
class TempFolder {
public:
    TempFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/lustrana-render-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back(0);
        if (!mkdtemp(name.data()))
            ADD_FAILURE() << "cannot create a temporary folder";
        path = name.data();
    }
    ~TempFolder() { remove(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // Every entry of the folder (hidden ones included), sorted.
    std::vector<std::string> files() const { return entries(path); }
    static std::vector<std::string> entries(const std::string& folder)
    {
        std::vector<std::string> names;
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    names.push_back(entry->d_name);
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string path;  // the folder

private:
    static void remove(const std::string& folder)
    {
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name == "." || name == "..")
                    continue;
                struct stat info{};
                std::string full = folder + "/" + name;
                if (lstat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                    remove(full);
                else
                    unlink(full.c_str());
            }
            closedir(dir);
        }
        rmdir(folder.c_str());
    }
};

struct RunResult {
    int status = -1;   // exit status, or 128 + signal
    std::string out;   // stdout
    std::string err;   // stderr
};

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the renderer with `args`, its output going to files in `folder`; returns its pid.
inline pid_t startRenderer(const std::vector<std::string>& args, const TempFolder& folder)
{
    std::vector<std::string> all = {rendererPath()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (folder / ".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (folder / ".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0) << "cannot start " << argv[0];
    return pid;
}

inline RunResult finishRenderer(pid_t pid, const TempFolder& folder)
{
    RunResult result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = slurp(folder / ".stdout");
    result.err = slurp(folder / ".stderr");
    unlink((folder / ".stdout").c_str());
    unlink((folder / ".stderr").c_str());
    return result;
}

inline RunResult runRenderer(const std::vector<std::string>& args, const TempFolder& folder)
{
    return finishRenderer(startRenderer(args, folder), folder);
}

inline int lineCount(const std::string& text)
{
    return (int)std::count(text.begin(), text.end(), '\n');
}

// Audio as the tests see it: interleaved floats.
struct Audio {
    int channels = 2;
    int rate = 44100;
    int formatTag = 3;      // 1 integer PCM, 3 IEEE float
    int bits = 32;          // bits per sample
    std::vector<float> samples;  // interleaved
    size_t frames() const { return samples.size() / channels; }
    float at(size_t frame, int channel) const { return samples[frame * channels + channel]; }
    float& at(size_t frame, int channel) { return samples[frame * channels + channel]; }
};

inline Audio silence(int channels, int rate, size_t frames)
{
    Audio audio;
    audio.channels = channels;
    audio.rate = rate;
    audio.samples.assign(frames * channels, 0.0f);
    return audio;
}

// Writes 32-bit float (formatTag 3) or 16-bit PCM (formatTag 1, bits 16) WAV.
inline void writeWav(const std::string& path, const Audio& audio)
{
    bool pcm16 = audio.formatTag == 1;
    int bytes = pcm16 ? 2 : 4;
    uint32_t dataSize = (uint32_t)(audio.samples.size() * bytes);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataSize);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(pcm16 ? 1 : 3);
    u16((uint16_t)audio.channels);
    u32((uint32_t)audio.rate);
    u32((uint32_t)(audio.rate * audio.channels * bytes));
    u16((uint16_t)(audio.channels * bytes));
    u16((uint16_t)(bytes * 8));
    out.write("data", 4);
    u32(dataSize);
    for (float x : audio.samples) {
        if (pcm16) {
            int16_t v = (int16_t)std::lround(std::fmax(-32768.0, std::fmin(32767.0, x * 32768.0)));
            out.write(reinterpret_cast<const char*>(&v), 2);
        } else {
            out.write(reinterpret_cast<const char*>(&x), 4);
        }
    }
}

// Reads float, 16-bit and 24-bit WAV (plain or WAVE_FORMAT_EXTENSIBLE); empty on failure.
inline bool readWav(const std::string& path, Audio& audio)
{
    std::string bytes = slurp(path);
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return false;
    auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, bytes.data() + at, 4); return v; };
    auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, bytes.data() + at, 2); return v; };
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        std::string id = bytes.substr(at, 4);
        uint32_t size = u32(at + 4);
        size_t body = at + 8;
        if (id == "fmt ") {
            audio.formatTag = u16(body);
            audio.channels = u16(body + 2);
            audio.rate = (int)u32(body + 4);
            audio.bits = u16(body + 14);
            if (audio.formatTag == 0xFFFE)
                audio.formatTag = u16(body + 24);  // the sub-format GUID starts with the tag
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            size = std::min<size_t>(size, bytes.size() - body);
            int width = audio.bits / 8;
            audio.samples.clear();
            for (size_t i = 0; i + width <= size; i += width) {
                const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + body + i);
                if (audio.formatTag == 3 && width == 4) {
                    float v;
                    std::memcpy(&v, p, 4);
                    audio.samples.push_back(v);
                } else if (audio.formatTag == 1 && width == 2) {
                    audio.samples.push_back((float)(int16_t)(p[0] | p[1] << 8) / 32768.0f);
                } else if (audio.formatTag == 1 && width == 3) {
                    int32_t v = (int32_t)((uint32_t)p[0] << 8 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 24) >> 8;
                    audio.samples.push_back((float)v / 8388608.0f);
                } else {
                    return false;
                }
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

inline bool fileExists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

// Root mean square of frames [from, to) over both channels.
inline double rms(const Audio& audio, size_t from, size_t to)
{
    double sum = 0.0;
    size_t count = 0;
    for (size_t f = from; f < std::min(to, audio.frames()); f++)
        for (int c = 0; c < audio.channels; c++) {
            sum += (double)audio.at(f, c) * audio.at(f, c);
            count++;
        }
    return count ? std::sqrt(sum / count) : 0.0;
}

inline double dbfs(double level)
{
    return 20.0 * std::log10(std::max(level, 1e-12));
}

} // namespace render_test
