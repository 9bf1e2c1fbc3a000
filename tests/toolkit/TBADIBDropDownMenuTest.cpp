// The drop-down selector: the caption it takes from the menu (AllCaps, accelerator mark, unknown tags),
// notifications only on a user's choice, chLocal and chExternal, a menu shared by two drop-downs, the
// pressed flag and where the menu opens.
#include "toolkit/TBADIBDropDownMenu.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

using test::TestWindow;

struct TBADIBDropDownMenuTest : ::testing::Test {
    TestWindow window{200, 160};
    TMenuLayer layer;
    TPopupMenu menu;
    TBADIBDropDownMenu drop{TRect::FromSize(20, 10, 60, 16)};
    std::vector<TDIBControl*> changes;
    std::vector<int> external; // tags whose own handler ran

    TBADIBDropDownMenuTest() {
        layer.Style.atlas = &test::TestGlyphAtlas();
        window.root.SetMenuLayer(&layer);
        window.root.Add(drop);
        for (const auto& [tag, caption] : {std::pair{1, "&Sine"}, std::pair{4, "Saw &up"}, std::pair{9, "Noise"}}) {
            TMenuItem& item = menu.Items.Add(tag, caption);
            item.OnClick = [this](TMenuItem& sender) { external.push_back(sender.Tag); };
        }
        TMenuItem& sub = menu.Items.Add(50, "More");
        sub.Add(60, "Deep");
        drop.SetMenu(&menu);
        drop.OnChange = [this](TDIBControl& sender) { changes.push_back(&sender); };
    }

