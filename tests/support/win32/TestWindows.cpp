#include "support/win32/TestWindows.h"

#include <thread>

namespace quillon::test {

constexpr const wchar_t* kParentClass = L"QuillonTestParent";

TTestParentWindow::TTestParentWindow(int width, int height) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TTestParentWindow::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kParentClass;
    RegisterClassExW(&windowClass); // fails harmlessly from the second window on
    // A popup without a frame, which wine leaves to no window manager.
    window_ = CreateWindowExW(0, kParentClass, L"Quillon test host", WS_POPUP | WS_CLIPCHILDREN, 10, 10, width, height,
                              nullptr, nullptr, GetModuleHandleW(nullptr), this);
    // Not activated: under wine the destruction of the active window waits seconds for a window manager.
    ShowWindow(window_, SW_SHOWNOACTIVATE);
}

TTestParentWindow::~TTestParentWindow() {
    Destroy();
}

void TTestParentWindow::Destroy() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK TTestParentWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<TTestParentWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR))
        self->keys_.push_back({message, wParam});
    if (self && message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void PumpMessages(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& each) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (each) each();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::uint32_t ScreenPixel(HWND window, int x, int y) {
    const HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

} // namespace quillon::test
