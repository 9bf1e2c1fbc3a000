// The editor's Win32 window in a real parent window, driven by synthetic messages: presenting from its
// backing store, the mouse with capture, keys and focus, the idle timer and a parent destroyed first.
#include "platform/win32/TWin32EditorWindow.h"

#include "support/win32/TestWindows.h"

#include <gtest/gtest.h>

namespace quillon::platform {
namespace {

using namespace std::chrono_literals;
using test::PumpMessages;
using test::ScreenPixel;

constexpr int kWidth = 200, kHeight = 150;

class Win32EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = TWin32EditorWindow::Open(reinterpret_cast<NativeWindow>(parent_.Handle()), kWidth, kHeight, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    HWND Child() const { return window_->Window(); }
    std::vector<WindowEvent> Poll() {
        std::vector<WindowEvent> events;
        window_->PollEvents(events);
        return events;
    }
    void Send(UINT message, WPARAM wParam, int x = 0, int y = 0) {
        SendMessageW(Child(), message, wParam, MAKELPARAM(x, y));
    }
    static void HoldKeys(std::initializer_list<int> keys) {
        BYTE state[256] = {};
        for (const int key : keys)
            state[key] = 0x80;
        SetKeyboardState(state);
    }
    void Present(std::uint32_t colour, PixelRect rect) {
        const std::vector<std::uint32_t> pixels(kWidth * kHeight, colour);
        window_->Present({pixels.data(), kWidth, kHeight, kWidth}, std::span(&rect, 1));
    }
    bool ShowsAfterPainting(int x, int y, std::uint32_t colour) {
        return test::PumpUntil([&] { return ScreenPixel(Child(), x, y) == colour; }, 2s);
    }

    test::TTestParentWindow parent_{400, 300};
    std::unique_ptr<TWin32EditorWindow> window_;
};

TEST_F(Win32EditorWindowTest, PaintsTheDirtyRectanglesFromItsStoreAndRepaintsFromItWithoutTheEditor) {
    EXPECT_EQ(GetWindowLongW(Child(), GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS),
              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
    Present(0xff2040, {0, 0, kWidth, kHeight});
    ASSERT_TRUE(ShowsAfterPainting(kWidth - 1, kHeight - 1, 0xff2040));
    // Only the rectangle given reaches the screen, though the whole buffer changed.
    const std::uint64_t paintedBefore = window_->PaintedRects();
    Present(0x1030c0, {50, 60, 20, 10});
    ASSERT_TRUE(ShowsAfterPainting(69, 69, 0x1030c0));
    EXPECT_EQ(ScreenPixel(Child(), 70, 65), 0xff2040u);
    EXPECT_EQ(ScreenPixel(Child(), 10, 10), 0xff2040u);
    EXPECT_EQ(window_->PaintedRects() - paintedBefore, 1u);

    // Windows asks for the whole window again: it comes from the store, the editor hears nothing of it.
    InvalidateRect(Child(), nullptr, FALSE);
    PumpMessages(50ms);
    EXPECT_EQ(ScreenPixel(Child(), 55, 65), 0x1030c0u);
    EXPECT_TRUE(Poll().empty());

    // Rectangles beyond the buffer are clipped; a resize asks the editor for the whole new size.
    Present(0, {kWidth - 5, kHeight - 5, 100, 100});
    window_->Resize(300, 100);
    const std::vector<WindowEvent> events = Poll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, WindowEventType::kExpose);
    EXPECT_EQ(events[0].area, (PixelRect{0, 0, 300, 100}));
}

TEST_F(Win32EditorWindowTest, ReportsButtonsWithCaptureCoalescesMovesAndCountsWheelNotches) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 30, 40);
    EXPECT_EQ(GetCapture(), Child()) << "a drag keeps the mouse";
    Send(WM_MOUSEMOVE, MK_LBUTTON, 31, 41);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 250, -20); // outside, still ours
    Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, 250, -20);
    Send(WM_LBUTTONUP, MK_RBUTTON | MK_CONTROL, 251, -21);
    EXPECT_EQ(GetCapture(), Child()) << "the right button is still down";
    Send(WM_RBUTTONUP, 0, 252, -22);
    EXPECT_EQ(GetCapture(), nullptr);
    std::vector<WindowEvent> events = Poll();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].type, WindowEventType::kMouseDown);
    EXPECT_EQ(events[0].button, MouseButton::kLeft);
    EXPECT_EQ(std::tuple(events[0].x, events[0].y, events[0].shift, events[0].control),
              std::tuple(30, 40, true, false));
    EXPECT_EQ(events[1].type, WindowEventType::kMouseMove);
    EXPECT_EQ(std::pair(events[1].x, events[1].y), std::pair(250, -20));
    EXPECT_EQ(events[2].button, MouseButton::kRight);
    EXPECT_EQ(events[3].type, WindowEventType::kMouseUp);
    EXPECT_EQ(events[3].button, MouseButton::kLeft);
    EXPECT_TRUE(events[3].control);
    EXPECT_EQ(events[4].button, MouseButton::kRight);

    // Another window taking the mouse ends the drag with a release where the pointer was.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 12, 13);
    SetCapture(parent_.Handle());
    Send(WM_LBUTTONUP, 0, 14, 15); // too late: already released
    ReleaseCapture();
    events = Poll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, WindowEventType::kMouseUp);
    EXPECT_EQ(std::pair(events[1].x, events[1].y), std::pair(12, 13));

    // The wheel: screen coordinates, whole notches of 120 with the rest kept.
    POINT screen{20, 25};
    ClientToScreen(Child(), &screen);
    SendMessageW(Child(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 60), MAKELPARAM(screen.x, screen.y));
    EXPECT_TRUE(Poll().empty());
    SendMessageW(Child(), WM_MOUSEWHEEL, MAKEWPARAM(0, 60), MAKELPARAM(screen.x, screen.y));
    SendMessageW(Child(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-250)), MAKELPARAM(screen.x, screen.y));
    events = Poll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, WindowEventType::kWheel);
    EXPECT_EQ(std::tuple(events[0].wheelSteps, events[0].x, events[0].y), std::tuple(1, 20, 25));
    EXPECT_EQ(events[1].wheelSteps, -2);
}

