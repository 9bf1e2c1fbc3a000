#include "platform/SystemFileDialog.h"

#include "platform/ListFolder.h"
#include "platform/posix/ExecutableSearch.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace quillon::platform {

namespace {

constexpr std::size_t kMaxOutput = std::size_t{64} * 1024; // a path, with room to spare

// Children killed while still running, reaped by later calls.
std::vector<pid_t>& Unreaped() {
    static std::vector<pid_t> pids;
    return pids;
}

void ReapKilled() {
    std::vector<pid_t>& pids = Unreaped();
    std::erase_if(pids, [](pid_t pid) {
        int status = 0;
        const pid_t reaped = waitpid(pid, &status, WNOHANG);
        return reaped == pid || (reaped < 0 && errno == ECHILD);
    });
}

std::vector<std::string> Arguments(const std::string& tool, const SystemDialogRequest& request) {
    std::string patterns;
    for (const std::string& pattern : request.patterns)
        patterns += (patterns.empty() ? "" : " ") + pattern;
    const bool folder = request.kind == SystemDialogKind::kFolder;
    const std::string start = request.folder.empty() ? std::string{} : request.folder + "/";
    if (tool.ends_with("/kdialog")) {
        std::vector<std::string> args{tool, "--title", request.title};
        args.emplace_back(folder                                    ? "--getexistingdirectory"
                          : request.kind == SystemDialogKind::kSave ? "--getsavefilename"
                                                                    : "--getopenfilename");
        args.push_back(start.empty() ? "." : start);
        if (!folder && !patterns.empty()) args.push_back(patterns + "|" + request.filterName);
        return args;
    }
    std::vector<std::string> args{tool, "--file-selection", "--title=" + request.title};
    if (request.kind == SystemDialogKind::kSave) args.emplace_back("--save");
    if (request.kind == SystemDialogKind::kSave && request.overwritePrompt) args.emplace_back("--confirm-overwrite");
    if (folder) args.emplace_back("--directory");
    if (!start.empty()) args.push_back("--filename=" + start);
    if (!folder && !patterns.empty()) args.push_back("--file-filter=" + request.filterName + " | " + patterns);
    return args;
}

} // namespace

std::string FindSystemDialogTool() {
    std::string tool = FindOnPath("zenity");
    return tool.empty() ? FindOnPath("kdialog") : tool;
}

bool SystemFileDialogIsModal() {
    return false;
}

bool SystemDialogsByDefault() {
    return false;
}

std::string SystemDialogDefaultFolder() {
    return HomeFolder();
}

std::unique_ptr<SystemFileDialog> SystemFileDialog::Start(const SystemDialogRequest& request) {
    ReapKilled();
    const std::string tool = FindSystemDialogTool();
    if (tool.empty()) return nullptr;
    std::vector<std::string> args = Arguments(tool, request);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        if (!text.starts_with("LD_LIBRARY_PATH=") && !text.starts_with("LD_PRELOAD=")) envp.push_back(*entry);
    }
    envp.push_back(nullptr);

    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1); // the copy keeps no close-on-exec mark
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, tool.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        return nullptr;
    }
    return std::unique_ptr<SystemFileDialog>(new SystemFileDialog(pid, ends[0]));
}

SystemFileDialog::~SystemFileDialog() {
    if (output_ >= 0) close(output_);
    if (reaped_ || pid_ <= 0) return;
    kill(-pid_, SIGKILL); // the child's session: the dialog and whatever it started
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) Unreaped().push_back(pid_);
}

SystemDialogState SystemFileDialog::Poll() {
    if (state_ != SystemDialogState::kRunning) return state_;
    ReapKilled();
    while (output_ >= 0) {
        char buffer[4096];
        const ssize_t got = read(output_, buffer, sizeof buffer);
        if (got > 0) {
            if (text_.size() < kMaxOutput) text_.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return state_;
        close(output_); // the end of the output, or an error reading it
        output_ = -1;
    }
    int status = 0;
    const pid_t reaped = waitpid(pid_, &status, WNOHANG);
    if (reaped == 0) return state_; // the output closed, the process not yet ended
    reaped_ = true;
    // ECHILD: the host reaps its children itself; the output alone tells.
    Conclude(reaped == pid_, status);
    return state_;
}

void SystemFileDialog::Conclude(bool exited, int status) {
    std::string line = text_.substr(0, text_.find('\n'));
    const bool ok = exited ? WIFEXITED(status) && WEXITSTATUS(status) == 0 : !line.empty();
    const bool cancelled = exited ? WIFEXITED(status) && WEXITSTATUS(status) == 1 : line.empty();
    if (ok && !line.empty() && line.front() == '/') {
        path_ = std::move(line);
        state_ = SystemDialogState::kConfirmed;
    } else {
        state_ = cancelled || (ok && line.empty()) ? SystemDialogState::kCancelled : SystemDialogState::kFailed;
    }
}

} // namespace quillon::platform
