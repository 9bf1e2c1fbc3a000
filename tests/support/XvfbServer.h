// A private X server for the tests that need a display: Xvfb (found in PATH) on a display number it picks
// itself, with DISPLAY naming it while the object lives. Tests skip when there is no Xvfb.
#pragma once

#include "support/ScopedEnvironment.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillon::test {

class XvfbServer {
public:
    // Starts Xvfb with one 1760x1200 24-bit screen, no TCP, and `extraArguments`; Running() tells whether
    // it was ready within a few seconds.
    explicit XvfbServer(const std::vector<std::string>& extraArguments = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // The path of Xvfb in PATH, empty when there is none.
    static std::string FindXvfb();

    bool Running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& Display() const { return display_; }
    // Ends the server now (a display that goes away under its clients).
    void Stop();

private:
    pid_t pid_ = -1;
    std::string display_;
    ScopedEnvironment environment_;
};

} // namespace quillon::test
