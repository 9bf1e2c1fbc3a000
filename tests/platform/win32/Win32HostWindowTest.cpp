// The host window of `quillon gui` on Windows: the size asked for is the inside, resizing keeps it so, and the
// close button ends the session without destroying the window under the editor.
#include "hostkit/THostWindow.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace quillon {
namespace {

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

TEST(Win32HostWindow, HasTheInsideAskedForAndReportsTheCloseButtonWithoutGoingAway) {
    std::string error;
    auto window = THostWindow::Open(800, 556, "Quillon \xC3\xA9", error);
    ASSERT_NE(window, nullptr) << error;
    const auto handle = reinterpret_cast<HWND>(window->Id());
    ASSERT_TRUE(IsWindow(handle));
    EXPECT_EQ(ClientSize(handle).cx, 800);
    EXPECT_EQ(ClientSize(handle).cy, 556);
    wchar_t title[32] = {};
    GetWindowTextW(handle, title, 32);
    EXPECT_STREQ(title, L"Quillon \u00e9");
    window->Resize(1000, 700); // (Windows keeps a window within the screen's size)
    EXPECT_EQ(ClientSize(handle).cx, 1000);
    EXPECT_EQ(ClientSize(handle).cy, 700);

    EXPECT_FALSE(window->Closed());
    PostMessageW(handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(window->Closed());
    EXPECT_TRUE(IsWindow(handle)) << "the editor is closed before its parent goes";
    window.reset();
    EXPECT_FALSE(IsWindow(handle));
}

} // namespace
} // namespace quillon
