// lustrana-render: Lustrana outside a DAW. Loads the plug-in file through its VST 2.4 entry,
// as a host does, and renders files, the built-in demo, impulse responses and pictures.
#include "tools/render/AudioReader.h"
#include "tools/render/AudioWriter.h"
#include "tools/render/Benchmark.h"
#include "tools/render/CommandLine.h"
#include "tools/render/DemoRunner.h"
#include "tools/render/EditorScreenshot.h"
#include "tools/render/ImpulseResponse.h"
#include "tools/render/OfflineRenderer.h"
#include "tools/render/ParameterTable.h"
#include "tools/render/PlotPainter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#ifndef LUSTRANA_RENDER_PLUGIN_PATH
#define LUSTRANA_RENDER_PLUGIN_PATH "Lustrana_2_64.so"
#endif
#ifndef LUSTRANA_RENDER_PLUGIN_NAME
#define LUSTRANA_RENDER_PLUGIN_NAME "Lustrana_2_64.so"
#endif

namespace {

bool exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

// The plug-in of this build: beside the executable's folder (build/tools/.. = build/),
// else where the build put it.
std::string defaultPlugin()
{
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string exe(self, (size_t)length);
        std::string folder = exe.substr(0, exe.find_last_of('/'));
        std::string beside = folder.substr(0, folder.find_last_of('/')) + "/" + LUSTRANA_RENDER_PLUGIN_NAME;
        if (exists(beside))
            return beside;
    }
    return LUSTRANA_RENDER_PLUGIN_PATH;
}

void onSignal(int)
{
    renderInterrupted.store(true);
}

// Renders IN to OUT and/or the impulse response, plot and screenshot of one setting.
int runSession(VstLibrary& library, const CommandLine& line)
{
    std::unique_ptr<AudioReader> reader;
    double rate = line.sampleRate;
    if (!line.input.empty()) {
        reader = std::make_unique<AudioReader>(line.input);
        rate = reader->sampleRate();
    }
    // Create the output before the plug-in, so that a bad OUT fails at once.
    std::unique_ptr<AudioWriter> writer;
    if (reader) {
        int format = AudioWriter::chooseFormat(line.output, line.format, reader->format(), rate);
        writer = std::make_unique<AudioWriter>(line.output, format, rate);
    }

    OfflineRenderer renderer(library, rate, line.blockSize);
    ParameterTable table(renderer.plugin());
    table.apply(renderer.plugin(), line.program, line.sets);
    if (line.list)
        std::fputs(table.listing(renderer.plugin()).c_str(), stdout);

    if (!line.screenshotPath.empty()) {
        std::string problem = EditorScreenshot::take(renderer.plugin(), line.screenshotPath, line.screenshotScale);
        if (!problem.empty())
            throw std::runtime_error("cannot draw " + line.screenshotPath + ": " + problem);
        std::fprintf(stderr, "editor picture written to %s\n", line.screenshotPath.c_str());
    }

    bool impulse = !line.irPath.empty() || !line.plotPath.empty();
    if (!reader && !impulse)
        return 0;
    // Switched on with every setting in place: the plate is built now, in step with the audio.
    renderer.start();

    if (impulse) {
        RenderStats stats;
        StereoBuffer response = ImpulseResponse::render(renderer, line.tailSeconds, &stats);
        PlotContent content = ImpulseResponse::describe(response, rate, table.summary(renderer.plugin(), rate));
        if (!line.irPath.empty()) {
            ImpulseResponse::write(response, line.irPath, line.format, rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
            std::fprintf(stderr, "impulse response written to %s: %.2f s\n", line.irPath.c_str(),
                         (double)response.frames() / rate);
        }
        if (!line.plotPath.empty()) {
            PlotPainter::paint(content, line.plotPath);
            std::fprintf(stderr, "picture written to %s\n", line.plotPath.c_str());
        }
        std::printf("%s\n", ImpulseResponse::rt60Line(content.decay).c_str());
    }

    if (reader) {
        RenderStats stats = renderer.render(*reader, *writer, line.tailSeconds, line.input);
        writer->commit();
        std::fprintf(stderr, "%s -> %s: %s\n", line.input.c_str(), line.output.c_str(),
                     describeStats(stats, rate).c_str());
        if (writer->clippedSamples() > 0)
            std::fprintf(stderr, "lustrana-render: warning: %lld samples beyond full scale were clipped in %s\n",
                         (long long)writer->clippedSamples(), line.output.c_str());
    }
    return 0;
}

int run(const CommandLine& line)
{
    std::string pluginPath = line.pluginPath.empty() ? defaultPlugin() : line.pluginPath;
    if (!exists(pluginPath))
        throw std::runtime_error("no plug-in at " + pluginPath + (line.pluginPath.empty() ? " (build it, or give --plugin PATH)" : ""));
    VstLibrary library(pluginPath);
    if (!line.demoDir.empty()) {
        DemoRunner::run(library, line.demoDir, line.blockSize);
        return 0;
    }
    if (line.benchSeconds > 0) {
        Benchmark::run(library, line.benchSeconds);
        if (line.input.empty() && !line.list && line.irPath.empty() && line.plotPath.empty() &&
            line.screenshotPath.empty())
            return 0;
    }
    return runSession(library, line);
}

} // namespace

// fontconfig keeps its caches for the life of the process; under LeakSanitizer (sanitizer
// builds) they would be reported as leaks at exit. Only sanitizer builds call this.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv)
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    CommandLine line;
    try {
        line = CommandLine::parse(argc, argv);
        if (line.help) {
            std::fputs(usageText().c_str(), stdout);
            return 0;
        }
        int status = run(line);
        return renderInterrupted.load() ? 130 : status;
    } catch (const UsageError& error) {
        std::fprintf(stderr, "lustrana-render: %s\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lustrana-render: %s\n", error.what());
        return renderInterrupted.load() ? 130 : 1;
    }
}
