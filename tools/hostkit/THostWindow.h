// A top-level window on the X server for showing a plug-in's editor outside a host: the parent window that
// `quillon gui` hands to effEditOpen. It has its own xcb connection, a title, and a close button that the
// window manager reports through WM_DELETE_WINDOW. [gui: one thread]
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

class THostWindow {
public:
    // Connects to the display of $DISPLAY and maps a window of width × height pixels. Null with a one-line
    // reason in `error` when there is no display.
    static std::unique_ptr<THostWindow> Open(int width, int height, const std::string& title, std::string& error);
    ~THostWindow();
    THostWindow(const THostWindow&) = delete;
    THostWindow& operator=(const THostWindow&) = delete;

    // The X window id, for effEditOpen.
    std::uint32_t Id() const { return window_; }
    void Resize(int width, int height);
    // Handles the pending events without waiting; true once the user closed the window (or it went away).
    bool Closed();

private:
    THostWindow() = default;

    struct TConnection;
    std::unique_ptr<TConnection> connection_;
    std::uint32_t window_ = 0;
    std::uint32_t deleteAtom_ = 0;
    bool closed_ = false;
};

} // namespace quillon
