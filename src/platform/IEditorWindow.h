// The window the editor shows itself in: a child of the window the host hands to effEditOpen, which takes
// pixel buffers the editor drew and gives back mouse, keyboard, focus and exposure events as plain structs.
// Linux has an X11 implementation (platform/x11, libxcb), Windows a Win32 one (platform/win32). The Win32
// window gathers its events as the host's message loop dispatches them (it never pumps messages itself) and
// repaints from its own copy of what was presented, so it reports kExpose only after Resize().
//
// Threads: every call, the factory and the destructor included, on the host's GUI thread (the one that
// calls effEditOpen, effEditIdle and effEditClose). The window starts no thread of its own. No call waits
// for the display server, except the factory (a few round trips to check the parent and read the server's
// keyboard and visuals), PreferredDisplayScale() and the teardown, which waits at most about 100 ms for
// work the server still has in hand.
//
// Units: device pixels, relative to the top-left corner of the window. Pixel buffers are 32-bit words
// 0x00RRGGBB (the top byte is ignored), rows top to bottom, `stride` words from one row to the next.
//
// Ownership: the object owns the native window and everything it allocated on the display. The parent
// belongs to the host; the window never destroys, resizes or moves it. When the host destroys the parent
// first (or the display goes away), PollEvents() reports kDestroyed once; from then on every call does
// nothing, and destroying the object frees what is left without touching the gone window.
//
// How the editor drives it from effEditIdle:
//   - effEditOpen: CreateEditorWindow(parent, width, height). A null result with kParentMissing means the
//     host has not made the parent yet: keep the size and try again at the next effEditIdle. With
//     kNoDisplay or kUnsupportedDisplay there is nothing to show the editor in; give up until the next
//     effEditOpen.
//   - each effEditIdle: PollEvents(), hand the events to the toolkit, add the exposed rectangles to the
//     dirty region, draw what is dirty and Present() it once. On kDestroyed, drop the window (the host
//     will send effEditClose, or not).
//   - a text field that takes the keyboard calls TakeKeyboardFocus(), and ReturnKeyboardFocus() when it
//     is done, so that the host's own shortcuts work again.
//   - effEditClose: destroy the object (or Close() it first where the destruction comes later).
// The display scale for effEditGetRect, which hosts ask before effEditOpen, comes from
// PreferredDisplayScale() when neither the host nor the user's settings name one; it is read when the
// editor's size is settled (before each open) and kept while the editor is open.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace quillon::platform {

// A window of the native system: an X11 window id, an HWND on Windows.
using NativeWindow = std::uintptr_t;

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

// The part of `a` inside `b`; empty (zero width or height) when they do not overlap.
inline PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

// A buffer the editor drew: `height` rows of `width` words 0x00RRGGBB, `stride` words apart.
struct PixelView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

enum class MouseButton : std::uint8_t { kNone, kLeft, kMiddle, kRight };

// The keys the editor acts on by name. kNone: the key typed a character (WindowEvent::character) or is
// one the editor ignores.
enum class NamedKey : std::uint8_t {
    kNone,
    kBackspace,
    kTab,
    kEnter,
    kEscape,
    kLeft,
    kRight,
    kUp,
    kDown,
    kHome,
    kEnd,
    kDelete,
};

enum class WindowEventType : std::uint8_t {
    kMouseDown, // button, x, y, shift, control
    kMouseMove, // x, y, shift, control (consecutive moves arrive as the last one)
    kMouseUp,   // button, x, y, shift, control
    kWheel,     // wheelSteps (positive: away from the user), x, y, shift, control
    kKeyDown,   // key or character, shift, control
    kKeyUp,     // key or character, shift, control
    kFocusIn,   // the window now receives the keyboard
    kFocusOut,  // it no longer does
    kExpose,    // area must be presented again (what the window showed there is lost)
    kDestroyed, // the window or its parent is gone, or the display connection broke
};

struct WindowEvent {
    WindowEventType type = WindowEventType::kMouseMove;
    int x = 0;
    int y = 0;
    MouseButton button = MouseButton::kNone;
    bool shift = false;
    bool control = false;
    int wheelSteps = 0;
    NamedKey key = NamedKey::kNone;
    // The Latin-1 character the key typed (1..255), 0 for none. Control does not change it: Ctrl+A comes
    // as 'a' with control set.
    std::uint8_t character = 0;
    PixelRect area;
};

enum class WindowCursor : std::uint8_t { kArrow, kHand };

class IEditorWindow {
public:
    virtual ~IEditorWindow() = default;

    // Appends the events that arrived since the last call to `events` (which it does not clear) and
    // returns without waiting when there are no more.
    virtual void PollEvents(std::vector<WindowEvent>& events) = 0;

    // Copies the parts of `buffer` under `rects` to the window, clipped to the buffer and the window.
    // Every rectangle is on the screen once the server has processed the request; the call does not wait
    // for that.
    virtual void Present(const PixelView& buffer, std::span<const PixelRect> rects) = 0;

    virtual void SetCursor(WindowCursor cursor) = 0;

    // Sends the keyboard to this window (when it is shown) until ReturnKeyboardFocus() or until the user
    // clicks elsewhere; kFocusIn / kFocusOut report what actually happened.
    virtual void TakeKeyboardFocus() = 0;
    virtual void ReturnKeyboardFocus() = 0;

    // Sets the window's size in device pixels. Exposures for new areas arrive through PollEvents().
    virtual void Resize(int width, int height) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Destroys the native window and frees what the object holds on the display; every later call does
    // nothing. The destructor does the same.
    virtual void Close() = 0;

    // Work the window runs by itself, on the GUI thread, where the system's windows need it: the whole of
    // the editor's idle (what effEditIdle does). On Windows a timer of the window calls it about every
    // 15 ms from the host's message loop, so blinking and refreshes go on however seldom the host idles;
    // it may therefore run while the caller is inside a modal loop of its own, and must do nothing when
    // it is entered again. X11 keeps it unused: there effEditIdle alone drives the editor.
    virtual void SetIdleCallback(const std::function<void()>& /*idle*/) {}
};

enum class EditorWindowError : std::uint8_t {
    kNone,
    kNoDisplay,          // no display to connect to (on X11: $DISPLAY unset, or the server refused)
    kParentMissing,      // the parent window does not exist (yet); try again later
    kUnsupportedDisplay, // the display has no 24-bit true-colour format with 32-bit pixels
};

// True when this platform has editor windows at all (X11: yes, whether or not a display is reachable now;
// Windows: yes). A plug-in built where it is false announces no editor to its host. [any]
bool EditorWindowsAvailable();

// Makes the editor's window as a child of `parent`, at its top-left corner, shown. Null on failure, with
// the reason in `*error` when given.
std::unique_ptr<IEditorWindow> CreateEditorWindow(NativeWindow parent, int width, int height,
                                                  EditorWindowError* error = nullptr);

// The scale the user set for the display: 1, or 2 for 144 dots per inch and more (X11: Xft.dpi in the
// resources of the display, 96 when there is none; Windows: the resolution of the process's foreground
// window, else the system's). 1 without a display. On X11 it makes one round trip to the server of its own.
int PreferredDisplayScale();

} // namespace quillon::platform
