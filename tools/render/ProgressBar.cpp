#include "tools/render/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

bool ProgressBar::stderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

ProgressBar::ProgressBar(std::string what, double sampleRate, int64_t inputFrames)
    : label(std::move(what)), rate(sampleRate), total(inputFrames), enabled(stderrIsTerminal()), shown(false)
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

void ProgressBar::update(int64_t done)
{
    if (!enabled)
        return;
    auto now = std::chrono::steady_clock::now();
    if (shown && now - lastDrawn < std::chrono::milliseconds(100))
        return;
    lastDrawn = now;
    constexpr int width = 30;
    double fraction = total > 0 ? (double)std::min(done, total) / (double)total : 1.0;
    int filled = (int)(fraction * width + 0.5);
    std::string bar(filled, '#');
    bar += std::string(width - filled, '.');
    char tail[64] = "";
    if (done > total)
        std::snprintf(tail, sizeof tail, "  + tail %.1f s", (double)(done - total) / rate);
    std::fprintf(stderr, "\r\033[K%s [%s] %3d%%  %.1f / %.1f s%s", label.c_str(), bar.c_str(),
                 (int)(fraction * 100.0), (double)std::min(done, total) / rate, (double)total / rate, tail);
    std::fflush(stderr);
    shown = true;
}

void ProgressBar::clear()
{
    if (shown) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown = false;
    }
}
