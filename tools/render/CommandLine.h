// The renderer's command line: what to do and with which settings. Parsing checks the
// syntax and the ranges; names of parameters are checked later against the plug-in.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A mistake on the command line; the renderer prints it and exits with status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct CommandLine {
    std::string input;                                   // IN, empty when not rendering a file
    std::string output;                                  // OUT
    std::string pluginPath;                              // --plugin, empty: the default
    int blockSize = 512;                                 // --block: host block size
    std::string format;                                  // --format: "", wav16, wav24, float, flac
    double tailSeconds = -1.0;                           // --tail: fixed tail, negative: automatic
    double sampleRate = 44100.0;                         // --rate: rate when there is no input file
    bool rateGiven = false;                              // --rate appeared
    int program = -1;                                    // --program, -1: leave program 0
    std::vector<std::pair<std::string, std::string>> sets;  // --set NAME=VALUE, in order
    bool list = false;                                   // --list
    bool help = false;                                   // --help
    std::string demoDir;                                 // --demo OUTDIR
    std::string irPath;                                  // --ir OUT.wav
    std::string plotPath;                                // --plot OUT.png
    std::string screenshotPath;                          // --screenshot OUT.png
    double screenshotScale = 1.0;                        // --scale: the screenshot's zoom
    bool scaleGiven = false;                             // --scale appeared
    double benchSeconds = 0.0;                           // --bench SECONDS, 0: no benchmark

    // Throws UsageError naming the offending argument.
    static CommandLine parse(int argc, const char* const* argv);
};

// The --help text.
std::string usageText();
