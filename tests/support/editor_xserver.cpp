#include "tests/support/editor_xserver.h"

#include <X11/Xlib.h>

#include <chrono>
#include <fcntl.h>
#include <cstdlib>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

XvfbServer::~XvfbServer()
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

std::string XvfbServer::findProgram()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = dir.empty() ? std::string(".") : dir;
        candidate += "/Xvfb";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

bool XvfbServer::start(std::string& error)
{
    std::string program = findProgram();
    if (program.empty()) {
        error = "Xvfb is not installed";
        return false;
    }
    for (int number = 91 + (int)(getpid() % 50); number < 400; number++) {
        const std::string digits = std::to_string(number);
        std::string lock = "/tmp/.X";
        lock += digits;
        lock += "-lock";
        std::string socket = "/tmp/.X11-unix/X";
        socket += digits;
        struct stat st;
        if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
            continue;
        std::string display = ":";
        display += digits;
        const char* argv[] = {program.c_str(), display.c_str(), "-screen", "0", "1024x900x24", "-nolisten", "tcp",
                              nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid = -1;
            error = "could not start Xvfb";
            return false;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {  // lost a race for the number
                pid = -1;
                break;
            }
            if (Display* d = XOpenDisplay(display.c_str())) {
                XCloseDisplay(d);
                name = display;
                setenv("DISPLAY", name.c_str(), 1);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    error = "no display number could be used";
    return false;
}
