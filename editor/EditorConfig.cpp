#include "editor/EditorConfig.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string configHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')  // relative paths are to be ignored
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.config" : std::string();
}

bool plainText(const std::string& s)
{
    return !s.empty() && s.find_first_of("\n\r=", 0) == std::string::npos && s.find('\0') == std::string::npos;
}

std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The file's entries; false when it is absent, unreadable or not of the expected shape.
bool load(const std::string& file, Entries& entries)
{
    entries.clear();
    if (file.empty())
        return false;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0 && (long)text.size() <= EditorConfig::kMaxBytes)
        text.append(buffer, got);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || (long)text.size() > EditorConfig::kMaxBytes || text.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos || eq == 0)
            return false;
        std::string key = trim(t.substr(0, eq)), value = trim(t.substr(eq + 1));
        if (key.empty())
            return false;
        entries.emplace_back(key, value);
    }
    return true;
}

bool makeFolders(const std::string& folder)
{
    for (size_t at = 1; at <= folder.size(); at++) {
        if (at < folder.size() && folder[at] != '/')
            continue;
        std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info{};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string EditorConfig::path()
{
    std::string home = configHome();
    return home.empty() ? home : home + "/lustrana/editor.conf";
}

std::optional<std::string> EditorConfig::read(const std::string& key)
{
    Entries entries;
    if (!load(path(), entries))
        return std::nullopt;
    std::optional<std::string> found;
    for (const auto& [k, v] : entries)
        if (k == key)
            found = v;  // the last one counts
    return found;
}

bool EditorConfig::write(const std::string& key, const std::string& value)
{
    if (!plainText(key) || key[0] == '#' || value.find_first_of("\n\r", 0) != std::string::npos ||
        value.find('\0') != std::string::npos)
        return false;
    std::string file = path();
    if (file.empty())
        return false;
    std::string folder = file.substr(0, file.rfind('/'));
    if (!makeFolders(folder))
        return false;
    Entries entries;
    load(file, entries);  // an unsound file is replaced as a whole
    std::string text = "# Lustrana editor settings\n";
    bool written = false;
    for (const auto& [k, v] : entries) {
        if (k == key) {
            if (written)
                continue;
            text += key + "=" + value + "\n";
            written = true;
        } else {
            text += k + "=" + v + "\n";
        }
    }
    if (!written)
        text += key + "=" + value + "\n";

    std::string temp = folder + "/.editor.conf.XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, 0644) == 0;
    const char* p = text.data();
    size_t left = text.size();
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok) {
            p += n;
            left -= (size_t)n;
        }
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(name.data(), file.c_str()) == 0;
    if (!ok)
        unlink(name.data());
    return ok;
}
