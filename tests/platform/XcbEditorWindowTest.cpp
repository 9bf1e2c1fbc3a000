// The editor's X11 window against a private Xvfb: what a host's window shows after a present, input
// injected with XTest, focus, the parent or the server going away first, and that nothing leaks.
#include "platform/x11/TXcbEditorWindow.h"
#include "support/ScopedEnvironment.h"
#include "support/XTestHost.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

using namespace quillon;
using platform::EditorWindowError;
using platform::NamedKey;
using platform::PixelRect;
using platform::TXcbEditorWindow;
using platform::WindowEvent;
using platform::WindowEventType;

namespace {

constexpr auto kDeadline = std::chrono::seconds(5);

using Host = test::XHost;
using test::kParentX;
using test::kParentY;
template <typename T> using XcbPtr = test::XcbPtr<T>;

std::vector<std::uint32_t> Pattern(int width, int height, std::uint32_t seed) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                ((x * 7 + seed) & 0xff) << 16 | ((y * 3) & 0xff) << 8 | ((x ^ y ^ seed) & 0xff);
    }
    return pixels;
}

platform::PixelView View(const std::vector<std::uint32_t>& pixels, int width, int height) {
    return {pixels.data(), width, height, width};
}

// Polls until `done` holds for the events gathered so far, or the deadline passes.
std::vector<WindowEvent> PollUntil(platform::IEditorWindow& window,
                                   const std::function<bool(const std::vector<WindowEvent>&)>& done) {
    std::vector<WindowEvent> events;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        window.PollEvents(events);
        if (done(events)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return events;
}

auto Has(WindowEventType type) {
    return [type](const std::vector<WindowEvent>& events) {
        return std::any_of(events.begin(), events.end(), [type](const WindowEvent& e) { return e.type == type; });
    };
}

std::vector<WindowEvent> Only(const std::vector<WindowEvent>& events, WindowEventType type) {
    std::vector<WindowEvent> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [type](const WindowEvent& e) { return e.type == type; });
    return found;
}

// Reads the window back until it shows `expected` (the server handles the two connections in its own order).
bool ShowsEventually(const Host& host, xcb_window_t window, int width, int height,
                     const std::vector<std::uint32_t>& expected) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        if (host.ReadBack(window, width, height) == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::size_t EntriesIn(const char* folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

class XcbEditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::XvfbServer::FindXvfb().empty())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb); the X11 window tests need it";
        // A 1 MiB request limit makes large presents go out in several bands.
        server = std::make_unique<test::XvfbServer>(ServerArguments());
        ASSERT_TRUE(server->Running()) << "Xvfb did not start";
        host = std::make_unique<Host>();
    }
    virtual std::vector<std::string> ServerArguments() const { return {"-maxbigreqsize", "1"}; }

    std::unique_ptr<TXcbEditorWindow> Open(xcb_window_t parent, int width, int height, bool sharedMemory = true) {
        EditorWindowError error = EditorWindowError::kNone;
        auto window = TXcbEditorWindow::Open(parent, width, height, {sharedMemory}, &error);
        EXPECT_EQ(error, EditorWindowError::kNone);
        return window;
    }

    std::unique_ptr<test::XvfbServer> server;
    std::unique_ptr<Host> host;
};

class XcbEditorWindowWithoutShmTest : public XcbEditorWindowTest {
    std::vector<std::string> ServerArguments() const override { return {"-extension", "MIT-SHM"}; }
};

