// Memory as a 32-bit host feels it: 20 instances, each with its plate impulse in use, must
// leave a 32-bit process plenty of its address space. The figures are printed for the record.
#include "support/Plugin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

long statusKb(const char* field)
{
    long value = -1;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        size_t n = std::strlen(field);
        while (std::fgets(line, sizeof(line), f))
            if (std::strncmp(line, field, n) == 0 && line[n] == ':')
                value = std::atol(line + n + 1);
        std::fclose(f);
    }
    return value;
}

TEST(Memory, TwentyInstancesFitA32BitHost)
{
    const long baseSize = statusKb("VmSize"), baseRss = statusKb("VmRSS");
    std::vector<std::unique_ptr<VstInstance>> instances;
    for (int i = 0; i < 20; i++) {
        instances.push_back(newInstance());
        StereoBuffer in(512);
        processBlocks(*instances.back(), in);  // every instance asks for its impulse
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));  // the timer serves all 20
    for (auto& fx : instances) {
        StereoBuffer in(8192);
        for (size_t i = 0; i < in.size(); i++)
            in.left[i] = in.right[i] = (i % 100 == 0) ? 0.5f : 0.0f;
        processBlocks(*fx, in);
    }
    const long size = statusKb("VmSize"), peak = statusKb("VmPeak"), rss = statusKb("VmRSS"),
               hwm = statusKb("VmHWM");
    std::printf("20 instances (%d-bit): virtual %.1f MB (peak %.1f MB), resident %.1f MB (peak %.1f MB); "
                "per instance %.1f MB virtual, %.1f MB resident\n",
                (int)(8 * sizeof(void*)), size / 1024.0, peak / 1024.0, rss / 1024.0, hwm / 1024.0,
                (size - baseSize) / 20.0 / 1024.0, (rss - baseRss) / 20.0 / 1024.0);
    // A 32-bit process has 3 to 4 GB of address space; the plug-in may use at most 2 GB of it.
    EXPECT_LT(peak - baseSize, 2L * 1024 * 1024);
    EXPECT_LT((rss - baseRss) / 20, 25L * 1024);  // resident per instance at the default length
}

} // namespace
