#include "bench/common/LspReverb.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace bench {

namespace {

const char* const kPath = "/usr/lib/vst/lsp-plugins/impulse-reverb-stereo.so";

uint32_t readBig(const unsigned char* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

void writeBig(std::vector<unsigned char>& v, size_t at, uint32_t x)
{
    for (int k = 0; k < 4; k++)
        v[at + k] = (unsigned char)(x >> (24 - 8 * k));
}

// A 32-bit float stereo WAV file of decaying noise (-60 dB over its length).
bool writeImpulse(const std::string& path, int length)
{
    std::vector<float> data(2 * (size_t)length);
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int i = 0; i < length; i++) {
        const float envelope = std::exp(-6.9f * (float)i / (float)length);
        data[2 * i] = d(gen) * envelope;
        data[2 * i + 1] = d(gen) * envelope;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const uint32_t bytes = (uint32_t)(data.size() * sizeof(float));
    auto u32 = [f](uint32_t x) { std::fwrite(&x, 4, 1, f); };
    auto u16 = [f](uint16_t x) { std::fwrite(&x, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(3);   // IEEE float
    u16(2);
    u32(44100);
    u32(44100 * 8);
    u16(8);
    u16(32);
    std::fwrite("data", 1, 4, f);
    u32(bytes);
    const bool ok = std::fwrite(data.data(), sizeof(float), data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

// The plug-in's state is a VST bank chunk holding an "LSPU" block of port entries (big-endian
// size, then the port name and its value: a float, or a string for file ports). Sets the
// first impulse file, feeds left and right from its two tracks and mutes the dry signal.
bool withImpulse(const std::vector<unsigned char>& in, const std::string& file, std::vector<unsigned char>& out)
{
    size_t lspu = 0;
    while (lspu + 16 <= in.size() && std::memcmp(&in[lspu], "LSPU", 4) != 0)
        lspu++;
    if (lspu < 8 || lspu + 16 > in.size())
        return false;
    out.assign(in.begin(), in.begin() + lspu + 16);
    for (size_t p = lspu + 16; p + 4 <= in.size();) {
        const uint32_t size = readBig(&in[p]);
        if (size == 0 || p + 4 + size > in.size())
            return false;
        const std::string name(reinterpret_cast<const char*>(&in[p + 4]), strnlen(reinterpret_cast<const char*>(&in[p + 4]), size));
        std::vector<unsigned char> entry(in.begin() + p + 4, in.begin() + p + 4 + size);
        auto setValue = [&](float v) {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            entry.assign(name.begin(), name.end());
            entry.push_back(0);
            for (int k = 0; k < 4; k++)
                entry.push_back((unsigned char)(bits >> (24 - 8 * k)));
        };
        if (name == "ifn0") {
            entry.assign(name.begin(), name.end());
            entry.push_back(0);
            entry.insert(entry.end(), file.begin(), file.end());
            entry.push_back(0);
        } else if (name == "csf0" || name == "csf1") {
            setValue(1.0f);   // source: file 1
        } else if (name == "cst0" || name == "cst1") {
            setValue(name == "cst0" ? 0.0f : 1.0f);   // its track 1 and track 2
        } else if (name == "dry") {
            setValue(0.0f);
        }
        const size_t at = out.size();
        out.resize(at + 4);
        writeBig(out, at, (uint32_t)entry.size());
        out.insert(out.end(), entry.begin(), entry.end());
        p += 4 + size;
    }
    writeBig(out, lspu + 4, (uint32_t)(out.size() - (lspu + 16)));
    writeBig(out, lspu - 4, (uint32_t)(out.size() - lspu));
    writeBig(out, 4, (uint32_t)(out.size() - 8));
    return true;
}

} // namespace

std::unique_ptr<Stream> lspImpulseReverbStream(int block, int impulseLength, std::string& note)
{
    if (access(kPath, R_OK) != 0) {
        note = "not installed, quoted figure";
        return nullptr;
    }
    static std::unique_ptr<VstLibrary> lib = std::make_unique<VstLibrary>(kPath);
    char file[] = "/tmp/lustrana-bench-ir-XXXXXX.wav";
    const int fd = mkstemps(file, 4);
    if (fd < 0 || close(fd) != 0 || !writeImpulse(file, impulseLength)) {
        note = "could not write the impulse file, quoted figure";
        return nullptr;
    }
    auto s = std::make_unique<Stream>(openInstance(*lib, block), block);
    void* chunk = nullptr;
    const VstIntPtr size = s->fx->dispatch(effGetChunk, 0, 0, &chunk);
    std::vector<unsigned char> state;
    if (size <= 0 || !chunk ||
        !withImpulse(std::vector<unsigned char>(static_cast<unsigned char*>(chunk), static_cast<unsigned char*>(chunk) + size),
                     file, state) ||
        s->fx->dispatch(effSetChunk, 0, (VstIntPtr)state.size(), state.data()) == 0) {
        unlink(file);
        note = "its state would not take the impulse file, quoted figure";
        return nullptr;
    }
    // It loads the file in the background: wait until the wet signal answers.
    bool answered = false;
    for (int i = 0; i < 400 && !answered; i++) {
        s->run(block);
        for (float v : s->outL)
            answered = answered || v != 0.0f;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    unlink(file);
    if (!answered) {
        note = "the impulse file did not load, quoted figure";
        return nullptr;
    }
    s->run(44100);
    note = "measured, impulse of " + std::to_string(impulseLength) + " samples from a file";
    return s;
}

} // namespace bench
