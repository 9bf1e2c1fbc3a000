// The editor in a host's window on a private X server: Quillon.so loaded through dlopen as a host loads it,
// its editor embedded in a parent window of the test's own connection, idled as hosts idle it, clicked and
// dragged through XTest, opened and closed many times, and its parent destroyed under it.
#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUI.h"
#include "files/ParameterIndex.h"
#include "hostkit/TPluginHost.h"
#include "support/XTestHost.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>

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

// What the editor shows headless, right after opening, for a fresh plug-in.
std::vector<std::uint32_t> HeadlessPicture() {
    auto host = [](vst2::AEffect*, VstInt32 opcode, VstInt32, vst2::VstIntPtr, void*, float) -> vst2::VstIntPtr {
        return opcode == vst2::audioMasterVersion ? 2400 : 0;
    };
    TCustomVSTMidiPlugin plugin(host);
    TPluginGUI form(plugin);
    form.initNonAutomatedControls();
    form.ReadLatestValues();
    form.updateAll();
    TPixelBuffer buffer(kWidth, kHeight);
    form.Paint(buffer, true);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels.push_back(buffer.At(x, y) & kRgbMask);
    return pixels;
}

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::XvfbServer::FindXvfb().empty()) GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        server = std::make_unique<test::XvfbServer>();
        ASSERT_TRUE(server->Running());
        x = std::make_unique<test::XHost>();
        ASSERT_TRUE(plugin.Load(QUILLON_PLUGIN_PATH)) << plugin.Error();
        plugin.Open();
    }
    void TearDown() override {
        if (plugin.IsLoaded()) plugin.Dispatch(vst2::effEditClose);
        plugin.Unload();
    }

    void OpenIn(xcb_window_t parent) {
        ASSERT_EQ(plugin.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})), 1);
    }
    // Idles as a host does until the window shows `expected` or the deadline passes.
    bool IdleUntilShown(xcb_window_t parent, const std::vector<std::uint32_t>& expected,
                        std::chrono::milliseconds period = 20ms) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            plugin.Dispatch(vst2::effEditIdle);
            if (x->ReadBack(parent, kWidth, kHeight) == expected) return true;
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

    std::unique_ptr<test::XvfbServer> server;
    std::unique_ptr<test::XHost> x;
    TPluginHost plugin;
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
    // The oscillator page's selector, then the oscillator level knob (page at 83, 29; knob at 35, 320).
    const int pageX = 18 + 28, pageY = 75 + 26;
    const int knobX = 83 + 35 + 12, knobY = 29 + 320 + 12;
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
    x->MoveTo(knobX, knobY + 40); // down: the level starts at its top
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
