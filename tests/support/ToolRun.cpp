#include "support/ToolRun.h"

#include "support/TemporaryDirectory.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace quillon::test {

namespace {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TToolRun RunTool(const std::vector<std::string>& arguments, const std::string& probeLog) {
    const TemporaryDirectory scratch;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) at -O3 on a literal + a temporary string.
    std::string command;
    if (!probeLog.empty()) command.append("QUILLON_PROBE_LOG=").append(ShellQuoted(probeLog)).append(" ");
    command += ShellQuoted(QUILLON_TOOL_PATH);
    for (const std::string& argument : arguments)
        command.append(" ").append(ShellQuoted(argument));
    command.append(" 2>").append(ShellQuoted(scratch / "err"));

    TToolRun run;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> chunk{};
        std::size_t count = 0;
        while ((count = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
            run.out.append(chunk.data(), count);
        const int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    run.err = ReadText(scratch / "err");
    return run;
}

} // namespace quillon::test