TEST_F(Win32EditorWindowTest, KeepsKeysOnlyWhileItHoldsTheKeyboardAndPassesTheRestToTheHost) {
    SetFocus(parent_.Handle());
    Send(WM_KEYDOWN, VK_LEFT); // without the keyboard taken, everything goes to the host
    Send(WM_CHAR, 'x');
    EXPECT_TRUE(Poll().empty());

    window_->TakeKeyboardFocus();
    EXPECT_EQ(GetFocus(), Child());
    HoldKeys({VK_SHIFT});
    Send(WM_KEYDOWN, VK_LEFT);
    Send(WM_KEYUP, VK_DELETE);
    Send(WM_KEYDOWN, VK_RETURN);
    Send(WM_CHAR, '\r'); // Enter's own character: not a second key
    Send(WM_CHAR, 0xe9); // é
    Send(WM_CHAR, 0x263a);
    Send(WM_KEYDOWN, VK_F5);
    HoldKeys({VK_CONTROL});
    Send(WM_KEYDOWN, 'A');
    Send(WM_CHAR, 0x01);             // Ctrl+A's control code
    HoldKeys({VK_CONTROL, VK_MENU}); // AltGr
    Send(WM_CHAR, '@');
    HoldKeys({});

    const std::vector<WindowEvent> events = Poll();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].type, WindowEventType::kFocusIn);
    EXPECT_EQ(std::tuple(events[1].type, events[1].key, events[1].shift),
              std::tuple(WindowEventType::kKeyDown, NamedKey::kLeft, true));
    EXPECT_EQ(std::pair(events[2].type, events[2].key), std::pair(WindowEventType::kKeyUp, NamedKey::kDelete));
    EXPECT_EQ(events[3].key, NamedKey::kEnter);
    EXPECT_EQ(std::pair(events[4].key, events[4].character), std::pair(NamedKey::kNone, std::uint8_t{0xe9}));
    EXPECT_EQ(std::pair(events[5].character, events[5].control), std::pair(std::uint8_t{'a'}, true));
    EXPECT_EQ(std::pair(events[6].character, events[6].control), std::pair(std::uint8_t{'@'}, false)) << "AltGr";

    PumpMessages(20ms); // the keys passed on are posted to the host
    std::vector<WPARAM> hostKeys;
    for (const auto& key : parent_.Keys())
        hostKeys.push_back(key.wParam);
    EXPECT_EQ(hostKeys, (std::vector<WPARAM>{VK_LEFT, 'x', 0x263a, VK_F5}));

    window_->ReturnKeyboardFocus();
    EXPECT_EQ(GetFocus(), parent_.Handle());
    const std::vector<WindowEvent> after = Poll();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back().type, WindowEventType::kFocusOut);
}

