// The editor in a host's window on a private X server: Quillon.so loaded through dlopen as a host loads it,
// its editor embedded in a parent window of the test's own connection, idled as hosts idle it, clicked and
// dragged through XTest, opened and closed many times, and its parent destroyed under it.
#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUI.h"
#include "files/ParameterIndex.h"
#include "hostkit/TPluginHost.h"
#include "support/EmbeddedEditorFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace quillon {
namespace {

using namespace std::chrono_literals;
using vst2::VstInt32;

constexpr int kWidth = TPluginGUI::kWidth;
constexpr int kHeight = TPluginGUI::kHeight;

std::size_t EntriesIn(const char* folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

constexpr VstInt32 kScaleMessage = 0x50726553;    // 'PreS'
constexpr VstInt32 kAltScaleMessage = 0x41654373; // 'AeCs'

// What the editor shows headless, right after opening, for a fresh plug-in.
std::vector<std::uint32_t> HeadlessPicture(int scale = 1) {
    auto host = [](vst2::AEffect*, VstInt32 opcode, VstInt32, vst2::VstIntPtr, void*, float) -> vst2::VstIntPtr {
        return opcode == vst2::audioMasterVersion ? 2400 : 0;
    };
    TCustomVSTMidiPlugin plugin(host);
    TPluginGUI form(plugin, scale);
    form.initNonAutomatedControls();
    form.ReadLatestValues();
    form.updateAll();
    TPixelBuffer buffer(kWidth * scale, kHeight * scale);
    form.Paint(buffer, true);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < buffer.Height(); ++y)
        for (int x = 0; x < buffer.Width(); ++x)
            pixels.push_back(buffer.At(x, y) & kRgbMask);
    return pixels;
}

class EditorWindowTest : public test::TEmbeddedEditorFixture {
protected:
    void OpenIn(xcb_window_t parent) {
        ASSERT_EQ(plugin.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})), 1);
    }
    // Idles as a host does until the window shows `expected` or the deadline passes.
    bool IdleUntilShown(xcb_window_t parent, const std::vector<std::uint32_t>& expected,
                        std::chrono::milliseconds period = 20ms, int scale = 1) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            plugin.Dispatch(vst2::effEditIdle);
            if (x->ReadBack(parent, kWidth * scale, kHeight * scale) == expected) return true;
            std::this_thread::sleep_for(period);
        }
        return false;
    }
    void IdleFor(std::chrono::milliseconds time, std::chrono::milliseconds period = 10ms) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            plugin.Dispatch(vst2::effEditIdle);
            std::this_thread::sleep_for(period);
        }
    }

    // Clicks the oscillator page's selector, then drags the oscillator level knob (page at 83, 29; knob at
    // 35, 320) down through the server, in the device pixels of an editor at `scale`.
    void DragOscillatorLevel(int scale) {
        const int pageX = (18 + 28) * scale, pageY = (75 + 26) * scale;
        const int knobX = (83 + 35 + 12) * scale, knobY = (29 + 320 + 12) * scale;
        x->MoveTo(pageX, pageY);
        x->Button(true, 1);
        x->Button(false, 1);
        xcb_flush(x->Connection());
        IdleFor(100ms);
        const float before = plugin.Parameter(kOscLevel);
        x->MoveTo(knobX, knobY);
        x->Button(true, 1);
        xcb_flush(x->Connection());
        IdleFor(50ms);
        x->MoveTo(knobX, knobY + 40 * scale); // down: the level starts at its top
        xcb_flush(x->Connection());
        IdleFor(50ms);
        x->Button(false, 1);
        xcb_flush(x->Connection());
        IdleFor(100ms);
        EXPECT_NE(plugin.Parameter(kOscLevel), before);
        bool automated = false;
        for (const auto& call : plugin.Automations())
            automated = automated || call.index == kOscLevel;
        EXPECT_TRUE(automated);
    }

    std::pair<int, int> EditorSize() {
        const auto rect = plugin.EditorRect().rect;
        return rect ? std::pair{rect->right - rect->left, rect->bottom - rect->top} : std::pair{0, 0};
    }
};

TEST_F(EditorWindowTest, ShowsInTheHostsWindowWhatItDrawsHeadlessAtEveryIdleRate) {
    const std::vector<std::uint32_t> expected = HeadlessPicture();
    plugin.Dispatch(vst2::effEditIdle); // idle before open does nothing
    const xcb_window_t parent = x->MakeParent(kWidth, kHeight);
    OpenIn(parent);
    EXPECT_EQ(plugin.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})), 1);
    EXPECT_TRUE(IdleUntilShown(parent, expected, 5ms));
    IdleFor(300ms, 66ms);
    EXPECT_TRUE(IdleUntilShown(parent, expected, 66ms));
}

TEST_F(EditorWindowTest, AClickAndADragThroughTheServerReachTheHostAsAutomation) {
    const xcb_window_t parent = x->MakeParent(kWidth, kHeight);
    OpenIn(parent);
    IdleFor(100ms);
    DragOscillatorLevel(1);
}

