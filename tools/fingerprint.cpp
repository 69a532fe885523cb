// lustrana-fingerprint PLUGIN.so OUT.raw [stage]: renders a fixed test programme through a
// plug-in in a fresh process (so the first plate impulse is the reproducible one) and writes
// the stereo output as raw interleaved 32-bit floats. Two builds of the plug-in can then be
// compared sample by sample. stage: "tube" (default) or "solid".
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

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--compare") == 0)
        return compare(argv[2], argv[3], std::atof(argv[4]));
    if (argc < 3) {
        std::fprintf(stderr, "usage: lustrana-fingerprint PLUGIN.so OUT.raw [tube|solid]\n");
        return 2;
    }
    try {
        VstLibrary library(argv[1]);
        auto fx = library.instantiate();
        if (!fx) {
            std::fprintf(stderr, "lustrana-fingerprint: the plug-in returned no effect\n");
            return 1;
        }
        const bool solid = argc > 3 && std::strcmp(argv[3], "solid") == 0;
        fx->setParameter(15, solid ? 0.1f : 0.0f);  // input stage
        fx->setParameter(6, 0.0f);                   // "Length": the shortest plate
        const int block = 512;
        std::vector<float> l(block), r(block);
        fx->processStereo(l.data(), r.data(), block);  // raises the impulse request
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));

        // Warm-up second of silence (the tube stage is silent for its first second), then a
        // click and a decaying tone.
        const int total = 44100 * 2 + 20000;
        std::vector<float> out;
        out.reserve(2 * total);
        for (int start = 0; start < total; start += block) {
            for (int i = 0; i < block; i++) {
                int n = start + i - 44100 - 4096;
                float v = 0.0f;
                if (n == 0)
                    v = 0.9f;
                else if (n > 100 && n < 20000)
                    v = 0.4f * std::sin(0.05f * (float)n) * std::exp(-(float)n / 5000.0f);
                l[i] = v;
                r[i] = -0.5f * v;
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