void ExpectPresentsShow(Host& host, TXcbEditorWindow& window) {
    int width = window.Width();
    int height = window.Height();
    const auto expose = PollUntil(window, Has(WindowEventType::kExpose));
    ASSERT_EQ(Only(expose, WindowEventType::kExpose).size(), 1U) << "exposures come merged";
    EXPECT_EQ(Only(expose, WindowEventType::kExpose)[0].area, (PixelRect{0, 0, width, height}));

    std::vector<std::uint32_t> pixels = Pattern(width, height, 1);
    const PixelRect all{0, 0, width, height};
    window.Present(View(pixels, width, height), {&all, 1});
    EXPECT_TRUE(ShowsEventually(host, window.WindowId(), width, height, pixels));

    // Two presents in a row: the second may not write the segment the first is still being read from.
    const std::vector<std::uint32_t> before = pixels;
    pixels = Pattern(width, height, 2);
    const PixelRect parts[] = {{10, 5, 20, 30}, {width - 8, height - 4, 50, 50}, {-5, -5, 3, 3}};
    window.Present(View(pixels, width, height), parts);
    pixels[0] = 0x123456;
    const PixelRect corner{0, 0, 1, 1};
    window.Present(View(pixels, width, height), {&corner, 1});
    std::vector<std::uint32_t> expected = before;
    for (const PixelRect& part : {parts[0], parts[1], corner}) {
        for (int y = part.y; y < std::min(part.y + part.height, height); ++y) {
            for (int x = part.x; x < std::min(part.x + part.width, width); ++x)
                expected[static_cast<std::size_t>(y) * width + x] = pixels[static_cast<std::size_t>(y) * width + x];
        }
    }
    EXPECT_TRUE(ShowsEventually(host, window.WindowId(), width, height, expected));

    // Larger: the new area is exposed and the presents use the new size.
    window.Resize(width + 60, height + 40);
    width = window.Width();
    height = window.Height();
    const auto grown = PollUntil(window, Has(WindowEventType::kExpose));
    ASSERT_FALSE(Only(grown, WindowEventType::kExpose).empty());
    pixels = Pattern(width, height, 3);
    const PixelRect grownAll{0, 0, width, height};
    window.Present(View(pixels, width, height), {&grownAll, 1});
    EXPECT_TRUE(ShowsEventually(host, window.WindowId(), width, height, pixels));
    EXPECT_EQ(window.Counters().serverErrors, 0U);
}

} // namespace

TEST_F(XcbEditorWindowTest, EmbedsInTheParentAndShowsWhatIsPresentedWithAndWithoutSharedMemory) {
    const xcb_window_t parent = host->MakeParent(400, 300);
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "MIT-SHM" : "PutImage");
        auto window = Open(parent, 240, 160, shared);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->UsesSharedMemory(), shared);

        ExpectPresentsShow(*host, *window);
        // The window exists for other clients now: it was exposed.
        const XcbPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(host->Connection(), xcb_query_tree(host->Connection(), window->WindowId()), nullptr));
        ASSERT_TRUE(tree);
        EXPECT_EQ(tree->parent, parent);
        const xcb_atom_t info = host->Atom("_XEMBED_INFO");
        const XcbPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
            host->Connection(), xcb_get_property(host->Connection(), 0, window->WindowId(), info, info, 0, 2),
            nullptr));
        ASSERT_TRUE(property);
        ASSERT_EQ(xcb_get_property_value_length(property.get()), 8);
        const auto* words = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
        EXPECT_EQ(words[0], 0U); // version
        EXPECT_EQ(words[1], 1U); // XEMBED_MAPPED

        if (shared) {
            EXPECT_GT(window->Counters().sharedPuts, 0U);
            EXPECT_GT(window->Counters().sharedBusy, 0U);
        } else {
            EXPECT_EQ(window->Counters().sharedPuts, 0U);
        }
    }
}

TEST_F(XcbEditorWindowWithoutShmTest, ADisplayWithoutSharedMemoryGetsPlainPuts) {
    auto window = Open(host->MakeParent(400, 300), 200, 120);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->UsesSharedMemory());
    ExpectPresentsShow(*host, *window);
    EXPECT_EQ(window->Counters().sharedPuts, 0U);
}

