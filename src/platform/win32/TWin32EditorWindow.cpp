#include "platform/win32/TWin32EditorWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

namespace quillon::platform {
namespace {

constexpr int kMaxSide = 16384;
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdlePeriodMs = 15;
constexpr int kWheelNotch = WHEEL_DELTA; // 120

int ClampSide(int side) {
    return std::clamp(side, 1, kMaxSide);
}

unsigned ButtonBit(MouseButton button) {
    return 1U << static_cast<unsigned>(button);
}

// The module this code is linked into (the plug-in's DLL, or the program itself).
HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// The window class is the module's own: its name carries the module's handle.
class TWindowClass {
public:
    // Registers the class for the first window; false when Windows refuses.
    bool Acquire(WNDPROC procedure) {
        const std::lock_guard lock(mutex_);
        if (users_ == 0) {
            module_ = ThisModule();
            name_ = L"QuillonEditor-";
            auto handle = reinterpret_cast<std::uintptr_t>(module_);
            for (int shift = static_cast<int>(sizeof handle) * 8 - 4; shift >= 0; shift -= 4)
                name_.push_back(L"0123456789abcdef"[(handle >> shift) & 0xf]);
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = module_;
            windowClass.lpszClassName = name_.c_str();
            // No class cursor (WM_SETCURSOR picks it), no background (WM_PAINT covers every pixel), no
            // CS_DBLCLKS (the editor recognizes double clicks itself).
            if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
        }
        ++users_;
        return true;
    }
    // Unregisters the class with its last window, so that nothing of the module stays behind.
    void Release() {
        const std::lock_guard lock(mutex_);
        if (users_ > 0 && --users_ == 0) UnregisterClassW(name_.c_str(), module_);
    }
    const wchar_t* Name() const { return name_.c_str(); }
    HMODULE Module() const { return module_; }

private:
    std::mutex mutex_;
    int users_ = 0;
    HMODULE module_ = nullptr;
    std::wstring name_;
};

TWindowClass& WindowClass() {
    static TWindowClass windowClass;
    return windowClass;
}

bool KeyHeld(int virtualKey) {
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

NamedKey NamedKeyFor(WPARAM virtualKey) {
    switch (virtualKey) {
    case VK_BACK:
        return NamedKey::kBackspace;
    case VK_TAB:
        return NamedKey::kTab;
    case VK_RETURN: // the keypad's Enter too
        return NamedKey::kEnter;
    case VK_ESCAPE:
        return NamedKey::kEscape;
    case VK_LEFT:
        return NamedKey::kLeft;
    case VK_RIGHT:
        return NamedKey::kRight;
    case VK_UP:
        return NamedKey::kUp;
    case VK_DOWN:
        return NamedKey::kDown;
    case VK_HOME:
        return NamedKey::kHome;
    case VK_END:
        return NamedKey::kEnd;
    case VK_DELETE:
        return NamedKey::kDelete;
    default:
        return NamedKey::kNone;
    }
}

// A key that types a character (which WM_CHAR brings): the editor keeps it while it has the keyboard.
bool TypesCharacter(WPARAM virtualKey) {
    if ((virtualKey >= VK_NUMPAD0 && virtualKey <= VK_DIVIDE) || virtualKey == VK_SPACE) return true;
    return MapVirtualKeyW(static_cast<UINT>(virtualKey), MAPVK_VK_TO_CHAR) != 0;
}

} // namespace

std::unique_ptr<TWin32EditorWindow> TWin32EditorWindow::Open(NativeWindow parent, int width, int height,
                                                             EditorWindowError* error) {
    std::unique_ptr<TWin32EditorWindow> window(new TWin32EditorWindow());
    // VST 2 hands the parent over as a pointer-sized handle.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    const EditorWindowError result = window->Create(reinterpret_cast<HWND>(parent), width, height);
    if (error) *error = result;
    if (result != EditorWindowError::kNone) return nullptr;
    return window;
}

TWin32EditorWindow::~TWin32EditorWindow() {
    *alive_ = false;
    Close();
}

EditorWindowError TWin32EditorWindow::Create(HWND parent, int width, int height) {
    if (parent == nullptr || !IsWindow(parent)) return EditorWindowError::kParentMissing;
    parent_ = parent;
    width_ = ClampSide(width);
    height_ = ClampSide(height);
    store_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
    if (!WindowClass().Acquire(&TWin32EditorWindow::WindowProc)) return EditorWindowError::kNoDisplay;
    registered_ = true;
    // WM_NCCREATE ties the window to this object (window_ is set there, before the first message).
    const HWND window = CreateWindowExW(0, WindowClass().Name(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                        width_, height_, parent, nullptr, WindowClass().Module(), this);
    if (!window) {
        window_ = nullptr;
        // The parent may have gone in the meantime; anything else will not get better by trying again.
        return IsWindow(parent) ? EditorWindowError::kNoDisplay : EditorWindowError::kParentMissing;
    }
    window_ = window;
    SetTimer(window_, kIdleTimer, kIdlePeriodMs, nullptr);
    return EditorWindowError::kNone;
}

bool TWin32EditorWindow::Live() const {
    return !closed_ && !destroyed_ && window_ != nullptr;
}

LRESULT CALLBACK TWin32EditorWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TWin32EditorWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWin32EditorWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The last message the window gets: nothing of ours may reach it afterwards.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (!self->closing_) self->destroyed_ = true;
        self->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT TWin32EditorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_LBUTTONDOWN:
        OnButton(WindowEventType::kMouseDown, MouseButton::kLeft, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
        OnButton(WindowEventType::kMouseDown, MouseButton::kMiddle, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
        OnButton(WindowEventType::kMouseDown, MouseButton::kRight, wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        OnButton(WindowEventType::kMouseUp, MouseButton::kLeft, wParam, lParam);
        return 0;
    case WM_MBUTTONUP:
        OnButton(WindowEventType::kMouseUp, MouseButton::kMiddle, wParam, lParam);
        return 0;
    case WM_RBUTTONUP:
        OnButton(WindowEventType::kMouseUp, MouseButton::kRight, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE: {
        WindowEvent event;
        event.type = WindowEventType::kMouseMove;
        event.x = lastX_ = GET_X_LPARAM(lParam);
        event.y = lastY_ = GET_Y_LPARAM(lParam);
        event.shift = lastShift_ = (wParam & MK_SHIFT) != 0;
        event.control = lastControl_ = (wParam & MK_CONTROL) != 0;
        if (!pending_.empty() && pending_.back().type == WindowEventType::kMouseMove)
            pending_.back() = event;
        else
            Push(event);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; // screen coordinates
        ScreenToClient(window_, &point);
        wheelRemainder_ += GET_WHEEL_DELTA_WPARAM(wParam);
        const int steps = wheelRemainder_ / kWheelNotch;
        wheelRemainder_ -= steps * kWheelNotch;
        if (steps != 0) {
            WindowEvent event;
            event.type = WindowEventType::kWheel;
            event.x = point.x;
            event.y = point.y;
            event.wheelSteps = steps;
            event.shift = (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0;
            event.control = (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0;
            Push(event);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        // Another window took the mouse (or ours was destroyed): the drag ends here.
        if (reinterpret_cast<HWND>(lParam) != window_) EndDrag();
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == window_) {
            ::SetCursor(LoadCursorW(nullptr, cursor_ == WindowCursor::kHand ? IDC_HAND : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS; // a dialog-style host loop must not eat Tab, Enter, Escape
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (!Key(message, wParam, lParam)) PostMessageW(parent_, message, wParam, lParam);
        return 0;
    case WM_SETFOCUS: {
        WindowEvent event;
        event.type = WindowEventType::kFocusIn;
        Push(event);
        return 0;
    }
    case WM_KILLFOCUS: {
        tookFocus_ = false;
        WindowEvent event;
        event.type = WindowEventType::kFocusOut;
        Push(event);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kIdleTimer) {
            RunIdle(); // `this` may be gone afterwards
            return 0;
        }
        break;
    case WM_DESTROY:
        if (!closing_) destroyed_ = true;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void TWin32EditorWindow::OnButton(WindowEventType type, MouseButton button, WPARAM wParam, LPARAM lParam) {
    WindowEvent event;
    event.type = type;
    event.button = button;
    event.x = lastX_ = GET_X_LPARAM(lParam);
    event.y = lastY_ = GET_Y_LPARAM(lParam);
    event.shift = lastShift_ = (wParam & MK_SHIFT) != 0;
    event.control = lastControl_ = (wParam & MK_CONTROL) != 0;
    if (type == WindowEventType::kMouseDown) {
        if (heldButtons_ == 0) SetCapture(window_);
        heldButtons_ |= ButtonBit(button);
        Push(event);
        return;
    }
    if ((heldButtons_ & ButtonBit(button)) == 0) return; // a release of a press we never saw
    heldButtons_ &= ~ButtonBit(button);
    Push(event);
    if (heldButtons_ == 0 && GetCapture() == window_) ReleaseCapture();
}

// Releases every button still held, where the pointer was last seen.
void TWin32EditorWindow::EndDrag() {
    for (const MouseButton button : {MouseButton::kLeft, MouseButton::kMiddle, MouseButton::kRight}) {
        if ((heldButtons_ & ButtonBit(button)) == 0) continue;
        WindowEvent event;
        event.type = WindowEventType::kMouseUp;
        event.button = button;
        event.x = lastX_;
        event.y = lastY_;
        event.shift = lastShift_;
        event.control = lastControl_;
        Push(event);
    }
    heldButtons_ = 0;
}

// True when the editor keeps the key; false to pass it on to the host.
bool TWin32EditorWindow::Key(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (!tookFocus_) return false;
    const bool shift = KeyHeld(VK_SHIFT);
    // Ctrl with Alt is AltGr on many layouts: it types characters and is no shortcut.
    const bool control = KeyHeld(VK_CONTROL) && !KeyHeld(VK_MENU);
    WindowEvent event;
    event.shift = shift;
    event.control = control;
    if (message == WM_CHAR) {
        // UTF-16 below 256 is Latin-1; the control codes are the named keys' or Ctrl's, taken at WM_KEYDOWN.
        if ((wParam >= 0x20 && wParam < 0x7f) || (wParam >= 0xa0 && wParam <= 0xff)) {
            event.type = WindowEventType::kKeyDown;
            event.character = static_cast<std::uint8_t>(wParam);
            Push(event);
            return true;
        }
        return wParam < 0x20 || wParam == 0x7f;
    }
    event.type = message == WM_KEYDOWN ? WindowEventType::kKeyDown : WindowEventType::kKeyUp;
    event.key = NamedKeyFor(wParam);
    if (event.key == NamedKey::kNone && control &&
        ((wParam >= 'A' && wParam <= 'Z') || (wParam >= '0' && wParam <= '9'))) {
        // WM_CHAR would bring a control code: Ctrl+A comes as 'a' with control set.
        event.character = static_cast<std::uint8_t>(wParam >= 'A' && wParam <= 'Z' && !shift ? wParam + 0x20 : wParam);
    }
    if (event.key != NamedKey::kNone || event.character != 0) {
        Push(event);
        return true;
    }
    return TypesCharacter(wParam); // its WM_CHAR comes next
}

void TWin32EditorWindow::RunIdle() {
    if (!idle_ || idling_ || !Live()) return;
    idling_ = true;
    const std::shared_ptr<bool> alive = alive_;
    const std::function<void()> idle = idle_; // the callback may replace itself, or close the window
    idle();
    if (*alive) idling_ = false;
}

void TWin32EditorWindow::SetIdleCallback(const std::function<void()>& idle) {
    idle_ = idle;
}

void TWin32EditorWindow::Paint() {
    // The rectangles of the update region, read before BeginPaint validates it.
    std::vector<RECT> rects;
    if (const HRGN region = CreateRectRgn(0, 0, 0, 0)) {
        const int kind = GetUpdateRgn(window_, region, FALSE);
        if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
            const DWORD bytes = GetRegionData(region, 0, nullptr);
            std::vector<DWORD> data((bytes + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
            auto* regionData = reinterpret_cast<RGNDATA*>(data.data());
            if (bytes > 0 && GetRegionData(region, bytes, regionData) == bytes) {
                const auto* first = reinterpret_cast<const RECT*>(regionData->Buffer);
                rects.assign(first, first + regionData->rdh.nCount);
            }
        }
        DeleteObject(region);
    }
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(window_, &paint);
    if (!dc) return;
    if (rects.empty()) rects.push_back(paint.rcPaint);
    for (const RECT& rect : rects) {
        const PixelRect part =
            Intersect({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}, {0, 0, width_, height_});
        if (part.Empty()) continue;
        // The rows of the rectangle as a top-down DIB of the store's width.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -part.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, part.x, part.y, static_cast<DWORD>(part.width), static_cast<DWORD>(part.height), part.x,
                          0, 0, static_cast<UINT>(part.height),
                          store_.data() + static_cast<std::size_t>(part.y) * static_cast<std::size_t>(width_), &info,
                          DIB_RGB_COLORS);
        ++paintedRects_;
    }
    EndPaint(window_, &paint);
}

void TWin32EditorWindow::PollEvents(std::vector<WindowEvent>& events) {
    if (closed_ || destroyReported_) return;
    if (destroyed_) {
        pending_.clear();
        WindowEvent gone;
        gone.type = WindowEventType::kDestroyed;
        events.push_back(gone);
        destroyReported_ = true;
        return;
    }
    events.insert(events.end(), pending_.begin(), pending_.end());
    pending_.clear();
}

void TWin32EditorWindow::Present(const PixelView& buffer, std::span<const PixelRect> rects) {
    if (!Live() || buffer.pixels == nullptr) return;
    const PixelRect bounds{0, 0, std::min(buffer.width, width_), std::min(buffer.height, height_)};
    for (const PixelRect& rect : rects) {
        const PixelRect part = Intersect(rect, bounds);
        if (part.Empty()) continue;
        for (int y = part.y; y < part.y + part.height; ++y) {
            std::memcpy(store_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + part.x,
                        buffer.pixels + static_cast<std::ptrdiff_t>(y) * buffer.stride + part.x,
                        static_cast<std::size_t>(part.width) * sizeof(std::uint32_t));
        }
        const RECT invalid{part.x, part.y, part.x + part.width, part.y + part.height};
        InvalidateRect(window_, &invalid, FALSE);
    }
}

void TWin32EditorWindow::SetCursor(WindowCursor cursor) {
    cursor_ = cursor;
    if (!Live()) return;
    // Shown at once when the pointer is over the window (or dragging from it); otherwise at WM_SETCURSOR.
    POINT point{};
    if (GetCapture() == window_ || (GetCursorPos(&point) && WindowFromPoint(point) == window_))
        ::SetCursor(LoadCursorW(nullptr, cursor == WindowCursor::kHand ? IDC_HAND : IDC_ARROW));
}

void TWin32EditorWindow::TakeKeyboardFocus() {
    if (!Live() || !IsWindowVisible(window_)) return;
    const HWND before = SetFocus(window_);
    if (before != window_) focusBefore_ = before;
    tookFocus_ = GetFocus() == window_;
}

void TWin32EditorWindow::ReturnKeyboardFocus() {
    if (!Live()) return;
    const bool focused = GetFocus() == window_;
    if (!tookFocus_ && !focused) return;
    tookFocus_ = false;
    if (!focused) return;
    // Back to the window that had it, when it is still ours to give (else to the parent).
    const HWND target = focusBefore_ && IsWindow(focusBefore_) ? focusBefore_ : parent_;
    focusBefore_ = nullptr;
    SetFocus(IsWindow(target) ? target : nullptr);
}

void TWin32EditorWindow::Resize(int width, int height) {
    width = ClampSide(width);
    height = ClampSide(height);
    if (!Live() || (width == width_ && height == height_)) return;
    std::vector<std::uint32_t> store(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < std::min(height, height_); ++y)
        std::memcpy(store.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                    store_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                    static_cast<std::size_t>(std::min(width, width_)) * sizeof(std::uint32_t));
    store_ = std::move(store);
    width_ = width;
    height_ = height;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The editor draws anew at its new size.
    WindowEvent expose;
    expose.type = WindowEventType::kExpose;
    expose.area = {0, 0, width, height};
    Push(expose);
}

void TWin32EditorWindow::Close() {
    if (closed_) return;
    if (window_ && !destroyed_) {
        closing_ = true;
        KillTimer(window_, kIdleTimer);
        if (GetCapture() == window_) ReleaseCapture();
        if (GetFocus() == window_) ReturnKeyboardFocus(); // focus must not vanish with the window
        DestroyWindow(window_);
    }
    closed_ = true;
    window_ = nullptr;
    idle_ = nullptr;
    pending_.clear();
    if (registered_) WindowClass().Release();
    registered_ = false;
}

int DisplayScaleForDpi(unsigned dpi) {
    return dpi >= 144 ? 2 : 1;
}

bool EditorWindowsAvailable() {
    return true;
}

// GetDpiForWindow and GetDpiForSystem came with Windows 10 (1607); older systems, and some wine versions, lack
// them, so they are looked up rather than imported.
int PreferredDisplayScale() {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using DpiForSystem = UINT(WINAPI*)();
    unsigned dpi = 0;
    if (const HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        const auto forWindow =
            reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
        const auto forSystem =
            reinterpret_cast<DpiForSystem>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")));
        // The host's window, when it is in front: the monitor it is on (for a host aware of them).
        const HWND front = GetForegroundWindow();
        DWORD process = 0;
        if (front) GetWindowThreadProcessId(front, &process);
        if (forWindow && front && process == GetCurrentProcessId()) dpi = forWindow(front);
        if (dpi == 0 && forSystem) dpi = forSystem();
    }
    if (dpi == 0) {
        if (const HDC screen = GetDC(nullptr)) {
            dpi = static_cast<unsigned>(std::max(0, GetDeviceCaps(screen, LOGPIXELSX)));
            ReleaseDC(nullptr, screen);
        }
    }
    return DisplayScaleForDpi(dpi);
}

std::unique_ptr<IEditorWindow> CreateEditorWindow(NativeWindow parent, int width, int height,
                                                  EditorWindowError* error) {
    return TWin32EditorWindow::Open(parent, width, height, error);
}

} // namespace quillon::platform
