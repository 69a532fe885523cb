// The plug-in's editor drawn headless into a PNG, through the plug-in's private
// vendor-specific request ('LuSt', 'Shot', path, zoom).
#pragma once

#include "tools/VstHost.h"

#include <string>

class EditorScreenshot {
public:
    // Returns "" when the picture was written, else why not; no file is left on failure.
    // scale: the editor's zoom (1: 900 x 851 pixels).
    static std::string take(VstInstance& plugin, const std::string& path, double scale = 1.0);
};
