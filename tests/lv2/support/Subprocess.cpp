#include "lv2/support/Subprocess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<char*> environmentWith(const std::vector<std::string>& extra, std::vector<std::string>& storage)
{
    storage.clear();
    for (char** e = environ; *e; e++) {
        std::string entry = *e;
        bool replaced = false;
        for (const std::string& x : extra)
            if (entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0)
                replaced = true;
        if (!replaced)
            storage.push_back(entry);
    }
    for (const std::string& x : extra)
        storage.push_back(x);
    std::vector<char*> list;
    for (std::string& s : storage)
        list.push_back(s.data());
    list.push_back(nullptr);
    return list;
}

std::vector<char*> argvOf(const std::vector<std::string>& argv)
{
    std::vector<char*> list;
    for (const std::string& a : argv)
        list.push_back(const_cast<char*>(a.c_str()));
    list.push_back(nullptr);
    return list;
}

bool waitFor(pid_t pid, double seconds, int& status)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return true;
        if (r < 0 || std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

bool haveProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
    return false;
}

CommandResult runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         double seconds)
{
    CommandResult result;
    char pattern[] = "/tmp/lustrana-cmd-XXXXXX";
    int out = mkstemp(pattern);
    if (out < 0)
        return result;
    unlink(pattern);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, out, 2);
    std::vector<std::string> storage;
    std::vector<char*> env = environmentWith(environment, storage);
    std::vector<char*> args = argvOf(argv);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc == 0) {
        int status = 0;
        if (!waitFor(pid, seconds, status)) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        } else if (WIFEXITED(status)) {
            result.status = WEXITSTATUS(status);
        }
    }
    lseek(out, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = read(out, buffer, sizeof buffer)) > 0)
        result.output.append(buffer, (size_t)n);
    close(out);
    return result;
}

BackgroundProcess::~BackgroundProcess()
{
    stop();
}

bool BackgroundProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                              const std::string& logFile)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    logPath = logFile;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // its own process group, so that stopping it also stops what it started
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<std::string> storage;
    std::vector<char*> env = environmentWith(environment, storage);
    std::vector<char*> args = argvOf(argv);
    int rc = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    if (rc != 0) {
        pid = -1;
        close(fds[1]);
        return false;
    }
    input = fds[1];
    return true;
}

bool BackgroundProcess::write(const std::string& text)
{
    return input >= 0 && ::write(input, text.data(), text.size()) == (ssize_t)text.size();
}

bool BackgroundProcess::running()
{
    if (pid <= 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return false;
    }
    return true;
}

void BackgroundProcess::stop()
{
    if (input >= 0) {
        close(input);
        input = -1;
    }
    if (pid <= 0)
        return;
    int status = 0;
    kill(-pid, SIGTERM);
    if (!waitFor(pid, 5.0, status)) {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    pid = -1;
}

std::string BackgroundProcess::log() const
{
    std::ifstream in(logPath);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