TEST_F(EditorWindowTest, AtTwiceTheScaleTheWindowIsTwiceAsLargeAndTakesClicksInDevicePixels) {
    EXPECT_EQ(EditorSize(), (std::pair{kWidth, kHeight}));
    EXPECT_EQ(plugin.Dispatch(vst2::effVendorSpecific, kScaleMessage, 0, nullptr, 2.0f), 1);
    EXPECT_EQ(EditorSize(), (std::pair{2 * kWidth, 2 * kHeight}));
    const xcb_window_t parent = x->MakeParent(2 * kWidth, 2 * kHeight);
    OpenIn(parent);
    EXPECT_TRUE(IdleUntilShown(parent, HeadlessPicture(2), 20ms, 2));
    EXPECT_EQ(EditorSize(), (std::pair{2 * kWidth, 2 * kHeight}));
    DragOscillatorLevel(2);
}

TEST_F(EditorWindowTest, AScaleMessageWhileOpenResizesTheWindowOnlyWhenTheHostCanFollow) {
    const xcb_window_t parent = x->MakeParent(2 * kWidth, 2 * kHeight);
    OpenIn(parent);
    IdleFor(50ms);
    std::vector<std::pair<int, int>> asked;
    plugin.OnSizeWindow = [&asked](int width, int height) {
        asked.emplace_back(width, height);
        return true;
    };
    EXPECT_EQ(plugin.Dispatch(vst2::effVendorSpecific, kAltScaleMessage, 0, nullptr, 1.75f), 1);
    EXPECT_EQ(asked, (std::vector{std::pair{2 * kWidth, 2 * kHeight}}));
    EXPECT_EQ(EditorSize(), (std::pair{2 * kWidth, 2 * kHeight}));
    EXPECT_TRUE(IdleUntilShown(parent, HeadlessPicture(2), 20ms, 2));

    // A host that cannot resize its window: the editor keeps its size until it is opened again.
    plugin.OnSizeWindow = nullptr;
    plugin.Dispatch(vst2::effVendorSpecific, kScaleMessage, 0, nullptr, 1.0f);
    EXPECT_EQ(EditorSize(), (std::pair{2 * kWidth, 2 * kHeight}));
    IdleFor(30ms);
    plugin.Dispatch(vst2::effEditClose);
    EXPECT_EQ(EditorSize(), (std::pair{kWidth, kHeight}));
    OpenIn(parent);
    EXPECT_TRUE(IdleUntilShown(parent, HeadlessPicture(1)));
}

TEST_F(EditorWindowTest, ManyOpenAndCloseCyclesLeaveNoDescriptorOrThreadBehind) {
    const xcb_window_t parent = x->MakeParent(kWidth, kHeight);
    OpenIn(parent);
    IdleFor(30ms);
    plugin.Dispatch(vst2::effEditClose);
    const std::size_t descriptors = EntriesIn("/proc/self/fd");
    const std::size_t threads = EntriesIn("/proc/self/task");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kCycles = 30; // the sanitizers make each cycle ten times slower
#else
    constexpr int kCycles = 300;
#endif
    for (int i = 0; i < kCycles; ++i) {
        OpenIn(parent);
        plugin.Dispatch(vst2::effEditIdle);
        plugin.Dispatch(vst2::effEditClose);
    }
    EXPECT_EQ(EntriesIn("/proc/self/fd"), descriptors);
    EXPECT_EQ(EntriesIn("/proc/self/task"), threads);
}

TEST_F(EditorWindowTest, ThePlugInClosedWithItsEditorOpenTakesTheWindowAway) {
    const xcb_window_t parent = x->MakeParent(kWidth, kHeight);
    OpenIn(parent);
    IdleFor(50ms);
    const auto children = [&] {
        const test::XcbPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(x->Connection(), xcb_query_tree(x->Connection(), parent), nullptr));
        return tree ? xcb_query_tree_children_length(tree.get()) : -1;
    };
    EXPECT_EQ(children(), 1);
    plugin.Unload(); // effClose without effEditClose, as some hosts do
    x->Sync();
    EXPECT_EQ(children(), 0);
}

TEST_F(EditorWindowTest, AParentDestroyedFirstEndsTheWindowQuietlyAndANewOneWorks) {
    const xcb_window_t parent = x->MakeParent(kWidth, kHeight);
    OpenIn(parent);
    IdleFor(50ms);
    xcb_destroy_window(x->Connection(), parent);
    x->Sync();
    IdleFor(50ms);
    plugin.Dispatch(vst2::effEditClose);
    plugin.Dispatch(vst2::effEditClose); // closing twice is harmless

    const xcb_window_t next = x->MakeParent(kWidth, kHeight);
    OpenIn(next);
    EXPECT_TRUE(IdleUntilShown(next, HeadlessPicture()));
}

} // namespace
} // namespace quillon
