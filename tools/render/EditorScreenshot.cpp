#include "tools/render/EditorScreenshot.h"

#include "tools/render/PendingFile.h"

#include <sys/stat.h>

#include <stdexcept>

std::string EditorScreenshot::take(VstInstance& plugin, const std::string& path, double scale)
{
    if (!(plugin.effect()->flags & effFlagsHasEditor))
        return "the plug-in has no editor";
    try {
        PendingFile file(path);
        VstIntPtr answer = plugin.dispatch(effVendorSpecific, vstFourCC('L', 'u', 'S', 't'),
                                           vstFourCC('S', 'h', 'o', 't'), const_cast<char*>(file.path().c_str()),
                                           (float)scale);
        struct stat info{};
        if (answer != 1)
            return "the plug-in did not draw its editor (it does not answer the screenshot request)";
        if (stat(file.path().c_str(), &info) != 0 || info.st_size == 0)
            return "the plug-in answered the screenshot request but wrote no picture";
        file.commit();
        return "";
    } catch (const std::exception& error) {
        return error.what();
    }
}
