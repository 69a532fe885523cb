// A progress bar on stderr for renders that take a while; silent when stderr is no terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class ProgressBar {
public:
    // `inputFrames` is the length of the input; the tail is shown as it grows.
    ProgressBar(std::string label, double sampleRate, int64_t inputFrames);
    ~ProgressBar();  // clears the bar
    void update(int64_t framesDone);
    void clear();

    static bool stderrIsTerminal();

private:
    std::string label;                                  // what is being rendered
    double rate;                                        // frames per second of audio
    int64_t total;                                      // input frames
    bool enabled;                                       // stderr is a terminal
    bool shown;                                         // a bar is on the screen
    std::chrono::steady_clock::time_point lastDrawn;    // throttles redraws
};
