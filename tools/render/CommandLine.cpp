#include "tools/render/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

double parseNumber(const std::string& option, const std::string& text, double low, double high)
{
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || errno == ERANGE || !std::isfinite(value))
        throw UsageError(option + " expects a number, not '" + text + "'");
    if (value < low || value > high)
        throw UsageError(option + " " + text + " is outside " + std::to_string((long long)low) +
                         " … " + std::to_string((long long)high));
    return value;
}

int parseInteger(const std::string& option, const std::string& text, int low, int high)
{
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno == ERANGE)
        throw UsageError(option + " expects a whole number, not '" + text + "'");
    if (value < low || value > high)
        throw UsageError(option + " " + text + " is outside " + std::to_string(low) + " … " +
                         std::to_string(high));
    return (int)value;
}

} // namespace

CommandLine CommandLine::parse(int argc, const char* const* argv)
{
    CommandLine line;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-' || arg == "--") {
            if (arg == "--") {
                for (i++; i < argc; i++)
                    positional.push_back(argv[i]);
                break;
            }
            positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        auto takeValue = [&]() -> std::string {
            if (inlineValue)
                return value;
            if (i + 1 >= argc)
                throw UsageError(name + " needs a value");
            return argv[++i];
        };
        auto takePath = [&]() -> std::string {
            std::string path = takeValue();
            if (path.empty())
                throw UsageError(name + " needs a file or folder name");
            return path;
        };
        auto noValue = [&]() {
            if (inlineValue)
                throw UsageError(name + " takes no value");
        };
        if (name == "-h" || name == "--help") {
            noValue();
            line.help = true;
        } else if (name == "--list") {
            noValue();
            line.list = true;
        } else if (name == "--plugin") {
            line.pluginPath = takePath();
        } else if (name == "--block") {
            line.blockSize = parseInteger(name, takeValue(), 1, 65536);
        } else if (name == "--format") {
            line.format = takeValue();
            if (line.format != "wav16" && line.format != "wav24" && line.format != "float" &&
                line.format != "flac")
                throw UsageError("--format must be wav16, wav24, float or flac, not '" + line.format + "'");
        } else if (name == "--tail") {
            line.tailSeconds = parseNumber(name, takeValue(), 0, 3600);
        } else if (name == "--rate") {
            line.sampleRate = parseNumber(name, takeValue(), 22050, 192000);
            line.rateGiven = true;
        } else if (name == "--program") {
            line.program = parseInteger(name, takeValue(), 0, 49);
        } else if (name == "--set") {
            std::string assignment = takeValue();
            size_t at = assignment.find('=');
            if (at == std::string::npos || at == 0)
                throw UsageError("--set expects NAME=VALUE, not '" + assignment + "'");
            line.sets.emplace_back(assignment.substr(0, at), assignment.substr(at + 1));
        } else if (name == "--demo") {
            line.demoDir = takePath();
        } else if (name == "--ir") {
            line.irPath = takePath();
        } else if (name == "--plot") {
            line.plotPath = takePath();
        } else if (name == "--screenshot") {
            line.screenshotPath = takePath();
        } else if (name == "--scale") {
            line.screenshotScale = parseNumber(name, takeValue(), 0.75, 2);
            line.scaleGiven = true;
        } else if (name == "--bench") {
            line.benchSeconds = parseNumber(name, takeValue(), 0.1, 3600);
        } else {
            throw UsageError("unknown option " + name + " (see --help)");
        }
    }
    if (line.help)
        return line;
    if (positional.size() == 1)
        throw UsageError("give both IN and OUT (only '" + positional[0] + "' was given)");
    if (positional.size() > 2)
        throw UsageError("unexpected argument '" + positional[2] + "': give one IN and one OUT");
    if (positional.size() == 2) {
        line.input = positional[0];
        line.output = positional[1];
        if (line.input.empty() || line.output.empty())
            throw UsageError("IN and OUT must not be empty");
    }
    bool action = !line.input.empty() || line.list || !line.demoDir.empty() || !line.irPath.empty() ||
                  !line.plotPath.empty() || !line.screenshotPath.empty() || line.benchSeconds > 0;
    if (!action)
        throw UsageError("nothing to do: give IN OUT, or one of --demo, --ir, --plot, --screenshot, --list, "
                         "--bench (see --help)");
    if (!line.demoDir.empty() &&
        (!line.sets.empty() || line.program >= 0 || !line.input.empty() || line.list || !line.irPath.empty() ||
         !line.plotPath.empty() || !line.screenshotPath.empty() || line.benchSeconds > 0 || !line.format.empty() ||
         line.tailSeconds >= 0 || line.rateGiven))
        throw UsageError("--demo makes its own settings and files; it takes only --plugin and --block");
    if (line.scaleGiven && line.screenshotPath.empty())
        throw UsageError("--scale is the zoom of --screenshot; give --screenshot too");
    if (line.rateGiven && !line.input.empty())
        throw UsageError("--rate is for runs without an input file; the input's own rate is used");
    return line;
}

