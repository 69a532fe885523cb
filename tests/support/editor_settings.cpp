#include "tests/support/editor_settings.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace {

struct Folders {
    ~Folders()
    {
        std::error_code ignored;
        for (const std::string& f : made)
            std::filesystem::remove_all(f, ignored);
    }
    std::vector<std::string> made;  // temporary folders of this program
};

Folders folders;

} // namespace

std::string isolateEditorSettings()
{
    char name[] = "/tmp/lustrana-settings-XXXXXX";
    if (!mkdtemp(name))
        throw std::runtime_error("no temporary folder for the editor's settings");
    folders.made.push_back(name);
    setenv("XDG_CONFIG_HOME", name, 1);
    unsetenv("LUSTRANA_SCALE");
    return name;
}
