// lustrana-fingerprint PLUGIN.so OUT.raw [stage] [options]: renders a fixed test programme
// through a plug-in in a fresh process (so the first plate impulse is the reproducible one) and
// writes the stereo output as raw interleaved 32-bit floats. Two builds of the plug-in can then
// be compared sample by sample. stage: "tube" (default) or "solid". Options:
// --rate: the host's sample rate (sent before anything else; without it the plug-in runs at
// its own 44.1 kHz and no rate is sent). The programme is one second of silence per second of
// rate (the tube stage's warm-up) plus 4096 samples, a click and a decaying tone.
// --set: parameter values set after the input stage and "Length", in the order given.
// --level FACTOR: the programme's amplitude, 1 by default (0.9 for the click).
// --wait MS: how long the first plate impulse is given to be built (default 1500 ms) after
// the first block raised its request; the output does not depend on it as long as the
// impulse is in place by the second block.
// The effect is never resumed (no effMainsChanged): the protocol stays what it was when the
// stored fingerprints were made.
// lustrana-fingerprint --compare A.raw B.raw TOLERANCE: exits 0 when both files have the same
// length and every sample differs by at most TOLERANCE × the peak of A; prints the figures.
#include "tools/VstHost.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::vector<float> readRaw(const char* path)
{
    std::vector<float> data;
    if (FILE* f = std::fopen(path, "rb")) {
        float buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, sizeof(float), 4096, f)) > 0)
            data.insert(data.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return data;
}

int compare(const char* a, const char* b, double tolerance)
{
    std::vector<float> x = readRaw(a), y = readRaw(b);
    if (x.empty() || x.size() != y.size()) {
        std::fprintf(stderr, "lustrana-fingerprint: %s and %s differ in length (%zu, %zu)\n", a, b, x.size(),
                     y.size());
        return 1;
    }
    double peak = 0.0, worst = 0.0;
    for (size_t i = 0; i < x.size(); i++) {
        peak = std::fmax(peak, std::fabs(x[i]));
        worst = std::fmax(worst, std::fabs((double)x[i] - y[i]));
    }
    std::printf("samples %zu, peak %.6g, largest difference %.3g (%.3g of the peak)\n", x.size(), peak, worst,
                peak > 0 ? worst / peak : 0.0);
    return peak > 0.0 && worst <= tolerance * peak ? 0 : 1;
}

int usage()
{
    std::fprintf(stderr, "usage: lustrana-fingerprint PLUGIN.so OUT.raw [tube|solid] [--rate HZ] "
                         "[--level FACTOR] [--wait MS] [--set INDEX=VALUE ...]\n"
                         "       lustrana-fingerprint --compare A.raw B.raw TOLERANCE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--compare") == 0)
        return compare(argv[2], argv[3], std::atof(argv[4]));
    if (argc < 3)
        return usage();
    bool solid = false;
    float rate = 0.0f;   // 0: none sent
    int waitMs = 1500;
    float level = 1.0f;
    std::vector<std::pair<int, float>> settings;
    for (int i = 3; i < argc; i++) {
        int index;
        float value;
        char end;
        if (std::strcmp(argv[i], "tube") == 0 || std::strcmp(argv[i], "solid") == 0) {
            solid = std::strcmp(argv[i], "solid") == 0;
        } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            rate = std::strtof(argv[++i], nullptr);
            if (!(rate >= 22050.0f && rate <= 192000.0f))
                return usage();
        } else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
            level = std::strtof(argv[++i], nullptr);
            if (!(level > 0.0f && level <= 1000.0f))
                return usage();
        } else if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
            waitMs = std::atoi(argv[++i]);
            if (waitMs < 0 || waitMs > 60000)
                return usage();
        } else if (std::strcmp(argv[i], "--set") == 0 && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%d=%f%c", &index, &value, &end) == 2 && index >= 0 &&
                   index < 17) {
            settings.emplace_back(index, value);
            ++i;
        } else {
            return usage();
        }
    }
    try {
        VstLibrary library(argv[1]);
        auto fx = library.instantiate();
        if (!fx) {
            std::fprintf(stderr, "lustrana-fingerprint: the plug-in returned no effect\n");
            return 1;
        }
        if (rate > 0.0f)
            fx->setSampleRate(rate);
        fx->setParameter(15, solid ? 0.1f : 0.0f);  // input stage
        fx->setParameter(6, 0.0f);                   // "Length": the shortest plate
        for (const auto& [index, value] : settings)
            fx->setParameter(index, value);
        const int samplesPerSecond = rate > 0.0f ? (int)rate : 44100;
        const int block = 512;
        std::vector<float> l(block), r(block);
        fx->processStereo(l.data(), r.data(), block);  // raises the impulse request
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));

        // Warm-up second of silence (the tube stage is silent for its first second), then a
        // click and a decaying tone.
        const int total = samplesPerSecond * 2 + 20000;
        std::vector<float> out;
        out.reserve(2 * total);
        for (int start = 0; start < total; start += block) {
            for (int i = 0; i < block; i++) {
                int n = start + i - samplesPerSecond - 4096;
                float v = 0.0f;
                if (n == 0)
                    v = 0.9f;
                else if (n > 100 && n < 20000)
                    v = 0.4f * std::sin(0.05f * (float)n) * std::exp(-(float)n / 5000.0f);
                l[i] = v * level;
                r[i] = -0.5f * v * level;
            }
            fx->processStereo(l.data(), r.data(), block);
            for (int i = 0; i < block; i++) {
                out.push_back(l[i]);
                out.push_back(r[i]);
            }
        }
        FILE* f = std::fopen(argv[2], "wb");
        if (!f || std::fwrite(out.data(), sizeof(float), out.size(), f) != out.size()) {
            std::fprintf(stderr, "lustrana-fingerprint: cannot write %s\n", argv[2]);
            return 1;
        }
        std::fclose(f);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lustrana-fingerprint: %s\n", error.what());
        return 1;
    }
}
