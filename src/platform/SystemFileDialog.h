// The desktop's own file and folder dialogs, for users who prefer them to the editor's (on Windows, where
// they are what users expect, they are the default).
//
// Windows: the common dialogs (open, save, and the shell's folder browser), modal as everywhere on Windows.
// Start runs the dialog to its end (its own message loop keeps the host's windows served) and returns it
// already answered; Poll then just reports. The owner window is the request's, else the active window.
//
// Linux: zenity, else kdialog, found on PATH, run as a child process that is polled and never waited for.
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
#include <string_view>
#include <utility>
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
    std::string defaultExtension;      // without the dot; Windows adds it to a typed name without one
    void* owner = nullptr;             // Windows: the owner window (HWND); null: the active window
};

// The path of the tool Start would run (zenity, else kdialog, on PATH), empty when there is none. On Windows
// the common dialogs' library.
std::string FindSystemDialogTool();

// Whether Start shows the dialog modally and returns it answered (Windows), rather than leaving it to run
// while the caller polls (Linux).
bool SystemFileDialogIsModal();
// Whether the system's dialogs (and message boxes) are used when the settings do not choose: yes on Windows,
// no on Linux, where the desktop's dialogs are an option.
bool SystemDialogsByDefault();
// The folder a dialog starts in when the caller has none: the home folder on Linux, nothing (the system's
// own choice) on Windows.
std::string SystemDialogDefaultFolder();

// The choice of the settings value kSettingFileDialog: "system" asks for the system's dialogs, any other
// text ("editor") for the editor's own, and an empty or missing value leaves it to `byDefault`.
inline bool WantsSystemDialogs(std::string_view setting, bool byDefault = SystemDialogsByDefault()) {
    return setting.empty() ? byDefault : setting == "system";
}

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
    // A dialog that has ended (Windows).
    SystemFileDialog(SystemDialogState state, std::string path) : path_(std::move(path)), state_(state) {}
    void Conclude(bool exited, int status);

    int pid_ = -1;
    int output_ = -1; // the pipe's read end, -1 once closed
    bool reaped_ = false;
    std::string text_;
    std::string path_;
    SystemDialogState state_ = SystemDialogState::kRunning;
};

} // namespace quillon::platform
