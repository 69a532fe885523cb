#include "tools/render/DemoRunner.h"

#include "tools/render/AudioWriter.h"
#include "tools/render/DemoProgramme.h"
#include "tools/render/EditorScreenshot.h"
#include "tools/render/ImpulseResponse.h"
#include "tools/render/OfflineRenderer.h"
#include "tools/render/ParameterTable.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

struct Setting {
    const char* file;                                          // base name of its files
    const char* description;                                   // for the listing
    std::vector<std::pair<std::string, std::string>> sets;     // on top of program 0
};

void makeFolder(const std::string& folder)
{
    std::string partial;
    size_t at = 0;
    while (at != std::string::npos) {
        at = folder.find('/', at + 1);
        partial = folder.substr(0, at);
        if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot create " + partial + ": " + std::strerror(errno));
    }
    struct stat info{};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw std::runtime_error("cannot use " + folder + " as the demo folder: not a folder");
}

} // namespace

void DemoRunner::run(VstLibrary& library, const std::string& folderName, int blockSize)
{
    auto started = std::chrono::steady_clock::now();
    std::string folder = folderName;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    makeFolder(folder);
    const double rate = 44100.0;
    const std::vector<Setting> settings = {
        {"standard-steel", "default program: Standard Steel", {}},
        {"thick-steel", "Thick Steel: heavier plate, quicker and darker decay", {{"PlateType", "Thick Steel"}}},
        {"elastic", "Elastic: strongly dispersive, springy plate", {{"PlateType", "Elastic"}}},
    };

    // One instance per setting, switched on with its settings in place.
    std::vector<std::unique_ptr<OfflineRenderer>> renderers;
    for (const Setting& setting : settings) {
        renderers.push_back(std::make_unique<OfflineRenderer>(library, rate, blockSize));
        ParameterTable table(renderers.back()->plugin());
        table.apply(renderers.back()->plugin(), -1, setting.sets);
        renderers.back()->start();
    }

    StereoBuffer dry = DemoProgramme::generate(rate);
    const int wav24 = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    ImpulseResponse::write(dry, folder + "/dry.wav", "", rate, wav24);
    std::vector<std::string> listing = {"dry.wav                 the dry programme: drums, a plucked phrase, a voice"};

    for (size_t i = 0; i < settings.size(); i++) {
        OfflineRenderer& renderer = *renderers[i];
        const Setting& setting = settings[i];
        std::string base = folder + "/" + setting.file;
        ParameterTable table(renderer.plugin());

        StereoBuffer response = ImpulseResponse::render(renderer, -1.0);
        ImpulseResponse::write(response, base + "-ir.wav", "", rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        PlotContent content = ImpulseResponse::describe(response, rate, table.summary(renderer.plugin(), rate));
        PlotPainter::paint(content, base + ".png");

        dry.rewind();
        int format = AudioWriter::chooseFormat(base + ".wav", "", wav24, rate);
        AudioWriter writer(base + ".wav", format, rate);
        RenderStats stats = renderer.render(dry, writer, -1.0, std::string("demo ") + setting.file);
        writer.commit();
        std::fprintf(stderr, "%-15s %s\n", setting.file, describeStats(stats, rate).c_str());

        auto entry = [](const std::string& name, const std::string& what) {
            char line[512];
            std::snprintf(line, sizeof line, "%-23s %s", name.c_str(), what.c_str());
            return std::string(line);
        };
        listing.push_back(entry(std::string(setting.file) + ".wav", std::string(setting.description) + "; " +
                                                                        ImpulseResponse::rt60Line(content.decay)));
        listing.push_back(entry(std::string(setting.file) + "-ir.wav",
                                "its impulse response (32-bit float), for any convolution reverb"));
        listing.push_back(entry(std::string(setting.file) + ".png",
                                "its picture: level, energy decay with RT60, spectrogram"));
    }

    std::string shot = folder + "/editor.png";
    std::string problem = EditorScreenshot::take(renderers[0]->plugin(), shot);
    if (problem.empty())
        listing.push_back("editor.png              the plug-in's editor with the default program");
    else
        std::fprintf(stderr, "lustrana-render: no editor picture: %s\n", problem.c_str());
    renderers.clear();

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("Demo written to %s/ in %.1f s:\n", folder.c_str(), seconds);
    for (const std::string& line : listing)
        std::printf("  %s\n", line.c_str());
}
