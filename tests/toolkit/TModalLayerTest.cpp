// The modal layer and the message box: the top panel takes every mouse and key event, the controls below see
// none, a drag below ends cleanly, Enter and Escape choose the default and the cancel button, the result
// reaches the opener once after the panel left the stack, and the veil, the frame and the text are drawn.
#include "toolkit/TModalLayer.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"
#include "toolkit/TBADIBButton.h"
#include "toolkit/TMessageBox.h"
#include "toolkit/TPopupMenu.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quillon {
namespace {

using test::TestWindow;

TKeyEvent Press(TEditKey key) {
    return TKeyEvent{key, true, {}};
}

// A toggle over the whole window: state 2 after a click.
void FillWithToggle(TBADIBButton& button, TestWindow& window) {
    button.SetBounds(window.root.Bounds());
    button.ActiveRight = window.root.Width();
    button.ActiveBottom = window.root.Height();
    button.ButtonBehavior = TButtonBehavior::bbHold;
    window.root.Add(button);
}

struct TModalLayerTest : ::testing::Test {
    TestWindow window{240, 160};
    TModalLayer layer;
    std::vector<int> results; // every result the openers got

    TModalLayerTest() {
        layer.Style.atlas = &test::TestGlyphAtlas();
        window.root.SetModalLayer(&layer);
    }

