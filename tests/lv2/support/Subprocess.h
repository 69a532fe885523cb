// Running the real hosts from the tests: a command line with a time limit, its output kept,
// and background servers (jackd, a host under test) stopped when the test ends.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct CommandResult {
    int status = -1;        // exit status, or -1 when it could not run or was killed
    bool timedOut = false;  // the time limit ended it
    std::string output;     // standard output and error
};

// Runs argv with extra environment entries ("NAME=value"), for at most `seconds`.
CommandResult runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         double seconds);

// True when the program is found on PATH.
bool haveProgram(const std::string& name);

class BackgroundProcess {
public:
    BackgroundProcess() = default;
    ~BackgroundProcess();  // stops it (SIGTERM, then SIGKILL) and waits for it
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Starts argv with its output going to `logFile`; stdin is a pipe that write() feeds.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& logFile);
    bool write(const std::string& text);  // to its standard input
    bool running();
    void stop();
    std::string log() const;  // what it has written so far

private:
    pid_t pid = -1;
    int input = -1;           // our end of its stdin
    std::string logPath;
};
