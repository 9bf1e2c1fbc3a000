// Quillon.dll's editor in a Win32 parent window, as a host opens it, again and again: load the DLL, open the
// editor, wait for the skin on the screen, click a page selector, close (or destroy the parent first),
// unload; half of the rounds with a host that never sends effEditIdle.
#include "editor/LayoutTable.h"
#include "host/vst2.h"

#include "support/win32/TestWindows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quillon {
namespace {

using namespace std::chrono_literals;

vst2::VstIntPtr TestHost(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

std::wstring PluginPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + L"Quillon.dll";
}

// A coarse picture of the window's right part (the page area): every 16th pixel.
std::vector<std::uint32_t> PageArea(HWND window) {
    std::vector<std::uint32_t> samples;
    const HDC dc = GetDC(window);
    for (int y = 60; y < 540; y += 16)
        for (int x = 100; x < 790; x += 16)
            samples.push_back(static_cast<std::uint32_t>(GetPixel(dc, x, y)));
    ReleaseDC(window, dc);
    return samples;
}

// The centre of a control on the editor's chassis.
POINT CentreOf(const char* id) {
    const TControlLayout* control = FindControl(id);
    EXPECT_NE(control, nullptr) << id;
    if (!control) return {0, 0};
    return {control->rect.x + control->rect.w / 2, control->rect.y + control->rect.h / 2};
}

class TLoadedPlugin {
public:
    TLoadedPlugin() : module_(LoadLibraryW(PluginPath().c_str())) {
        if (!module_) return;
        const auto main = reinterpret_cast<vst2::VstPluginMainProc>(
            reinterpret_cast<void*>(GetProcAddress(module_, "VSTPluginMain")));
        if (main) effect_ = main(&TestHost);
        if (effect_) Dispatch(vst2::effOpen);
    }
    ~TLoadedPlugin() {
        if (effect_) Dispatch(vst2::effClose);
        if (module_) FreeLibrary(module_);
    }
    TLoadedPlugin(const TLoadedPlugin&) = delete;
    TLoadedPlugin& operator=(const TLoadedPlugin&) = delete;

    vst2::AEffect* Effect() const { return effect_; }
    vst2::VstIntPtr Dispatch(vst2::VstInt32 opcode, vst2::VstIntPtr value = 0, void* ptr = nullptr) {
        return effect_->dispatcher(effect_, opcode, 0, value, ptr, 0.0f);
    }

private:
    HMODULE module_;
    vst2::AEffect* effect_ = nullptr;
};

void Click(HWND window, POINT at) {
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

TEST(Win32PluginEditor, OpensDrawsTurnsPagesAndClosesFiftyTimesInARow) {
    const POINT oscillator = CentreOf("PageSelectorOsc");
    const POINT effects = CentreOf("PageSelectorFX");
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TLoadedPlugin plugin;
        ASSERT_NE(plugin.Effect(), nullptr);
        ASSERT_NE(plugin.Effect()->flags & vst2::effFlagsHasEditor, 0);
        vst2::ERect* rect = nullptr;
        plugin.Dispatch(vst2::effEditGetRect, 0, &rect);
        ASSERT_NE(rect, nullptr);
        ASSERT_EQ(rect->right - rect->left, 800);
        ASSERT_EQ(rect->bottom - rect->top, 556);

        test::TTestParentWindow parent(800, 556);
        ASSERT_EQ(plugin.Dispatch(vst2::effEditOpen, 0, parent.Handle()), 1);
        const HWND editor = GetWindow(parent.Handle(), GW_CHILD);
        ASSERT_NE(editor, nullptr);
        // Every other round the host never idles: the editor's own timer has to do all of it.
        const bool hostIdles = round % 2 == 0;
        const auto idle = [&] {
            if (hostIdles) plugin.Dispatch(vst2::effEditIdle);
        };

        // The skin arrives: many colours, not a black window.
        ASSERT_TRUE(test::PumpUntil(
            [&] {
                const std::vector<std::uint32_t> samples = PageArea(editor);
                return std::set<std::uint32_t>(samples.begin(), samples.end()).size() > 8;
            },
            5s, idle));

        Click(editor, oscillator);
        test::PumpMessages(40ms);
        idle();
        test::PumpMessages(40ms);
        const std::vector<std::uint32_t> before = PageArea(editor);
        Click(editor, effects);
        EXPECT_TRUE(test::PumpUntil([&] { return PageArea(editor) != before; }, 3s, idle))
            << "the effects page did not come to the front";

        if (round % 10 == 9) {
            // A host that destroys its window first: the editor lets go of its window quietly.
            parent.Destroy();
            test::PumpMessages(20ms);
            plugin.Dispatch(vst2::effEditIdle);
            plugin.Dispatch(vst2::effEditClose);
            continue;
        }
        plugin.Dispatch(vst2::effEditClose);
        EXPECT_EQ(GetWindow(parent.Handle(), GW_CHILD), nullptr) << "closing destroys the editor's window";
        parent.Destroy();
        test::PumpMessages(1ms);
    }
}

} // namespace
} // namespace quillon
