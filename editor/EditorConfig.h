// EditorConfig: the editor's settings file of the user, $XDG_CONFIG_HOME/lustrana/editor.conf
// (~/.config/lustrana/editor.conf when XDG_CONFIG_HOME is unset or not an absolute path):
// lines of key=value, blank lines and # comments. A file that cannot be read, is larger than
// kMaxBytes or has a line of another shape counts as absent. Writing keeps the other keys
// of a sound file and replaces the file as a whole (a temporary file in the same folder,
// renamed over it), so no reader ever sees half a file. [UI thread]
#pragma once

#include <optional>
#include <string>

class EditorConfig {
public:
    // The file's path; empty when neither XDG_CONFIG_HOME nor a home folder is known.
    static std::string path();
    // The value of `key`, if the file is sound and has it.
    static std::optional<std::string> read(const std::string& key);
    // Sets key=value (neither may hold a newline, '=' or a NUL; the key not '#' first);
    // creates the folders it needs. False when nothing could be written.
    static bool write(const std::string& key, const std::string& value);

    static constexpr long kMaxBytes = 65536;  // larger files are not read
};