TEST_F(XcbEditorWindowTest, AWindowLargerThanOneRequestGoesOutInBands) {
    constexpr int kWidth = 1600;
    constexpr int kHeight = 1112;
    auto window = Open(host->MakeParent(kWidth, kHeight), kWidth, kHeight, false);
    ASSERT_TRUE(window);
    const std::size_t bytes = std::size_t{kWidth} * kHeight * 4;
    ASSERT_LT(window->MaxPutBytes(), bytes);
    const std::vector<std::uint32_t> pixels = Pattern(kWidth, kHeight, 9);
    const PixelRect all{0, 0, kWidth, kHeight};
    window->Present(View(pixels, kWidth, kHeight), {&all, 1});
    EXPECT_GE(window->Counters().plainPuts, (bytes + window->MaxPutBytes() - 1) / window->MaxPutBytes());
    EXPECT_TRUE(ShowsEventually(*host, window->WindowId(), kWidth, kHeight, pixels));
    std::vector<WindowEvent> events;
    window->PollEvents(events);
    EXPECT_FALSE(Has(WindowEventType::kDestroyed)(events)) << "a request over the limit ends the connection";
    EXPECT_EQ(window->Counters().serverErrors, 0U);
}

TEST_F(XcbEditorWindowTest, ClicksDragsAndTheWheelArriveInWindowCoordinatesWithMotionMerged) {
    auto window = Open(host->MakeParent(400, 300), 240, 160);
    ASSERT_TRUE(window);
    PollUntil(*window, Has(WindowEventType::kExpose));

    host->MoveTo(30, 40);
    host->Key(true, 0xffe3); // Control_L
    host->Button(true, 1);
    for (int step = 1; step <= 20; ++step)
        host->MoveTo(30 + step, 40 + step / 2);
    host->Button(false, 1);
    host->Key(false, 0xffe3);
    host->Button(true, 4);
    host->Button(false, 4);
    xcb_flush(host->Connection());

    const auto events = PollUntil(*window, Has(WindowEventType::kWheel));
    const auto downs = Only(events, WindowEventType::kMouseDown);
    const auto ups = Only(events, WindowEventType::kMouseUp);
    const auto moves = Only(events, WindowEventType::kMouseMove);
    const auto wheels = Only(events, WindowEventType::kWheel);
    ASSERT_EQ(downs.size(), 1U);
    ASSERT_EQ(ups.size(), 1U);
    ASSERT_EQ(wheels.size(), 1U);
    EXPECT_EQ(downs[0].button, platform::MouseButton::kLeft);
    EXPECT_EQ(std::pair(downs[0].x, downs[0].y), std::pair(30, 40));
    EXPECT_TRUE(downs[0].control);
    EXPECT_FALSE(downs[0].shift);
    EXPECT_EQ(std::pair(ups[0].x, ups[0].y), std::pair(50, 50));
    EXPECT_EQ(wheels[0].wheelSteps, 1);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(std::pair(moves.back().x, moves.back().y), std::pair(50, 50));
    EXPECT_LT(moves.size(), 20U) << "consecutive motion comes as its last position";
}