    void Click(int x, int y) {
        window.Down(x, y);
        window.Up(x, y);
    }
    void ClickItem(int index) {
        const TRect row = layer.ItemRect(0, index);
        ASSERT_FALSE(row.Empty());
        Click((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    }
};

TEST_F(TBADIBDropDownMenuTest, SettingTheTagFromCodeShowsTheItemCaptionWithoutNotifying) {
    drop.AllCaps = true;
    drop.SetMenuTag(4);
    EXPECT_EQ(drop.MenuTag(), 4);
    EXPECT_EQ(drop.Caption(), "SAW UP");
    drop.AllCaps = false;
    drop.SetMenuTag(1);
    EXPECT_EQ(drop.Caption(), "Sine");
    EXPECT_TRUE(changes.empty());
}

TEST_F(TBADIBDropDownMenuTest, ATagThatNoTopLevelItemHasKeepsTheCaption) {
    drop.SetMenuTag(9);
    drop.SetMenuTag(60); // only a sub-menu item has it
    EXPECT_EQ(drop.MenuTag(), 60);
    EXPECT_EQ(drop.Caption(), "Noise");
    drop.ShowSelectedText = false;
    drop.SetMenuTag(1);
    EXPECT_EQ(drop.Caption(), "Noise");
}

TEST_F(TBADIBDropDownMenuTest, AUserChoiceSetsTheTagAndNotifiesOnce) {
    drop.AllCaps = true;
    window.Down(30, 15);
    EXPECT_TRUE(drop.Pressed());
    EXPECT_FALSE(layer.IsOpen());
    window.Up(30, 15);
    EXPECT_FALSE(drop.Pressed());
    ASSERT_TRUE(layer.IsOpen());
    // At the control's bottom-left corner.
    EXPECT_EQ(layer.MenuRect(0).left, 20);
    EXPECT_EQ(layer.MenuRect(0).top, 26);
    ClickItem(2);
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_EQ(drop.MenuTag(), 9);
    EXPECT_EQ(drop.Caption(), "NOISE");
    ASSERT_EQ(changes.size(), 1U);
    EXPECT_EQ(changes[0], &drop);
    EXPECT_TRUE(external.empty()); // chLocal replaced the item handlers
}

TEST_F(TBADIBDropDownMenuTest, DismissingTheMenuChangesNothing) {
    drop.SetMenuTag(1);
    Click(30, 15);
    ASSERT_TRUE(layer.IsOpen());
    Click(190, 150);
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_EQ(drop.MenuTag(), 1);
    EXPECT_TRUE(changes.empty());
}

TEST_F(TBADIBDropDownMenuTest, WithExternalHandlingTheItemsKeepTheirHandlers) {
    drop.OnChangeHandling = TOnChangeHandling::chExternal;
    drop.SetMenuTag(1);
    Click(30, 15);
    ClickItem(1);
    EXPECT_EQ(external, std::vector<int>{4});
    EXPECT_EQ(drop.MenuTag(), 1);
    EXPECT_TRUE(changes.empty());
}

TEST_F(TBADIBDropDownMenuTest, TheLastDropDownOpenedOwnsASharedMenu) {
    TBADIBDropDownMenu other(TRect::FromSize(100, 10, 60, 16));
    window.root.Add(other);
    other.SetMenu(&menu);
    other.OnChange = [this](TDIBControl& sender) { changes.push_back(&sender); };
    Click(30, 15);
    Click(190, 150); // dismissed
    Click(110, 15);
    ASSERT_TRUE(layer.IsOpen());
    EXPECT_EQ(layer.MenuRect(0).left, 100);
    ClickItem(1);
    EXPECT_EQ(other.MenuTag(), 4);
    EXPECT_EQ(drop.MenuTag(), 0);
    EXPECT_EQ(changes, std::vector<TDIBControl*>{&other});
}

TEST_F(TBADIBDropDownMenuTest, WithoutAMenuOrARightButtonNothingOpens) {
    window.Down(30, 15, false, TMouseButton::Right);
    window.Up(30, 15, TMouseButton::Right);
    EXPECT_FALSE(layer.IsOpen());
    drop.SetMenu(nullptr);
    Click(30, 15);
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_FALSE(drop.Pressed());
}

TEST_F(TBADIBDropDownMenuTest, AMenuOpenedOnAPressTakesTheMouseAndTheReleaseStillEndsTheCapture) {
    TPopupMenu context;
    context.Items.Add(77, "Io").OnClick = [this](TMenuItem& item) { external.push_back(item.Tag); };
    drop.OnMouseDown = [&](TDIBControl&, const TMouseEvent& event) {
        if (event.button == TMouseButton::Right) layer.Open(context, 25, 40);
    };
    window.Down(30, 15, false, TMouseButton::Right);
    ASSERT_TRUE(layer.IsOpen());
    EXPECT_EQ(window.router.Captured(), &drop);
    window.Up(30, 15, TMouseButton::Right);
    EXPECT_EQ(window.router.Captured(), nullptr);
    EXPECT_TRUE(layer.IsOpen());
    ClickItem(0);
    EXPECT_EQ(external, std::vector<int>{77});
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_FALSE(drop.Pressed());
    EXPECT_TRUE(changes.empty());
}

// The test atlas's "I" is 2 × 7 pixels of ink one pixel right of the pen, its top 7 above the baseline; its
// advance is 4 and the font's height 10. The control is 60 × 16 with a 10-pixel button.
TEST_F(TBADIBDropDownMenuTest, TheCaptionIsPlacedByAlignmentFreeSpaceAndYCorrectionAndTheButtonShowsThePress) {
    TDIBImageList images;
    images.Add(test::MakeStrip(2, 10, 16), test::kKey);
    drop.SetDIBImageList(&images);
    drop.SetButton(0);
    constexpr TPixel kInk = Rgb(9, 9, 9);
    drop.Font = TDIBFont{&test::TestGlyphAtlas(), kInk};
    drop.SetCaption("I");
    // Ink columns (control coordinates) of the caption, top row round((16 - 10) / 2) = 3.
    const auto inkAt = [&](int x, int y) { return window.PaintAndRead(20 + x, 10 + y) == kInk; };
    EXPECT_TRUE(inkAt(4, 3));
    EXPECT_TRUE(inkAt(5, 9));
    EXPECT_FALSE(inkAt(4, 2));
    EXPECT_FALSE(inkAt(4, 10));
    drop.SetAlignment(TSpinAlignment::taRightJustify);
    EXPECT_TRUE(inkAt(44, 3)); // free width 50: x = 50 - 4 - 3
    EXPECT_FALSE(inkAt(4, 3));
    drop.SetAlignInFreeSpace(false);
    EXPECT_TRUE(inkAt(54, 3)); // whole width: x = 60 - 4 - 3, over the button
    drop.SetAlignInFreeSpace(true);
    drop.SetAlignment(TSpinAlignment::taCenter);
    EXPECT_TRUE(inkAt(24, 3)); // (50 - 4) div 2
    drop.SetYCorrection(2);
    EXPECT_FALSE(inkAt(24, 3));
    EXPECT_TRUE(inkAt(24, 5));
    EXPECT_TRUE(inkAt(24, 11));
    // The button: frame 0 idle, frame 1 while pressed.
    EXPECT_EQ(window.PaintAndRead(20 + 55, 10 + 8), test::FrameColour(0));
    window.Down(30, 15);
    EXPECT_EQ(window.PaintAndRead(20 + 55, 10 + 8), test::FrameColour(1));
    window.Up(30, 15);
    EXPECT_EQ(window.PaintAndRead(20 + 55, 10 + 8), test::FrameColour(0));
}

} // namespace
} // namespace quillon