TEST_F(Win32EditorWindowTest, TheTimerRunsTheIdleCallbackButNeverInsideItselfNorAfterTheEnd) {
    int calls = 0, depth = 0, deepest = 0;
    window_->SetIdleCallback([&] {
        deepest = std::max(deepest, ++depth);
        if (++calls == 2) PumpMessages(60ms); // a modal loop inside the idle work
        --depth;
    });
    ASSERT_TRUE(test::PumpUntil([&] { return calls >= 4; }, 3s));
    EXPECT_EQ(deepest, 1);
    window_->Close();
    const int closedAt = calls;
    PumpMessages(50ms);
    EXPECT_EQ(calls, closedAt);
}

TEST_F(Win32EditorWindowTest, AParentDestroyedFirstIsReportedOnceAndLaterCallsDoNothing) {
    window_->SetIdleCallback([] { FAIL() << "no idle for a window that is gone"; });
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
    parent_.Destroy();
    std::vector<WindowEvent> events = Poll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, WindowEventType::kDestroyed);
    Present(0, {0, 0, kWidth, kHeight});
    window_->SetCursor(WindowCursor::kHand);
    window_->TakeKeyboardFocus();
    window_->ReturnKeyboardFocus();
    window_->Resize(10, 10);
    EXPECT_EQ(window_->Width(), kWidth);
    PumpMessages(30ms);
    EXPECT_TRUE(Poll().empty());
}

TEST(Win32EditorWindow, RefusesAMissingParentAndRegistersItsClassOnlyWhileItHasWindows) {
    EditorWindowError error = EditorWindowError::kNone;
    EXPECT_EQ(CreateEditorWindow(0, 100, 100, &error), nullptr);
    EXPECT_EQ(error, EditorWindowError::kParentMissing);
    test::TTestParentWindow gone(100, 100);
    const auto handle = reinterpret_cast<NativeWindow>(gone.Handle());
    gone.Destroy();
    EXPECT_EQ(CreateEditorWindow(handle, 100, 100, &error), nullptr);
    EXPECT_EQ(error, EditorWindowError::kParentMissing);
    EXPECT_TRUE(EditorWindowsAvailable());
    EXPECT_EQ(std::tuple(DisplayScaleForDpi(96), DisplayScaleForDpi(143), DisplayScaleForDpi(144)),
              std::tuple(1, 1, 2));

    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CreateEditorWindow), &module);
    for (int round = 0; round < 3; ++round) {
        test::TTestParentWindow parent(100, 100);
        auto first = TWin32EditorWindow::Open(reinterpret_cast<NativeWindow>(parent.Handle()), 50, 50, &error);
        auto second = CreateEditorWindow(reinterpret_cast<NativeWindow>(parent.Handle()), 50, 50, &error);
        ASSERT_TRUE(first && second) << round;
        wchar_t name[64] = {};
        GetClassNameW(first->Window(), name, 64);
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        first.reset();
        EXPECT_TRUE(GetClassInfoExW(module, name, &info)) << "still in use by the second window";
        second.reset();
        EXPECT_FALSE(GetClassInfoExW(module, name, &info)) << "unregistered with the last window";
    }
}

} // namespace
} // namespace quillon::platform