    TMessageBox& Show(TMsgButtons buttons, const char* text = "Io go") {
        return TMessageBox::Show(layer, "Io", text, buttons, [this](int result) { results.push_back(result); });
    }
    void Click(int x, int y) {
        window.Down(x, y);
        window.Up(x, y);
    }
    void ClickButton(const TMessageBox& box, int index) {
        const TRect r = box.ButtonRect(index);
        Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
};

TEST_F(TModalLayerTest, TheTopPanelTakesTheMouseAndClicksOutsideItReachNothing) {
    TBADIBButton below;
    FillWithToggle(below, window);
    TMessageBox& box = Show(TMsgButtons::mbOKCancel);
    const TRect panel = box.WindowRect();
    EXPECT_TRUE(window.root.WindowRect().Contains(panel));
    EXPECT_EQ((panel.left + panel.right) / 2, 120); // centred
    Click(5, 5);
    Click(panel.left + 3, panel.top + 3); // the title bar
    EXPECT_EQ(below.State(), 0);
    EXPECT_TRUE(results.empty());
    // A press on a button released off it chooses nothing.
    const TRect ok = box.ButtonRect(0);
    window.Down(ok.left + 2, ok.top + 2);
    EXPECT_EQ(box.PressedButton(), 0);
    window.Move(ok.right + 40, ok.top + 2);
    EXPECT_EQ(box.PressedButton(), -1);
    window.Up(ok.right + 40, ok.top + 2);
    EXPECT_EQ(layer.Count(), 1);
    ClickButton(box, 1);
    EXPECT_EQ(results, std::vector<int>{mrCancel});
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_EQ(below.State(), 0);
    Click(5, 5); // with the layer empty the controls take the mouse again
    EXPECT_EQ(below.State(), 2);
}

TEST_F(TModalLayerTest, EnterChoosesTheFocusedButtonAndEscapeTheCancelOne) {
    EXPECT_FALSE(layer.DispatchKey(Press(TEditKey::Enter))); // nothing open: the host gets it
    Show(TMsgButtons::mbOKCancel);
    EXPECT_FALSE(layer.DispatchKey(TKeyEvent{TEditKey::Other, true, "x"}));
    EXPECT_TRUE(layer.DispatchKey(Press(TEditKey::Enter)));
    Show(TMsgButtons::mbYesNoCancel);
    EXPECT_TRUE(layer.DispatchKey(Press(TEditKey::Escape)));
    Show(TMsgButtons::mbYesNo).SetDefaultResult(mrNo);
    layer.DispatchKey(Press(TEditKey::Enter));
    TMessageBox& moved = Show(TMsgButtons::mbYesNoCancel);
    for (int k = 0; k < 4; ++k) // stops at the last button
        layer.DispatchKey(Press(TEditKey::Right));
    EXPECT_EQ(moved.FocusedButton(), 2);
    layer.DispatchKey(Press(TEditKey::Left));
    layer.DispatchKey(Press(TEditKey::Enter));
    Show(TMsgButtons::mbOK);
    layer.DispatchKey(Press(TEditKey::Escape)); // a lone OK is the cancel button too
    EXPECT_EQ(results, (std::vector<int>{mrOk, mrCancel, mrNo, mrNo, mrOk}));
    EXPECT_FALSE(layer.IsOpen());
}

TEST_F(TModalLayerTest, TheCallbackRunsOnceAfterThePanelLeftTheStackAndMayOpenAnother) {
    TMessageBox* second = nullptr;
    int calls = 0;
    TMessageBox::Show(layer, "Io", "I", TMsgButtons::mbYesNo, [&](int result) {
        ++calls;
        EXPECT_EQ(result, mrYes);
        EXPECT_FALSE(layer.IsOpen());
        second = &Show(TMsgButtons::mbOK, "go");
    });
    ASSERT_EQ(layer.Count(), 1);
    layer.DispatchKey(Press(TEditKey::Enter));
    layer.DispatchKey(TKeyEvent{TEditKey::Enter, false, {}}); // the release reaches the new box, which ignores it
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(layer.Top(), second);
    EXPECT_TRUE(results.empty());
    // A stack of two; closing everything (the editor going away) calls no callback.
    Show(TMsgButtons::mbOK);
    EXPECT_EQ(layer.Count(), 2);
    layer.CloseAll();
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(calls, 1);
}

TEST_F(TModalLayerTest, OpeningEndsWhatGoesOnBelowCleanly) {
    // A toggle whose press opens a box: the release ends its capture there and only there.
    TBADIBButton below;
    FillWithToggle(below, window);
    below.OnChange = [this](TDIBControl&) {
        if (!layer.IsOpen()) Show(TMsgButtons::mbOK);
    };
    window.Down(5, 5);
    ASSERT_TRUE(layer.IsOpen());
    window.Move(200, 150);
    window.Up(200, 150);
    EXPECT_EQ(window.router.Captured(), nullptr);
    EXPECT_EQ(below.State(), 2);
    EXPECT_TRUE(layer.IsOpen());
    EXPECT_TRUE(results.empty());
    layer.CloseAll();

    // An open menu closes; an active edit box below stops taking keys.
    TMenuLayer menus;
    window.root.SetMenuLayer(&menus);
    TPopupMenu menu;
    menu.Items.Add(1, "Io");
    menus.Open(menu, 10, 10);
    THookEdit edit(TRect::FromSize(0, 0, 50, 14));
    window.root.Add(edit);
    edit.Activate();
    Show(TMsgButtons::mbOK);
    EXPECT_FALSE(menus.IsOpen());
    EXPECT_FALSE(edit.IsActive());
    layer.DispatchKey(TKeyEvent{TEditKey::Other, true, "I"});
    EXPECT_EQ(edit.Text(), "");
}

TEST_F(TModalLayerTest, APanelsOwnControlsTakeItsMouseAndKeys) {
    auto owned = std::make_unique<TModalPanel>("Io", 120, 80);
    TModalPanel& panel = *owned;
    TBADIBButton inside(TRect::FromSize(10, 30, 20, 20));
    inside.ActiveRight = 20;
    inside.ActiveBottom = 20;
    inside.ButtonBehavior = TButtonBehavior::bbAction;
    inside.OnChange = [&panel](TDIBControl&) { panel.Close(42); };
    THookEdit edit(TRect::FromSize(40, 30, 60, 14));
    panel.Add(inside);
    panel.Add(edit);
    layer.Open(std::move(owned), [this](int result) { results.push_back(result); });
    const TRect window0 = panel.WindowRect();
    Click(window0.left + 45, window0.top + 35); // activates the edit box
    EXPECT_TRUE(layer.DispatchKey(TKeyEvent{TEditKey::Other, true, "go"}));
    EXPECT_EQ(edit.Text(), "go");
    // The action button reports on release, which closes the panel from inside its own event.
    Click(window0.left + 15, window0.top + 35);
    EXPECT_EQ(results, std::vector<int>{42});
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_FALSE(edit.IsActive()); // closing ends the edit box's capture of the keys
}

TEST_F(TModalLayerTest, TheVeilDimsTheEditorAndThePanelShowsItsFrameTextAndFocus) {
    TBADIBButton below(TRect::FromSize(0, 0, 240, 160));
    TDIBImageList images;
    images.Add(test::MakeStrip(TBADIBButton::kFrames, 240, 160), test::kKey);
    below.SetDIBImageList(&images);
    below.SetIndexMain(0);
    window.root.Add(below);
    window.dirty.Take();
    TMessageBox& box = Show(TMsgButtons::mbOKCancel, "Io go Io go Io go Io go Io go Io go Io go Io go Io go Io go");
    EXPECT_TRUE(window.dirty.Rects().Bounds().Contains(window.root.Bounds()));
    ASSERT_GT(box.Lines().size(), 1U); // wrapped to the panel
    const TRect panel = box.WindowRect();
    window.PaintAndRead(0, 0);
    const TPixel veiled = window.buffer.At(3, 3);
    const int expectedRed = RedOf(test::FrameColour(0)) * (255 - layer.Style.veilOpacity) / 255;
    EXPECT_NEAR(RedOf(veiled), expectedRed, 1);
    EXPECT_NEAR(BlueOf(veiled), BlueOf(test::FrameColour(0)) * (255 - layer.Style.veilOpacity) / 255, 1);

    // Text ink in the message area only, caption ink in the title bar, the accent ring on the focused button.
    const auto count = [this](const TRect& area, TPixel colour) {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += window.buffer.At(x, y) == colour ? 1 : 0;
        return n;
    };
    const TRect all = window.buffer.Bounds();
    const TRect text{panel.left, panel.top + layer.Style.titleHeight, panel.right, box.ButtonRect(0).top};
    EXPECT_GT(count(text, layer.Style.text), 20);
    EXPECT_EQ(count(all, layer.Style.text), count(text, layer.Style.text));
    for (const std::string& line : box.Lines())
        EXPECT_LE(test::TestGlyphAtlas().TextWidth(line), text.Width() - 2 * layer.Style.padding);
    const TRect title{panel.left, panel.top, panel.right, panel.top + layer.Style.titleHeight};
    EXPECT_GT(count(title, layer.Style.titleText), 5);
    EXPECT_EQ(count(all, layer.Style.titleText), count(title, layer.Style.titleText));
    EXPECT_EQ(window.buffer.At(panel.right - 3, text.top + 3), layer.Style.face);
    EXPECT_GT(count(box.ButtonRect(0), layer.Style.accent), 2 * box.ButtonRect(0).Width());
    EXPECT_EQ(count(box.ButtonRect(1), layer.Style.accent), 0);

    layer.DispatchKey(Press(TEditKey::Escape));
    EXPECT_EQ(window.PaintAndRead(3, 3), test::FrameColour(0));
}

TEST(TMessageBoxWrapTest, LinesBreakAtBlanksInsideLongWordsAndAtNewLines) {
    const TGlyphAtlas& atlas = test::TestGlyphAtlas(); // 'I' 4 pixels, 'o' 5, ' ' 3
    EXPECT_EQ(WrapText(atlas, "II II II", 19), (std::vector<std::string>{"II II", "II"}));
    EXPECT_EQ(WrapText(atlas, "IIIIIII o", 12), (std::vector<std::string>{"III", "III", "I o"}));
    EXPECT_EQ(WrapText(atlas, "o\n\nI  I", 40), (std::vector<std::string>{"o", "", "I I"}));
}

} // namespace
} // namespace quillon
