// The plug-in's editor drawn headless into a PNG, through the plug-in's private
// vendor-specific request ('LuSt', 'Shot', path).
#pragma once

#include "tools/VstHost.h"

#include <string>

class EditorScreenshot {
public:
    // Returns "" when the picture was written, else why not; no file is left on failure.
    static std::string take(VstInstance& plugin, const std::string& path);
};
