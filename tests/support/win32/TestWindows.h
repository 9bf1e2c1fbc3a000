// A shown top-level window to parent the editor's window in (recording the keys that reach it), and message
// pumps that stand in for a host's message loop.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <vector>

namespace quillon::test {

class TTestParentWindow {
public:
    TTestParentWindow(int width, int height);
    ~TTestParentWindow();
    TTestParentWindow(const TTestParentWindow&) = delete;
    TTestParentWindow& operator=(const TTestParentWindow&) = delete;

    HWND Handle() const { return window_; }
    // Destroys the window now (the destructor then does nothing).
    void Destroy();

    struct TKeyMessage {
        UINT message;
        WPARAM wParam;
    };
    // WM_KEYDOWN, WM_KEYUP and WM_CHAR that arrived, in order.
    const std::vector<TKeyMessage>& Keys() const { return keys_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<TKeyMessage> keys_;
};

// Dispatches this thread's messages for `duration`.
void PumpMessages(std::chrono::milliseconds duration);
// Dispatches messages (and calls `each`, when given, between rounds) until `done` or `timeout`; returns
// `done()`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& each = nullptr);

// The pixel at (x, y) of the window as it is on the screen, 0x00RRGGBB.
std::uint32_t ScreenPixel(HWND window, int x, int y);

} // namespace quillon::test