TEST_F(XcbEditorWindowTest, KeysArriveAsCharactersAndNamedKeysWhileTheWindowHasTheFocus) {
    const xcb_window_t parent = host->MakeParent(400, 300);
    auto window = Open(parent, 240, 160);
    ASSERT_TRUE(window);
    window->TakeKeyboardFocus();
    ASSERT_TRUE(Has(WindowEventType::kFocusIn)(PollUntil(*window, Has(WindowEventType::kFocusIn))));

    host->Type('a');
    host->Type('a', 0xffe1); // Shift_L
    host->Type('a', 0xffe3); // Control_L
    host->Type('1', 0xffe1);
    host->Type(0xff08);
    host->Type(0xff0d);
    host->Type(0xff1b);
    host->Type(0xff51);
    host->Type(0xff53);
    host->Type(0xffff);
    host->Type(0xff50);
    host->Type(0xff57);
    host->Type(0xff09);
    // An embedder forwards keys with SendEvent.
    xcb_key_press_event_t forwarded{};
    forwarded.response_type = XCB_KEY_PRESS;
    forwarded.detail = host->KeycodeFor('b');
    forwarded.event = window->WindowId();
    forwarded.root = host->Screen()->root;
    forwarded.same_screen = 1;
    xcb_send_event(host->Connection(), 0, window->WindowId(), XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&forwarded));
    xcb_flush(host->Connection());

    constexpr std::size_t kExpected = 14;
    const auto events = PollUntil(*window, [](const std::vector<WindowEvent>& got) {
        return Only(got, WindowEventType::kKeyDown).size() >= kExpected;
    });
    const auto downs = Only(events, WindowEventType::kKeyDown);
    ASSERT_EQ(downs.size(), kExpected);
    const std::pair<std::uint8_t, bool> characters[] = {{'a', false}, {'A', false}, {'a', true}, {'!', false}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(downs[i].character, characters[i].first) << i;
        EXPECT_EQ(downs[i].key, NamedKey::kNone) << i;
        EXPECT_EQ(downs[i].control, characters[i].second) << i;
    }
    EXPECT_TRUE(downs[1].shift);
    const NamedKey named[] = {NamedKey::kBackspace, NamedKey::kEnter, NamedKey::kEscape,
                              NamedKey::kLeft,      NamedKey::kRight, NamedKey::kDelete,
                              NamedKey::kHome,      NamedKey::kEnd,   NamedKey::kTab};
    for (std::size_t i = 0; i < std::size(named); ++i) {
        EXPECT_EQ(downs[4 + i].key, named[i]) << i;
        EXPECT_EQ(downs[4 + i].character, 0) << i;
    }
    EXPECT_EQ(downs.back().character, 'b');
    EXPECT_EQ(Only(events, WindowEventType::kKeyUp).size(), kExpected - 1);

    window->ReturnKeyboardFocus();
    EXPECT_TRUE(Has(WindowEventType::kFocusOut)(PollUntil(*window, Has(WindowEventType::kFocusOut))));
    const XcbPtr<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(host->Connection(), xcb_get_input_focus(host->Connection()), nullptr));
    EXPECT_EQ(focus->focus, parent);

    // The embedder's word: focus while its top-level window is active.
    host->SendEmbedMessage(window->WindowId(), 4); // XEMBED_FOCUS_IN
    host->SendEmbedMessage(window->WindowId(), 2); // XEMBED_WINDOW_DEACTIVATE
    host->SendEmbedMessage(window->WindowId(), 1); // XEMBED_WINDOW_ACTIVATE
    host->SendEmbedMessage(window->WindowId(), 5); // XEMBED_FOCUS_OUT
    const auto embedded = PollUntil(*window, [](const std::vector<WindowEvent>& got) { return got.size() >= 4; });
    std::vector<WindowEventType> types;
    for (const WindowEvent& event : embedded)
        types.push_back(event.type);
    EXPECT_EQ(types, (std::vector{WindowEventType::kFocusIn, WindowEventType::kFocusOut, WindowEventType::kFocusIn,
                                  WindowEventType::kFocusOut}));
}

TEST_F(XcbEditorWindowTest, ThreeHundredWindowsLeaveNoDescriptorThreadOrWindowBehind) {
    const xcb_window_t parent = host->MakeParent(400, 300);
    const std::vector<std::uint32_t> pixels = Pattern(64, 48, 4);
    const PixelRect all{0, 0, 64, 48};
    const auto cycle = [&] {
        auto window = Open(parent, 64, 48);
        ASSERT_TRUE(window);
        window->SetCursor(platform::WindowCursor::kHand);
        window->Present(View(pixels, 64, 48), {&all, 1});
        std::vector<WindowEvent> events;
        window->PollEvents(events);
    };
    cycle();
    const std::size_t descriptors = EntriesIn("/proc/self/fd");
    const std::size_t threads = EntriesIn("/proc/self/task");
    for (int i = 0; i < 300; ++i)
        cycle();
    EXPECT_EQ(EntriesIn("/proc/self/fd"), descriptors);
    EXPECT_EQ(EntriesIn("/proc/self/task"), threads);
    host->Sync();
    const XcbPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(host->Connection(), xcb_query_tree(host->Connection(), parent), nullptr));
    EXPECT_EQ(tree->children_len, 0);
}

