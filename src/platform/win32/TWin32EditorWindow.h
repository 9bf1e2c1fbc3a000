// The editor's window on Windows: a child window (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS) of the HWND the
// host hands to effEditOpen, living on the host's GUI thread and fed by the host's message loop.
//
// - Window class: one per module, named after the module's handle so that two copies of the plug-in (or
//   the plug-in and the tool) never share a window procedure; registered with the first window and
//   unregistered when the last one is closed, so that the DLL can be unloaded.
// - Present copies the rectangles into the window's own backing store (a 32-bit top-down DIB the size of
//   the window) and invalidates them; WM_PAINT copies only the rectangles of the update region from the
//   store with SetDIBitsToDevice. Windows never asks the editor to draw again (no kExpose), except for
//   the whole window after Resize().
// - The window does not pump messages itself: its events are gathered in the window procedure as the
//   host's message loop dispatches them and handed out by PollEvents().
// - Mouse: the buttons and moves of the client area; the window captures the mouse from the first press
//   to the last release, and a capture taken away by someone else ends the drag with a release of every
//   button still held. The wheel's WM_MOUSEWHEEL (screen coordinates) is reported in whole notches of
//   120, the remainder kept for the next turn.
// - Keys: only while the editor holds the keyboard (TakeKeyboardFocus) does the window keep keys: the
//   named keys from WM_KEYDOWN/WM_KEYUP, characters from WM_CHAR (UTF-16 below 256), letters and digits
//   typed with Ctrl (not AltGr) from WM_KEYDOWN. Every other key, and every key while the editor does not
//   hold the keyboard, is posted on to the parent, so that the host's shortcuts keep working.
// - Idle: a WM_TIMER of about 15 ms runs the callback of SetIdleCallback(), so the editor keeps blinking
//   and refreshing however seldom the host sends effEditIdle; a timer that fires while the callback runs
//   (a modal loop inside it) does nothing.
// - Display scale: 2 from 144 dots per inch; the resolution comes from GetDpiForWindow (the process's
//   foreground window) or GetDpiForSystem where user32 has them, else from GetDeviceCaps(LOGPIXELSX).
// [gui]
#pragma once

#include "platform/IEditorWindow.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quillon::platform {

class TWin32EditorWindow final : public IEditorWindow {
public:
    static std::unique_ptr<TWin32EditorWindow> Open(NativeWindow parent, int width, int height,
                                                    EditorWindowError* error);
    ~TWin32EditorWindow() override;
    TWin32EditorWindow(const TWin32EditorWindow&) = delete;
    TWin32EditorWindow& operator=(const TWin32EditorWindow&) = delete;

    void PollEvents(std::vector<WindowEvent>& events) override;
    void Present(const PixelView& buffer, std::span<const PixelRect> rects) override;
    void SetCursor(WindowCursor cursor) override;
    void TakeKeyboardFocus() override;
    void ReturnKeyboardFocus() override;
    void Resize(int width, int height) override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void Close() override;
    void SetIdleCallback(const std::function<void()>& idle) override;

    HWND Window() const { return window_; }
    // The rectangles WM_PAINT has copied to the screen so far (for the tests and diagnostics).
    std::uint64_t PaintedRects() const { return paintedRects_; }

private:
    TWin32EditorWindow() = default;
    EditorWindowError Create(HWND parent, int width, int height);
    bool Live() const;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void OnButton(WindowEventType type, MouseButton button, WPARAM wParam, LPARAM lParam);
    void EndDrag();
    bool Key(UINT message, WPARAM wParam, LPARAM lParam);
    void RunIdle();
    void Push(const WindowEvent& event) { pending_.push_back(event); }

    HWND parent_ = nullptr;
    HWND window_ = nullptr;
    HWND focusBefore_ = nullptr; // who had the keyboard when TakeKeyboardFocus() took it
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> store_; // width_ × height_, rows top to bottom
    std::vector<WindowEvent> pending_;
    std::function<void()> idle_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // false once the object is gone
    unsigned heldButtons_ = 0;                                   // bit per MouseButton
    int lastX_ = 0, lastY_ = 0;
    bool lastShift_ = false, lastControl_ = false;
    int wheelRemainder_ = 0;
    WindowCursor cursor_ = WindowCursor::kArrow;
    bool tookFocus_ = false;
    bool idling_ = false;
    bool registered_ = false; // this window holds a reference on the module's window class
    bool closing_ = false;    // Close() is destroying the window
    bool destroyed_ = false;  // the window went away without Close() (its parent was destroyed)
    bool destroyReported_ = false;
    bool closed_ = false;
    std::uint64_t paintedRects_ = 0;
};

// 2 from 144 dots per inch, 1 below (and for 0, an unknown resolution).
int DisplayScaleForDpi(unsigned dpi);

} // namespace quillon::platform
