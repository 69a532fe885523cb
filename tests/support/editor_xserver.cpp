#include "tests/support/editor_xserver.h"

#include <X11/Xlib.h>

#include <chrono>
#include <fcntl.h>
#include <cstdlib>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

// links editor_lsan.cpp, whose suppressions the sanitizer builds need
extern int editorLsanAnchor;
[[gnu::used]] static int* const linkLsanSuppressions = &editorLsanAnchor;

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

// Xvfb chooses a free display number itself and writes it to the pipe given with -displayfd,
// so tests that run in parallel never race for a number.
bool XvfbServer::start(std::string& error)
{
    std::string program = findProgram();
    if (program.empty()) {
        error = "Xvfb is not installed";
        return false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        error = "no pipe";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    std::string fd = std::to_string(fds[1]);
    // -noreset: the server would otherwise reset, refusing connections, whenever its last
    // client leaves; the screen takes the editor at 200 % (1800 × 1702)
    const char* argv[] = {program.c_str(), "-displayfd", fd.c_str(), "-noreset", "-screen", "0", "1920x1800x24",
                          "-nolisten", "tcp", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        pid = -1;
        error = "could not start Xvfb";
        return false;
    }
    std::string number;
    struct pollfd wait = {fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&wait, 1, 100) <= 0)
            continue;
        char c;
        ssize_t got = read(fds[0], &c, 1);
        if (got <= 0 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        error = "Xvfb did not report a display";
        return false;  // the destructor stops it
    }
    name.reserve(number.size() + 1);
    name.assign(1, ':');
    name.append(number);
    if (Display* d = XOpenDisplay(name.c_str())) {
        XCloseDisplay(d);
        setenv("DISPLAY", name.c_str(), 1);
        return true;
    }
    error = "Xvfb's display ";
    error += name;
    error += " takes no connection";
    return false;
}

void RealWindowTest::SetUpTestSuite()
{
    if (XvfbServer::findProgram().empty())
        return;
    server = new XvfbServer();
    if (!server->start(startError)) {
        delete server;
        server = nullptr;
    }
}

void RealWindowTest::TearDownTestSuite()
{
    delete server;
    server = nullptr;
}

void RealWindowTest::requireServer()
{
    if (XvfbServer::findProgram().empty())
        GTEST_SKIP() << "Xvfb is not installed: the real-window tests need it";
    ASSERT_NE(server, nullptr) << startError;
}