TEST_F(XcbEditorWindowTest, AParentDestroyedFirstOrAServerGoneEndsTheWindowOnce) {
    const xcb_window_t parent = host->MakeParent(400, 300);
    auto window = Open(parent, 240, 160);
    ASSERT_TRUE(window);
    auto other = Open(host->MakeParent(200, 100), 100, 80);
    ASSERT_TRUE(other);

    xcb_destroy_window(host->Connection(), parent);
    xcb_flush(host->Connection());
    auto events = PollUntil(*window, Has(WindowEventType::kDestroyed));
    EXPECT_EQ(Only(events, WindowEventType::kDestroyed).size(), 1U);
    EXPECT_EQ(events.back().type, WindowEventType::kDestroyed);

    // From now on nothing is sent or reported.
    const std::vector<std::uint32_t> pixels = Pattern(240, 160, 5);
    const PixelRect all{0, 0, 240, 160};
    const platform::XcbWindowCounters before = window->Counters();
    window->Present(View(pixels, 240, 160), {&all, 1});
    window->SetCursor(platform::WindowCursor::kHand);
    window->TakeKeyboardFocus();
    window->ReturnKeyboardFocus();
    window->Resize(300, 200);
    events.clear();
    window->PollEvents(events);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(window->Counters().sharedPuts + window->Counters().plainPuts, before.sharedPuts + before.plainPuts);
    window.reset();

    // The display itself goes away.
    server->Stop();
    events = PollUntil(*other, Has(WindowEventType::kDestroyed));
    EXPECT_EQ(Only(events, WindowEventType::kDestroyed).size(), 1U);
    other->Present(View(pixels, 240, 160), {&all, 1});
    other->TakeKeyboardFocus();
    const auto start = std::chrono::steady_clock::now();
    other.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(XcbEditorWindowTest, OpeningFailsCleanlyWithoutAParentOrADisplay) {
    const xcb_window_t gone = host->MakeParent(100, 100);
    xcb_destroy_window(host->Connection(), gone);
    host->Sync();
    EditorWindowError error = EditorWindowError::kNone;
    EXPECT_EQ(platform::CreateEditorWindow(gone, 100, 100, &error), nullptr);
    EXPECT_EQ(error, EditorWindowError::kParentMissing);
    EXPECT_EQ(platform::CreateEditorWindow(0, 100, 100, &error), nullptr);
    EXPECT_EQ(error, EditorWindowError::kParentMissing);
    // Once the host made it, the next try succeeds.
    EXPECT_NE(platform::CreateEditorWindow(host->MakeParent(100, 100), 100, 100, &error), nullptr);
    EXPECT_EQ(error, EditorWindowError::kNone);

    test::ScopedEnvironment environment;
    environment.Set("DISPLAY", "/nonexistent/quillon-test-display:0");
    EXPECT_EQ(platform::CreateEditorWindow(0x3fffff, 100, 100, &error), nullptr);
    EXPECT_EQ(error, EditorWindowError::kNoDisplay);
    EXPECT_EQ(platform::PreferredDisplayScale(), 1);
}

TEST_F(XcbEditorWindowTest, TheDisplayScaleFollowsXftDpi) {
    EXPECT_EQ(platform::XftDpiFromResources("Xft.dpi:\t96\n"), 96);
    EXPECT_EQ(platform::XftDpiFromResources("Xcursor.size:\t24\n  Xft.dpi :  192.5  \nXft.antialias:\t1"), 192.5);
    EXPECT_EQ(platform::XftDpiFromResources("Xft.dpiX:\t192\nXft.dpi:\thigh\n"), 0);
    EXPECT_EQ(platform::XftDpiFromResources(""), 0);
    EXPECT_EQ(platform::DisplayScaleForDpi(0), 1);
    EXPECT_EQ(platform::DisplayScaleForDpi(96), 1);
    EXPECT_EQ(platform::DisplayScaleForDpi(143.9), 1);
    EXPECT_EQ(platform::DisplayScaleForDpi(144), 2);
    EXPECT_EQ(platform::DisplayScaleForDpi(288), 2);

    EXPECT_EQ(platform::PreferredDisplayScale(), 1) << "no resources at all";
    const std::string resources = "Xft.antialias:\t1\nXft.dpi:\t144\n";
    xcb_change_property(host->Connection(), XCB_PROP_MODE_REPLACE, host->Screen()->root, XCB_ATOM_RESOURCE_MANAGER,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(resources.size()), resources.data());
    host->Sync();
    EXPECT_EQ(platform::PreferredDisplayScale(), 2);
}