std::string usageText()
{
    return R"(usage: lustrana-render IN OUT [options]      render a file through the plate
       lustrana-render --demo OUTDIR               render the built-in demo
       lustrana-render [--ir IR.wav] [--plot PLOT.png] [--screenshot EDITOR.png [--scale Z]] [--list] [options]
       lustrana-render --bench SECONDS

Loads the Lustrana plug-in file through its VST 2.4 entry, exactly as a host does, and runs
audio through it offline.

Rendering: IN is any file libsndfile reads (WAV, FLAC, AIFF, OGG, ...), mono or stereo;
a mono input feeds both plug-in inputs. OUT is always stereo, at the input's rate.
  The renderer tells the plug-in that it renders offline. The plug-in then builds its plate
  impulse when it is switched on, with every setting in place, warms its tube stage up at
  the same time, and builds any later impulse before the next sample instead of on its
  500 ms timer. So a click at the very first sample of IN already reverberates, and the
  output depends on IN and the settings alone: the same command gives the same file, bit
  for bit, however fast or busy the machine is.
  The plug-in's 2048 samples of latency are removed: OUT lines up with IN, and OUT is as
  long as IN plus the reverb tail, rendered until it falls below -90 dBFS or the plate
  has died away into the plug-in's own noise floor (or exactly --tail seconds).

Options:
  --set NAME=VALUE   set a parameter by the name the host sees (Gain, Volume, Width, Hipass,
                     Lowpass, PreDel, Length, Sound, Tune, ModVel, ModAmp, Mix, Mode, ModMode)
                     or PlateType, InputStage, Power; VALUE is 0 … 1, or for the selectors a
                     menu entry: --set Mode="True Stereo" --set PlateType="Thin Brass"
                     --set Power=off. Repeatable; applied in order after --program.
  --program N        select program N (0 … 49) first
  --list             print the parameters, their displays and the menu entries, then exit
  --block N          host block size (default 512)
  --format F         OUT format: wav16, wav24, float (32-bit WAV) or flac
                     (default: from OUT's extension, keeping the input's sample format)
  --tail SECONDS     render exactly this long after the input ends (default: until < -90 dBFS)
  --ir IR.wav        write the plate's stereo impulse response as a host hears it: a unit
                     impulse (on both inputs) through the whole chain with Mix 1, Solid State,
                     filters open, latency removed, as long as the plate rings (32-bit float
                     WAV unless --format). The impulse is sent louder and the response scaled
                     back, which keeps it clear of the plug-in's own dither noise.
  --plot PLOT.png    draw that impulse response: level envelope, energy decay with the
                     measured RT60 per channel, spectrogram
  --screenshot PNG   the editor drawn headless with the current parameters (900 x 851)
  --scale Z          the screenshot's zoom, 0.75 … 2 (default 1; 2 gives 1800 x 1702)
  --rate HZ          sample rate when there is no IN (--ir, --plot, --list; default 44100)
  --demo OUTDIR      synthesise a short dry programme, render it with the default program and
                     two other plate materials, write dry and wet WAVs, impulse responses and
                     pictures into OUTDIR
  --bench SECONDS    process that much noise at 44.1 kHz without writing, for block sizes 64,
                     512 and 4096, and print the CPU time per second of audio
  --plugin PATH      the plug-in file (default: Lustrana_2_64.so of this build)
  -h, --help         this text

Exit status: 0 done, 1 failed (file, plug-in or audio problem), 2 bad command line,
130 interrupted. On failure no output file is left behind.
)";
}
