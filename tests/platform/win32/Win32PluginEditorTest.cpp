// Quillon.dll's editor in a Win32 parent window, opened by the tool's host again and again: load the DLL,
// open the editor, wait for the skin on the screen, click a page selector, close (or destroy the parent
// first), unload; half of the rounds with a host that never sends effEditIdle.
#include "editor/LayoutTable.h"
#include "hostkit/TPluginHost.h"
#include "platform/ModuleFolder.h"

#include "support/win32/TestWindows.h"

#include <gtest/gtest.h>

#include <set>

namespace quillon {
namespace {

using namespace std::chrono_literals;

// A coarse picture of the window's right part (the page area): every 16th pixel.
std::vector<std::uint32_t> PageArea(HWND window) {
    std::vector<std::uint32_t> samples;
    for (int y = 60; y < 540; y += 16)
        for (int x = 100; x < 790; x += 16)
            samples.push_back(test::ScreenPixel(window, x, y));
    return samples;
}

// A click at the centre of a control on the editor's chassis.
void Click(HWND window, const char* id) {
    const TControlLayout* control = FindControl(id);
    ASSERT_NE(control, nullptr) << id;
    const LPARAM at = MAKELPARAM(control->rect.x + control->rect.w / 2, control->rect.y + control->rect.h / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

TEST(Win32PluginEditor, OpensDrawsTurnsPagesAndClosesFiftyTimesInARow) {
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TPluginHost plugin;
        ASSERT_TRUE(plugin.Load(platform::ModuleFolder() + "/Quillon.dll")) << plugin.Error();
        plugin.Open();
        ASSERT_NE(plugin.Effect()->flags & vst2::effFlagsHasEditor, 0);
        const auto rect = plugin.EditorRect().rect;
        ASSERT_TRUE(rect.has_value());
        ASSERT_EQ(std::pair(rect->right - rect->left, rect->bottom - rect->top), std::pair(800, 556));

        test::TTestParentWindow parent(800, 556);
        ASSERT_EQ(plugin.Dispatch(vst2::effEditOpen, 0, 0, parent.Handle()), 1);
        const HWND editor = GetWindow(parent.Handle(), GW_CHILD);
        ASSERT_NE(editor, nullptr);
        // Every other round the host never idles: the editor's own timer has to do all of it.
        const auto idle = [&] {
            if (round % 2 == 0) plugin.Dispatch(vst2::effEditIdle);
        };
        // The skin arrives: many colours, not a black window.
        ASSERT_TRUE(test::PumpUntil(
            [&] {
                const std::vector<std::uint32_t> samples = PageArea(editor);
                return std::set<std::uint32_t>(samples.begin(), samples.end()).size() > 8;
            },
            5s, idle));

        Click(editor, "PageSelectorOsc");
        test::PumpUntil([] { return false; }, 80ms, idle);
        const std::vector<std::uint32_t> before = PageArea(editor);
        Click(editor, "PageSelectorFX");
        EXPECT_TRUE(test::PumpUntil([&] { return PageArea(editor) != before; }, 3s, idle))
            << "the effects page did not come to the front";

        if (round % 10 == 9) {
            // A host that destroys its window first: the editor lets go of its window quietly.
            parent.Destroy();
            test::PumpMessages(20ms);
            plugin.Dispatch(vst2::effEditIdle);
        }
        plugin.Dispatch(vst2::effEditClose);
        if (parent.Handle()) {
            EXPECT_EQ(GetWindow(parent.Handle(), GW_CHILD), nullptr) << "closing destroys the editor's window";
        }
        plugin.Unload();
    }
}

} // namespace
} // namespace quillon
