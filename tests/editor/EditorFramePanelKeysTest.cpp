// The editor in a window on a private X server with a panel open: the window takes the keyboard, so keys
// typed through the server answer the panel; once the user gives the keyboard to the host the editor leaves
// it there, until a click into the editor.
#include "editor/TEditorFrame.h"
#include "editor/TPluginGUI.h"
#include "support/PluginFixture.h"
#include "support/XTestHost.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace quillon::test {
namespace {

class EditorFramePanelKeysTest : public TPluginFixture {
protected:
    void SetUp() override {
        if (XvfbServer::FindXvfb().empty()) GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        server = std::make_unique<XvfbServer>();
        ASSERT_TRUE(server->Running());
        x = std::make_unique<XHost>();
        Create();
    }
    void TearDown() override {
        frame.reset(); // before the plug-in goes
        TPluginFixture::TearDown();
    }
    void Idle(int times = 10) {
        for (int i = 0; i < times; ++i) {
            frame->PollInput();
            frame->Present();
            x->Sync();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    xcb_window_t Focus() const {
        const XcbPtr<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(x->Connection(), xcb_get_input_focus(x->Connection()), nullptr));
        return reply ? reply->focus : 0;
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<XHost> x;
    std::unique_ptr<TEditorFrame> frame;
};

TEST_F(EditorFramePanelKeysTest, APanelTakesTheKeyboardUntilTheUserGivesItElsewhere) {
    const xcb_window_t parent = x->MakeParent(TPluginGUI::kWidth, TPluginGUI::kHeight);
    frame = std::make_unique<TEditorFrame>(parent, *plugin);
    ASSERT_TRUE(frame->HasWindow());
    int cancels = 0;
    const auto choose = [&] {
        frame->Form().ChooseFolder(
            "Choose", [](const std::string&) {}, [&] { ++cancels; });
    };
    choose();
    Idle();
    x->Type(0xff1b); // Escape
    Idle();
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(frame->Form().ModalLayer().IsOpen());

    choose();
    Idle();
    const xcb_window_t other = x->MakeParent(40, 40); // another window of the host's
    xcb_set_input_focus(x->Connection(), XCB_INPUT_FOCUS_PARENT, other, XCB_CURRENT_TIME);
    Idle();
    EXPECT_EQ(Focus(), other); // not taken back
    x->Type(0xff1b);
    Idle();
    EXPECT_EQ(cancels, 1);
    x->MoveTo(60, 500); // a click on the editor beside the panel
    x->Button(true, 1);
    x->Button(false, 1);
    Idle();
    x->Type(0xff1b);
    Idle();
    EXPECT_EQ(cancels, 2);
}

} // namespace
} // namespace quillon::test
