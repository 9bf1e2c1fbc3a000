// Runs the built `quillon` tool as a user would, for the tool's end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace quillon::test {

struct TToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `quillon ARGS` with stderr in a file (not a terminal, so no progress bar). With `probeLog`, the
// test plug-in is told where to write its log (QUILLON_PROBE_LOG).
TToolRun RunTool(const std::vector<std::string>& arguments, const std::string& probeLog = {});

// The whole content of a file; empty when it cannot be read.
std::string ReadText(const std::string& path);

} // namespace quillon::test
