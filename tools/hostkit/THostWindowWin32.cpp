#include "hostkit/THostWindow.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace quillon {

struct THostWindow::TConnection {
    HWND window = nullptr;
    bool closed = false; // the close button was pressed, or the window went away
};

namespace {

constexpr const wchar_t* kHostClass = L"QuillonHostWindow";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

// The close button only marks the window closed: the editor is closed first, then the window destroyed.
LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* state = reinterpret_cast<THostWindow::TConnection*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (state && message == WM_CLOSE) {
        state->closed = true;
        return 0;
    }
    if (state && message == WM_NCDESTROY) {
        state->closed = true;
        state->window = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The outer size of a window whose client area is width × height.
SIZE FrameSize(int width, int height) {
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, kStyle, FALSE);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

} // namespace

std::unique_ptr<THostWindow> THostWindow::Open(int width, int height, const std::string& title, std::string& error) {
    auto window = std::unique_ptr<THostWindow>(new THostWindow());
    window->connection_ = std::make_unique<TConnection>();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kHostClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "cannot register the host window's class: " + platform::win32::ErrorText(GetLastError());
        return nullptr;
    }
    const SIZE frame = FrameSize(width, height);
    const HWND handle =
        CreateWindowExW(0, kHostClass, platform::win32::Widen(title).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        frame.cx, frame.cy, nullptr, nullptr, GetModuleHandleW(nullptr), window->connection_.get());
    if (!handle) {
        error = "cannot create the host window: " + platform::win32::ErrorText(GetLastError());
        return nullptr;
    }
    window->connection_->window = handle;
    window->window_ = reinterpret_cast<std::uintptr_t>(handle);
    ShowWindow(handle, SW_SHOW);
    UpdateWindow(handle);
    return window;
}

THostWindow::~THostWindow() {
    if (connection_ && connection_->window) DestroyWindow(connection_->window);
}

void THostWindow::Resize(int width, int height) {
    if (!connection_->window) return;
    const SIZE frame = FrameSize(width, height);
    SetWindowPos(connection_->window, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool THostWindow::Closed() {
    MSG message;
    while (!connection_->closed && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            connection_->closed = true;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    closed_ = connection_->closed;
    return closed_;
}

} // namespace quillon
