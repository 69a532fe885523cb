// An Xvfb server of the test's own on a free display number, for the tests that open the
// editor in a real X window. DISPLAY points at it while it runs.
#pragma once

#include <string>
#include <sys/types.h>

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();  // stops the server it started
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Path of the Xvfb program, or empty when it is not installed.
    static std::string findProgram();
    // Starts Xvfb and waits until it takes connections; false with the reason in `error`.
    bool start(std::string& error);
    const std::string& displayName() const { return name; }

private:
    pid_t pid = -1;    // the server we started
    std::string name;  // ":N"
};
