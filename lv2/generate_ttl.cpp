// lustrana-lv2-ttl DIRECTORY DSP_BINARY UI_BINARY: writes the bundle's Turtle files into
// DIRECTORY, naming the two libraries by their file names inside the bundle.
#include "core/Controlsgui.h"
#include "lv2/BundleWriter.h"

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIRECTORY DSP_BINARY UI_BINARY\n", argv[0]);
        return 2;
    }
    auto effect = std::make_unique<Controlsgui>(nullptr, SynthesisDriver::External);
    BundleWriter writer(*effect, argv[2], argv[3]);
    return writer.writeTo(argv[1]) ? 0 : 1;
}
