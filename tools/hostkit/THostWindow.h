// A top-level window for showing a plug-in's editor outside a host: the parent window that `quillon gui`
// hands to effEditOpen, with a title and a close button.
// - X11 (THostWindow.cpp): a window on a connection of its own; the window manager reports the close button
//   through WM_DELETE_WINDOW.
// - Windows (THostWindowWin32.cpp): an overlapped window of the calling thread; Closed() runs the thread's
//   message loop (the editor's window, a child of this one, is served by it too). [gui: one thread]
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

class THostWindow {
public:
    // Shows a window whose inside is width × height pixels (on X11 on the display of $DISPLAY). Null with a
    // one-line reason in `error` when there is no display.
    static std::unique_ptr<THostWindow> Open(int width, int height, const std::string& title, std::string& error);
    ~THostWindow();
    THostWindow(const THostWindow&) = delete;
    THostWindow& operator=(const THostWindow&) = delete;

    // The X window id or the HWND, for effEditOpen.
    std::uintptr_t Id() const { return window_; }
    void Resize(int width, int height);
    // Handles the pending events (on Windows: dispatches the thread's pending messages) without waiting; true
    // once the user closed the window (or it went away).
    bool Closed();

    struct TConnection; // the platform's state

private:
    THostWindow() = default;

    std::unique_ptr<TConnection> connection_;
    std::uintptr_t window_ = 0;
    std::uint32_t deleteAtom_ = 0; // X11 only
    bool closed_ = false;
};

} // namespace quillon
