// BundleWriter: writes the Turtle files of Lustrana.lv2 (manifest.ttl, Lustrana.ttl,
// presets.ttl) from the tables the VST 2.4 plug-in is made of: the parameter defaults and
// selector entries (core/Parameters), the port table (lv2/Lv2Ports) and the program bank of
// a live effect, so the bundle cannot drift from the plug-in. Run at build time.
#pragma once

#include <cstdint>
#include <string>

class Controlsgui;

class BundleWriter {
public:
    // effect: a fresh instance, whose programs become the presets.
    BundleWriter(Controlsgui& effect, std::string dspBinary, std::string uiBinary);

    std::string manifest() const;  // the plugin, its UI and the presets, with their files
    std::string plugin() const;    // ports, groups, features, the UI
    std::string presets();         // the 50 programs' port values (selects each program)

    // Writes the three files into the directory; false with a message on stderr.
    bool writeTo(const std::string& directory);

    // The shortest decimal text that reads back as the same single-precision value.
    static std::string number(float value);
    static std::string presetUri(int program);
    static std::string presetLabel(int program, const char* name);

private:
    static std::string quoted(const char* text);
    // The opening of a port's description: "[", its classes, index, symbol, name and, if
    // given, comment, each line ending in " ;".
    static std::string portHead(const char* classes, uint32_t index, const char* symbol, const char* name,
                                const char* comment = nullptr);
    std::string parameterPort(int index) const;

    Controlsgui& effect;       // source of the programs
    std::string dspBinary;     // file name of the DSP library inside the bundle
    std::string uiBinary;      // file name of the user-interface library
};
