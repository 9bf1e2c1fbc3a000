// The desktop's own file and folder dialogs, for users who prefer them to the editor's: zenity, else kdialog,
// found on PATH, run as a child process that is polled and never waited for.
//
// The child starts through posix_spawn in a session of its own, with the signals at their defaults, no
// signal blocked, the caller's environment without LD_LIBRARY_PATH and LD_PRELOAD (libraries the host runs
// with, wrong for a desktop program), standard input and error on /dev/null, standard output into a pipe and
// no other descriptor of the host. Poll reads that pipe without waiting and reaps the child with WNOHANG
// once it ended: exit status 0 with a path on its first line confirms, 1 cancels, anything else (the tool
// could not run, no display) fails. Destroying a dialog still open kills the child's session; a child that
// has not ended by then is reaped by a later Start or Poll of any dialog.
//
// GUI thread only [gui].
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon::platform {

enum class SystemDialogKind : std::uint8_t { kOpen, kSave, kFolder };
enum class SystemDialogState : std::uint8_t { kRunning, kConfirmed, kCancelled, kFailed };

struct SystemDialogRequest {
    SystemDialogKind kind = SystemDialogKind::kOpen;
    std::string title;
    std::string folder;                // to start in; the tool's choice when empty
    std::string filterName;            // "Brindmor Program"
    std::vector<std::string> patterns; // "*.bpa"; none: every file
    bool overwritePrompt = false;      // a save asks before replacing a file
};

// The path of the tool Start would run (zenity, else kdialog, on PATH), empty when there is none.
std::string FindSystemDialogTool();

class SystemFileDialog {
public:
    // Starts the dialog; null when no tool was found or it could not be started.
    static std::unique_ptr<SystemFileDialog> Start(const SystemDialogRequest& request);
    ~SystemFileDialog();
    SystemFileDialog(const SystemFileDialog&) = delete;
    SystemFileDialog& operator=(const SystemFileDialog&) = delete;

    // Takes what the child wrote so far and its end, without waiting.
    SystemDialogState Poll();
    // The chosen path once confirmed.
    const std::string& Path() const { return path_; }
    int ProcessId() const { return pid_; }

private:
    SystemFileDialog(int pid, int output) : pid_(pid), output_(output) {}
    void Conclude(bool exited, int status);

    int pid_ = -1;
    int output_ = -1; // the pipe's read end, -1 once closed
    bool reaped_ = false;
    std::string text_;
    std::string path_;
    SystemDialogState state_ = SystemDialogState::kRunning;
};

} // namespace quillon::platform
