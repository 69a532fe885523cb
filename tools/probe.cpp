// lustrana-probe PLUGIN.so: prints what a host sees when it scans a VST 2.4 plug-in.
#include "tools/VstHost.h"

#include <cctype>
#include <cstdio>
#include <exception>

namespace {

std::string fourCC(VstInt32 id)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        int c = (id >> shift) & 0xFF;
        text += std::isprint(c) ? (char)c : '.';
    }
    return text;
}

int probe(const char* path)
{
    VstLibrary library(path);
    std::unique_ptr<VstInstance> instance = library.instantiate();
    if (!instance) {
        std::fprintf(stderr, "lustrana-probe: %s returned no effect\n", path);
        return 1;
    }
    AEffect* e = instance->effect();
    // what hosts do right after creating an instance when they scan it
    instance->dispatch(effOpen);
    instance->setSampleRate(44100.0f);
    instance->dispatch(effSetBlockSize, 0, 512);
    std::printf("file:          %s\n", path);
    std::printf("name:          %s\n", instance->effectName().c_str());
    std::printf("vendor:        %s\n", instance->vendorString().c_str());
    std::printf("product:       %s\n", instance->productString().c_str());
    std::printf("unique id:     '%s' 0x%08X\n", fourCC(e->uniqueID).c_str(), (unsigned)e->uniqueID);
    std::printf("version:       %d\n", e->version);
    std::printf("flags:         0x%X%s%s%s%s\n", (unsigned)e->flags,
                e->flags & effFlagsHasEditor ? " editor" : "",
                e->flags & effFlagsCanReplacing ? " replacing" : "",
                e->flags & effFlagsCanDoubleReplacing ? " double" : "",
                e->flags & effFlagsProgramChunks ? " chunks" : "");
    std::printf("inputs:        %d\n", e->numInputs);
    std::printf("outputs:       %d\n", e->numOutputs);
    std::printf("initial delay: %d\n", e->initialDelay);
    std::printf("parameters:    %d\n", e->numParams);
    for (VstInt32 i = 0; i < e->numParams; i++)
        std::printf("  %3d  %-12s %-12s %s\n", i, instance->parameterName(i).c_str(),
                    instance->parameterDisplay(i).c_str(), instance->parameterLabel(i).c_str());
    std::printf("programs:      %d\n", e->numPrograms);
    for (VstInt32 i = 0; i < e->numPrograms; i++) {
        bool ok = false;
        std::string name = instance->programNameIndexed(i, &ok);
        std::printf("  %3d  %s\n", i, ok ? name.c_str() : "(no name given)");
    }
    instance->close();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lustrana-probe PLUGIN.so\n");
        return 2;
    }
    try {
        return probe(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lustrana-probe: %s\n", error.what());
        return 1;
    }
}
