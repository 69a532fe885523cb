// An Xvfb server of the test's own on a free display number, for the tests that open the
// editor in a real X window. DISPLAY points at it while it runs.
#pragma once

#include <gtest/gtest.h>

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

// Base of the suites that open real windows: one Xvfb server for the whole suite.
// requireServer(), called first in SetUp, skips the test where Xvfb is not installed and
// fails it where the server did not start.
class RealWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void requireServer();

    static inline XvfbServer* server = nullptr;  // shared by the suite
    static inline std::string startError;        // why it did not start
};
