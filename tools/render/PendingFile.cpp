#include "tools/render/PendingFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

PendingFile::PendingFile(const std::string& name) : target(name), committed(false)
{
    size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    temporary = folder + "." + base + ".partial-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw std::runtime_error("cannot write " + target + ": " + std::strerror(errno));
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
}

PendingFile::~PendingFile()
{
    if (!committed)
        unlink(temporary.c_str());
}

void PendingFile::commit()
{
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
        throw std::runtime_error("cannot write " + target + ": " + std::strerror(errno));
    committed = true;
}
