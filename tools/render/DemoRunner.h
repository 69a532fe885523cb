// --demo OUTDIR: the built-in demonstration. Synthesises a dry programme, renders it with
// the default program and two other plate materials, and writes the dry and wet files, the
// impulse responses, their pictures and the editor's picture into OUTDIR.
#pragma once

#include "tools/VstHost.h"

#include <string>

class DemoRunner {
public:
    // Returns after everything is written; throws std::runtime_error on failure.
    static void run(VstLibrary& library, const std::string& folder, int blockSize);
};
