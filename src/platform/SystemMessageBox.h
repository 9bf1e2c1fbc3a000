// The system's own message boxes, where the platform has them (Windows); elsewhere the editor draws its own.
//
// A box is modal: ShowSystemMessageBox returns when the user has chosen a button, the box's own message loop
// serving the host's windows meanwhile. The text breaks lines at "\r", "\n" or "\r\n". Messages (kOk) carry
// the information icon, questions the question mark. The first button is the default; Escape and the
// close box choose Cancel where the box has one. GUI thread only. [gui]
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon::platform {

enum class SystemBoxButtons : std::uint8_t { kOk, kOkCancel, kYesNo, kYesNoCancel, kYesCancel };
enum class SystemBoxAnswer : std::uint8_t { kOk, kCancel, kYes, kNo };

// True where ShowSystemMessageBox shows anything.
bool HasSystemMessageBox();

// Shows `text` under `caption` with `buttons`, owned by `owner` (a window handle, HWND on Windows; null: the
// active window), and returns the button chosen; nothing when no box could be shown.
std::optional<SystemBoxAnswer> ShowSystemMessageBox(const std::string& caption, const std::string& text,
                                                    SystemBoxButtons buttons, void* owner = nullptr);

} // namespace quillon::platform
