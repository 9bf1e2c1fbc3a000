// `quillon gui` without --screenshot: any VST 2 plug-in's editor in a window of its own, opened as a host
// opens it (a parent window, effEditGetRect, effEditOpen, effEditIdle at 30 Hz, effEditClose when the user
// closes the window).
#pragma once

#include <optional>
#include <string>

namespace quillon {

struct TGuiSession {
    std::string pluginPath;
    std::string programPath; // a program file to load into the current program (or empty)
    std::string bankPath;    // a bank file whose 64 sounds go into programs 0..63 (or empty)
    int slot = 0;            // with a bank: the program to show
    int zoom = 0;            // a display scale to ask for with the hosts' scale message (0: none)
};

// Runs until the window is closed. Returns an error text when the plug-in, its sounds or the display could
// not be used.
std::optional<std::string> RunEditorWindow(const TGuiSession& session);

} // namespace quillon
