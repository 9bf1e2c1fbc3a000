#include "support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

extern char** environ;

namespace quillon::test {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(3);

// Reads the display number Xvfb writes once it accepts connections; empty on timeout or exit.
std::string ReadDisplayNumber(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    std::string text;
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) return {};
        char chunk[32];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) return {};
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return text.substr(0, text.find('\n'));
}

} // namespace

std::string XvfbServer::FindXvfb() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(folder.empty() ? "." : folder) / "Xvfb";
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

XvfbServer::XvfbServer(const std::vector<std::string>& extraArguments) {
    const std::string program = FindXvfb();
    int channel[2];
    if (program.empty() || pipe(channel) != 0) return;
    std::vector<std::string> arguments = {
        program, "-displayfd", std::to_string(channel[1]), "-screen", "0", "1760x1200x24", "-nolisten", "tcp"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    if (spawned == 0) {
        pid_ = pid;
        const std::string number = ReadDisplayNumber(channel[0]);
        if (!number.empty()) {
            display_ = ":" + number;
            environment_.Set("DISPLAY", display_);
        }
    }
    close(channel[0]);
}

XvfbServer::~XvfbServer() {
    Stop();
}

void XvfbServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

} // namespace quillon::test
